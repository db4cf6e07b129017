#!/usr/bin/env bash
# Installs what Quendrel needs on Debian 12; idempotent: only what is missing.
#   deps.sh [run]   the build and test tools, and with `run` those the demo
#                   needs as well (xdotool, ImageMagick, ...)
set -eu
packages=(cmake ninja-build make g++ googletest file binutils e2fsprogs
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb xauth python3 python3-pyftpdlib clang libclang-rt-14-dev
  qemu-system-x86 debootstrap wixl msitools)
if [ "${1:-}" = run ]; then
  packages+=(xdotool x11-utils imagemagick curl unzip)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
