#!/usr/bin/env bash
# Builds what a location's IT person gets:
#   build/win32/dist/Quendrel-<version>.msi   the installer package
#   build/win32/dist/Quendrel-<version>.zip   the package, the 32-bit
#       Quendrel.exe and makereg.exe, the 64-bit ones (x64/), DEPLOY.md and
#       libcurl's licence
# With a code-signing certificate the four programs and the package carry an
# Authenticode signature (SHA-256; scripts/sign.sh):
#   QUENDREL_SIGN_PFX=vendor.pfx QUENDREL_SIGN_PASSWORD_FILE=vendor.pass \
#   [QUENDREL_SIGN_TIMESTAMP=http://timestamp.example] bash scripts/dist.sh
# Usage: bash scripts/dist.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh" run
# A certificate that cannot be used stops everything before anything is built.
bash "$root/scripts/sign.sh" --check
# Signed or not, the kit is made anew from the programs: nothing of an
# earlier run, signed otherwise, goes into it, nor a kit of a run that failed.
rm -rf "$root/build/win32/signed" "$root/build/win32/dist"
bash "$root/scripts/build.sh" win64 win32
cmake --build "$root/build/win32" --target dist
msi=$(ls "$root"/build/win32/dist/Quendrel-*.msi)
zip=$(ls "$root"/build/win32/dist/Quendrel-*.zip)
if [ -n "${QUENDREL_SIGN_PFX:-}" ]; then
  echo "== signed with $QUENDREL_SIGN_PFX${QUENDREL_SIGN_TIMESTAMP:+, timestamped by $QUENDREL_SIGN_TIMESTAMP}: the four programs and the package"
else
  echo "== no code-signing certificate given (QUENDREL_SIGN_PFX): the kit is unsigned"
fi
echo "== installer package: $msi"
echo "== deployment zip: $zip"
unzip -l "$zip"
