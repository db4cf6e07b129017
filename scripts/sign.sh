#!/usr/bin/env bash
# The kit's Authenticode signatures (its executables and the installer
# package), made with Debian's osslsigncode, SHA-256, when a code-signing
# certificate is given:
#   QUENDREL_SIGN_PFX            a PKCS#12 file with the certificate and its key
#   QUENDREL_SIGN_PASSWORD_FILE  a file holding its password, which never goes
#                                on a command line or into the environment
#   QUENDREL_SIGN_TIMESTAMP      optionally, the URL of an RFC 3161 timestamp server
#
#   sign.sh --check                  fails, naming the file, when the certificate
#                                    cannot be read with the password
#   sign.sh IN OUT [DESCRIPTION]     OUT is IN, signed where a certificate is given
#                                    (DESCRIPTION: the name Windows shows for it)
# A failure leaves no OUT.
set -eu
pfx=${QUENDREL_SIGN_PFX:-}
password=${QUENDREL_SIGN_PASSWORD_FILE:-}
fail() { echo "sign.sh: $*" >&2; exit 1; }

check() {
  [ -r "$pfx" ] && [ -f "$pfx" ] || fail "cannot read the code-signing certificate $pfx (QUENDREL_SIGN_PFX)"
  [ -n "$password" ] && [ -r "$password" ] && [ -f "$password" ] ||
    fail "QUENDREL_SIGN_PASSWORD_FILE names no readable file: the password of $pfx must be in one"
  local why
  if ! why=$(openssl pkcs12 -in "$pfx" -passin "file:$password" -noout 2>&1) &&
     ! why=$(openssl pkcs12 -legacy -in "$pfx" -passin "file:$password" -noout 2>&1); then
    fail "the code-signing certificate $pfx cannot be opened with the password in $password" \
         "(a wrong password, or no PKCS#12 file): $(echo "$why" | head -n 1)"
  fi
}

if [ "${1:-}" = --check ]; then
  [ -z "$pfx" ] || check
  exit 0
fi
in=$1 out=$2 description=${3:-}
rm -f "$out"
mkdir -p "$(dirname "$out")"
if [ -z "$pfx" ]; then
  cp "$in" "$out"
  exit 0
fi
check
signing=$out.signing
trap 'rm -f "$signing"' EXIT
log=$(osslsigncode sign -pkcs12 "$pfx" -readpass "$password" -h sha256 ${description:+-n "$description"} \
      ${QUENDREL_SIGN_TIMESTAMP:+-ts "$QUENDREL_SIGN_TIMESTAMP"} -in "$in" -out "$signing" 2>&1) ||
  fail "signing $in with $pfx failed: $(echo "$log" | tail -n 1)"
mv "$signing" "$out"
