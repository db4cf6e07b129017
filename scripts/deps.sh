#!/usr/bin/env bash
# Installs what Quendrel needs on Debian 12; idempotent: only what is missing.
#   deps.sh [run]   the build and test tools, and with `run` those the demo
#                   needs as well (xdotool, ImageMagick, ...)
set -eu
packages=(cmake ninja-build make g++ googletest file binutils e2fsprogs
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb xauth python3 python3-pyftpdlib clang libclang-rt-14-dev
  qemu-system-x86 debootstrap wixl msitools libcurl4-openssl-dev dpkg-dev
  vsftpd openssl ca-certificates osslsigncode)
if [ "${1:-}" = run ]; then
  packages+=(xdotool x11-utils imagemagick curl unzip)
fi
# The Windows builds build libcurl from the source of Debian's curl package
# (scripts/curl-source.sh), which apt fetches from a deb-src entry.
update=no
sources=/etc/apt/sources.list.d/quendrel-deb-src.sources
if [ ! -f "$sources" ]; then
  cat >"$sources" <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  update=yes
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ] || [ $update = yes ]; then
  apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
