#!/usr/bin/env bash
# How long Exit takes in each phase of an upload: the real Quendrel.exe
# (x86-64 build) under 64-bit Wine and a private Xvfb, closed while its
# upload waits to connect, for a reply, in the store, for the confirmation and
# for the reply to QUIT (bench/exit_times.py). Fails when one takes a second.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUENDREL_WIN64_BUILD:-$root/build/win64}
bash "$root/scripts/deps.sh"
[ -n "${QUENDREL_WIN64_BUILD:-}" ] || bash "$root/scripts/build.sh" win64 >/dev/null
. "$root/scripts/xvfb.sh"
quendrel_start_xvfb
bash "$root/scripts/wine-prefix.sh" "$build/wineprefix" >/dev/null
exec /usr/bin/python3 "$root/bench/exit_times.py" "$build"
