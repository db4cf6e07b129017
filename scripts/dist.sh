#!/usr/bin/env bash
# Builds what a location's IT person gets:
#   build/win32/dist/Quendrel-<version>.msi   the installer package
#   build/win32/dist/Quendrel-<version>.zip   the package, the 32-bit
#       Quendrel.exe and makereg.exe, the 64-bit ones (x64/), DEPLOY.md and
#       libcurl's licence
# Usage: bash scripts/dist.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh" run
bash "$root/scripts/build.sh" win64 win32
cmake --build "$root/build/win32" --target dist
msi=$(ls "$root"/build/win32/dist/Quendrel-*.msi)
zip=$(ls "$root"/build/win32/dist/Quendrel-*.zip)
echo "== installer package: $msi"
echo "== deployment zip: $zip"
unzip -l "$zip"
