#!/usr/bin/env bash
# Runs the shipped 32-bit build (build/win32) where it can execute: in a
# Debian guest under QEMU's software emulation, whose kernel runs 32-bit code,
# with Wine's 32-bit half. The guest runs the 32-bit unit_tests.exe and
# journey32.exe, which drives the real Quendrel.exe window (tests/vm32).
# Results come back under build/vm32-results: logs, screenshots, the batch
# file the FTP server received.
#   vm32-test.sh [SUITE.exe ...]   extra i686 suites to run in the guest as
#                                  well, each for at most 5 minutes
# VM32_PROGRAM=FILE puts FILE in the guest in place of the built Quendrel.exe
# (to try a changed program); VM32_RESULTS=DIR names another results folder.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/win32
results=${VM32_RESULTS:-$root/build/vm32-results}
program=${VM32_PROGRAM:-$build/Quendrel.exe}
limit=${VM32_TIMEOUT:-1500}
started=$SECONDS
fail() { echo "== 32-bit in the guest: FAILED: $*"; exit 1; }

msi=$(cd "$build" && ls dist/Quendrel-*.msi 2>/dev/null | head -1)
for f in Quendrel.exe unit_tests.exe journey32.exe "${msi:-dist/Quendrel-<version>.msi}" "$@"; do
  [ -f "$build/$f" ] || fail "$build/$f is missing (bash scripts/build.sh win32)"
done
image=$(bash "$root/scripts/vm32-image.sh" "$root/build") || fail "the guest image could not be made (see above)"
echo "== guest image ready after $((SECONDS - started)) s: $image"

# The guest sees the build tree at the same paths, as the tests expect.
stage=$results.job
rm -rf "$stage"
mkdir -p "$stage/job/extra" "$stage$build" "$stage$root/tests/support"
cp "$root/tests/vm32/run-in-guest.sh" "$stage/job/run.sh"
echo "$build" >"$stage/job/build-dir"
cp "$build/unit_tests.exe" "$build/journey32.exe" "$stage$build/"
cp "$program" "$stage$build/Quendrel.exe"
mkdir -p "$stage$build/dist"
cp "$build"/dist/Quendrel-*.msi "$stage$build/dist/"
for f in "$@"; do cp "$build/$f" "$stage$build/"; touch "$stage/job/extra/$f"; done
cp "$root/tests/support/ftp_test_server.py" "$stage$root/tests/support/"
tar cf "$results.job.tar" -C "$stage" .
rm -rf "$stage"

echo "== running the 32-bit build in the guest (up to $limit s)"
# Emulation on a shared machine is slow and now and then a guest stalls; one
# more try from the same snapshot tells a stall from a fault, and says so.
run_status=1
for attempt in 1 2; do
  if bash "$root/scripts/vm32-run.sh" "$image" snapshot "$results.job.tar" "$results" "$limit"; then
    run_status=0
    [ $attempt = 1 ] || echo "== 32-bit in the guest: the first attempt FAILED (output above); the second passed"
    break
  fi
  [ $attempt = 2 ] || echo "== 32-bit in the guest: attempt $attempt failed; trying once more"
done
if command -v convert >/dev/null; then
  for shot in "$results"/*.bmp "$results"/*.xwd; do
    [ -e "$shot" ] && convert "$shot" "${shot%.*}.png" 2>/dev/null && rm -f "$shot"
  done
fi
[ -f "$results/summary" ] && sed 's/^/   /' "$results/summary"
echo "   results: $results ($(cd "$results" && ls | tr '\n' ' '))"
[ $run_status = 0 ] || fail "see the output above and $results"
grep -h '^\[  PASSED  \]' "$results/unit_tests.log" "$results/journey.log" | sed 's/^/   /'
echo "== 32-bit in the guest: passed in $((SECONDS - started)) s"
