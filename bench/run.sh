#!/usr/bin/env bash
# Builds and runs the benchmarks (not part of the tests) and prints each ratio.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh" run
bash "$root/scripts/build.sh" linux win64 >/dev/null
cmake --build "$root/build/linux" --target benchmarks >/dev/null
cmake --build "$root/build/win64" --target benchmarks >/dev/null
. "$root/scripts/xvfb.sh"; quendrel_start_xvfb
prefix=$root/build/win64/wineprefix
bash "$root/scripts/wine-prefix.sh" "$prefix"
win() { "$root/scripts/wine-exec.sh" "$prefix" "$root/build/win64/bench/$1.exe" "${@:2}"; }

echo "== Enter of a VIN-only scan until the record is on disk (Windows build, Wine)"
win bench_scan_to_disk_win 500
echo "== BuildUploadFile on 1,000,000 records against a plain copy (Windows build, Wine)"
win bench_build_upload_file
echo "== BuildUploadFile on 1,000,000 records against a plain copy (native build)"
"$root/build/linux/bench/bench_build_upload_file"
echo "== Send Data of 100,000 records end to end against curl -T of the same batch, same local server"
bash "$root/bench/upload_vs_curl.sh"
