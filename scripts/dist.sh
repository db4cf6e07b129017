#!/usr/bin/env bash
# Builds the deployment zip for a location's IT person:
#   build/win32/dist/Quendrel-<version>.zip
# holding the 32-bit Quendrel.exe, the 64-bit one (x64/), makereg.exe and
# DEPLOY.md. Usage: bash scripts/dist.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh" run
bash "$root/scripts/build.sh" win64 win32
cmake --build "$root/build/win32" --target dist
zip=$(ls "$root"/build/win32/dist/Quendrel-*.zip)
echo "== deployment zip: $zip"
unzip -l "$zip"
