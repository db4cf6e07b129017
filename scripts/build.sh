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
for b in "${builds[@]}"; do
  dir=$root/build/$b
  case $b in
    linux) tc=() ;;
    win64) tc=(-DCMAKE_TOOLCHAIN_FILE=$root/cmake/mingw-x86_64.cmake) ;;
    win32) tc=(-DCMAKE_TOOLCHAIN_FILE=$root/cmake/mingw-i686.cmake) ;;
    *) echo "unknown build $b"; exit 2 ;;
  esac
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "${tc[@]}" >/dev/null
  fi
  echo "== building $b"
  cmake --build "$dir" -j "$jobs"
done
