#!/usr/bin/env bash
# Builds all three builds and runs every suite through CTest:
# the native suites, the Windows suites under 64-bit Wine in Xvfb, and the
# static checks of the 32-bit program; then runs the 32-bit program itself in
# an emulated guest (scripts/vm32-test.sh).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh"
# The guest image for the 32-bit run needs none of the builds: it is made
# meanwhile (mostly downloads and unpacking), once per build tree.
image_log=$root/build/vm32-image.log
mkdir -p "$root/build"
bash "$root/scripts/vm32-image.sh" "$root/build" >"$image_log" 2>&1 &
image_pid=$!
bash "$root/scripts/build.sh" linux win64 win32

. "$root/scripts/xvfb.sh"
quendrel_start_xvfb
prefix=$root/build/win64/wineprefix
bash "$root/scripts/wine-prefix.sh" "$prefix"

status=0
# The native suites wait on their servers most of the time: they run beside
# the Windows ones, and their output follows.
(cd "$root/build/linux" && ctest --output-on-failure --timeout 300 </dev/null >"$root/build/linux-tests.log" 2>&1) &
linux_pid=$!
# So do the Windows cases that wait for the clock on a display of their own.
(cd "$root/build/win64" && ctest -L beside --output-on-failure --timeout 300 </dev/null >"$root/build/beside-tests.log" 2>&1) &
beside_pid=$!
for b in win64 win32; do
  echo "== tests: $b"
  (cd "$root/build/$b" && ctest -LE beside --output-on-failure --timeout 300 </dev/null) || status=1
done
echo "== tests: linux"
wait $linux_pid || status=1
cat "$root/build/linux-tests.log"
echo "== tests: win64, beside the others"
wait $beside_pid || status=1
cat "$root/build/beside-tests.log"
echo "== fuzz targets: their seeds and a few seconds each"
bash "$root/bench/fuzz.sh" 3 || status=1
WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
echo "== waiting for the guest image"
wait $image_pid || { cat "$image_log"; echo "== the guest image could not be made"; status=1; }
bash "$root/scripts/vm32-test.sh" || status=1
exit $status
