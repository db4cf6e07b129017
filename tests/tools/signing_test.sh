#!/usr/bin/env bash
# The kit signed as dist.sh signs it (scripts/sign.sh), with a throwaway CA and
# code-signing certificate made here: the four programs and the package verify
# with that CA trusted, a byte changed is caught, a wrong password signs
# nothing, and the signed package installs and the signed program starts
# under Wine.
#   signing_test.sh WIN32_BUILD WIN64_BUILD PREFIX VERSION
set -u
win32=$(realpath "$1") win64=$(realpath "$2") prefix=$(realpath "$3") version=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
wine() { "$root/scripts/wine-exec.sh" "$prefix" "$@"; }

cd "$work"
printf 'kit-pass\n' >pass
printf 'not-the-pass\n' >wrong
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Quendrel Test CA" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign >/dev/null 2>&1
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/O=Vossel Inc./CN=Vossel Inc." >/dev/null 2>&1
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext \
  -out signer.pem >/dev/null 2>&1
openssl pkcs12 -export -in signer.pem -inkey signer.key -out signer.pfx -passout file:pass || { echo "no certificate made"; exit 1; }
export QUENDREL_SIGN_PFX=$work/signer.pfx QUENDREL_SIGN_PASSWORD_FILE=$work/pass

mkdir -p kit/x64
sign() { bash "$root/scripts/sign.sh" "$1" "kit/$2" Quendrel || fail "signing $1"; }
sign "$win32/Quendrel.exe" Quendrel.exe
sign "$win32/tools/makereg.exe" makereg.exe
sign "$win64/Quendrel.exe" x64/Quendrel.exe
sign "$win64/tools/makereg.exe" x64/makereg.exe
sign "$win32/dist/Quendrel-$version.msi" Quendrel.msi
for file in Quendrel.exe makereg.exe x64/Quendrel.exe x64/makereg.exe Quendrel.msi; do
  osslsigncode verify -CAfile ca.pem -in "kit/$file" >"verify.log" 2>&1 || { fail "$file does not verify"; cat verify.log; }
  grep -q "Subject: /O=Vossel Inc./CN=Vossel Inc." verify.log || fail "$file is not signed by the certificate given"
done

python3 - kit/Quendrel.exe tampered.exe <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[len(data) // 3] ^= 0xFF
open(sys.argv[2], "wb").write(data)
PY
osslsigncode verify -CAfile ca.pem -in tampered.exe >/dev/null 2>&1 && fail "a changed byte went unnoticed"

QUENDREL_SIGN_PASSWORD_FILE=$work/wrong bash "$root/scripts/sign.sh" "$win32/Quendrel.exe" wrong.exe 2>refused.log &&
  fail "a wrong password signed"
[ -e wrong.exe ] || [ -e wrong.exe.signing ] && fail "a wrong password left a file behind"
grep -q "$work/signer.pfx" refused.log || fail "the refusal does not name the certificate: $(cat refused.log)"

# The signed kit still works.
wine msiexec.exe /i "Z:${work//\//\\}\\kit\\Quendrel.msi" /qn </dev/null >/dev/null 2>&1 || fail "the signed package does not install"
wine msiexec.exe /x "Z:${work//\//\\}\\kit\\Quendrel.msi" /qn </dev/null >/dev/null 2>&1 || fail "the signed package does not uninstall"
report=$(wine "$work/kit/x64/Quendrel.exe" /check /quiet </dev/null 2>/dev/null | tr -d '\r')
echo "$report" | grep -q "Quendrel's check of this PC" || fail "the signed Quendrel.exe does not start: $report"

[ $failures -eq 0 ] && echo "signed kit: 5 files verify, tampering and a wrong password are caught, it installs and starts"
exit $((failures != 0))
