#!/usr/bin/env bash
# Builds the libFuzzer targets (native clang build, ASan and UBSan) and runs
# each for SECONDS (default 60), one after the other, starting from its seed
# corpus in bench/fuzz/corpus/<target>. What a run learns is kept in
# build/fuzz/corpus/<target>; an input that breaks an invariant, crashes or
# leaks is written to build/fuzz/artifacts/ and fails the run.
#   fuzz.sh [SECONDS] [TARGET ...]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
bash "$root/scripts/deps.sh"

dir=$root/build/fuzz
export CC=clang CXX=clang++
export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
command -v ccache >/dev/null || unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUENDREL_FUZZ=ON >/dev/null
fi
echo "== building the fuzz targets"
cmake --build "$dir" --target fuzz_targets -j "$(nproc)" | grep -v '^\[' || true
[ -x "$dir/bench/fuzz/fuzz_regcode" ] || { echo "fuzz targets did not build"; exit 1; }

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in "$root"/bench/fuzz/*_fuzz.cpp; do
    name=$(basename "$source" _fuzz.cpp); targets+=("$name")
  done
fi

status=0
total=0
summary=
mkdir -p "$dir/artifacts"
for t in "${targets[@]}"; do
  corpus=$dir/corpus/$t
  mkdir -p "$corpus"
  log=$dir/fuzz_$t.log
  echo "== fuzz_$t for ${seconds}s"
  if "$dir/bench/fuzz/fuzz_$t" "$corpus" "$root/bench/fuzz/corpus/$t" -max_total_time="$seconds" \
       -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$dir/artifacts/$t-" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
    grep -E "invariant broken|ERROR: |SUMMARY: |Test unit written|runtime error" "$log" | head -n 8 || true
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  runs=${runs:-0}
  total=$((total + runs))
  line=$(printf '%-14s %12d executions  %s' "$t" "$runs" "$result")
  echo "$line"
  summary+="$line"$'\n'
done
echo "== fuzz summary"
printf '%s' "$summary"
printf '%-14s %12d executions\n' total "$total"
exit $status
