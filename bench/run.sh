#!/usr/bin/env bash
# Builds and runs the benchmarks (not part of the tests).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh" linux win64 >/dev/null
cmake --build "$root/build/linux" --target benchmarks >/dev/null
cmake --build "$root/build/win64" --target benchmarks >/dev/null
. "$root/scripts/xvfb.sh"; quendrel_start_xvfb
bash "$root/scripts/wine-prefix.sh" "$root/build/win64/wineprefix"
for b in "$root"/build/win64/bench/bench_*.exe; do
  echo "== $(basename "$b")"
  "$root/scripts/wine-exec.sh" "$root/build/win64/wineprefix" "$b"
done
for b in "$root"/build/linux/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b") (native)"
  "$b"
done
for s in "$root"/bench/*.sh; do
  [ "$(basename "$s")" = run.sh ] && continue
  echo "== $(basename "$s")"
  bash "$s"
done
