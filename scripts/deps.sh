#!/usr/bin/env bash
# Installs what building, testing and running Quendrel needs on Debian 12.
# Idempotent: installs only what is missing.
set -eu
packages=(cmake ninja-build make g++ googletest file binutils
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb xauth xdotool x11-apps x11-utils imagemagick python3 python3-pyftpdlib curl zip unzip)
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
