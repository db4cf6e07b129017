#!/usr/bin/env bash
# Fetches the source of Debian 12's curl package into DEST, once per version:
# the same version as the libcurl the native build links (libcurl4-openssl-dev),
# with Debian's patches applied. The Windows builds build it themselves
# (cmake/curl.cmake). Prints the source folder.
#   curl-source.sh DEST
set -eu
dest=$1
version=$(dpkg-query -W -f='${source:Version}' libcurl4-openssl-dev)
if [ "$(cat "$dest/.version" 2>/dev/null)" != "$version" ]; then
  rm -rf "$dest"
  mkdir -p "$dest"
  (cd "$dest" && apt-get source -qq "curl=$version") >"$dest/.fetch.log" 2>&1 ||
    { cat "$dest/.fetch.log" >&2; echo "cannot fetch the source of curl $version (is there a deb-src entry? see scripts/deps.sh)" >&2; exit 1; }
  echo "$version" >"$dest/.version"
fi
ls -d "$dest"/curl-*/ | head -n 1
