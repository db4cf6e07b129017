#!/usr/bin/env bash
# Builds all three builds and runs every suite through CTest:
# the native suites, the Windows suites under 64-bit Wine in Xvfb, and the
# static checks of the 32-bit program; then runs the 32-bit program itself in
# an emulated guest (scripts/vm32-test.sh).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh" linux win64 win32

. "$root/scripts/xvfb.sh"
quendrel_start_xvfb
prefix=$root/build/win64/wineprefix
bash "$root/scripts/wine-prefix.sh" "$prefix"

status=0
for b in linux win64 win32; do
  echo "== tests: $b"
  (cd "$root/build/$b" && ctest --output-on-failure --timeout 300 </dev/null) || status=1
done
echo "== fuzz targets: their seeds and a few seconds each"
bash "$root/bench/fuzz.sh" 3 || status=1
WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
bash "$root/scripts/vm32-test.sh" || status=1
exit $status
