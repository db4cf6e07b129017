#!/usr/bin/env bash
# Configures and builds the three builds under build/:
#   build/linux  native portable logic and tests (ASan, UBSan)
#   build/win64  Windows x86-64: the program and the suites run under Wine
#   build/win32  Windows i686: the program we ship
# Usage: build.sh [linux|win64|win32 ...]   (default: all three)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
builds=("$@"); [ ${#builds[@]} -gt 0 ] || builds=(linux win64 win32)
configure() {
  local b=$1 dir=$root/build/$1 tc
  case $b in
    linux) tc=(-DCMAKE_BUILD_TYPE=Release) ;;
    win64) tc=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$root/cmake/mingw-x86_64.cmake) ;;
    # The program that ships is built for size: it carries libcurl.
    win32) tc=(-DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_TOOLCHAIN_FILE=$root/cmake/mingw-i686.cmake) ;;
    *) echo "unknown build $b"; exit 2 ;;
  esac
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja "${tc[@]}" >/dev/null
  fi
}
for b in "${builds[@]}"; do configure "$b"; done
# Each Windows tree builds its libcurl first; the two run side by side (their
# set-up runs one compiler at a time).
pids=()
for b in "${builds[@]}"; do
  case $b in win64|win32)
    echo "== building libcurl for $b"
    cmake --build "$root/build/$b" --target curl_build >"$root/build/$b-curl.log" 2>&1 &
    pids+=("$!:$b") ;;
  esac
done
for p in "${pids[@]}"; do
  wait "${p%%:*}" || { cat "$root/build/${p#*:}-curl.log"; echo "libcurl for ${p#*:} did not build"; exit 1; }
done
for b in "${builds[@]}"; do
  echo "== building $b"
  cmake --build "$root/build/$b" -j "$jobs"
done
