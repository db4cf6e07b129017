#!/usr/bin/env bash
# Two PCs of one location press Send Data in the same minute, ROUNDS times
# (default 20): the real Quendrel.exe in two Wine prefixes, the same
# settings, 20,000 scans each, a server that takes 250 KB/s of each upload.
# One line per round and a summary; fails when a scan was lost or doubled,
# or a batch replaced (tests/app/two_pcs.py, whose one round is a test).
# A round takes about a minute: both press late in one.
#   two_pcs.sh [ROUNDS] [more options of two_pcs.py]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-20}
shift || true
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh" win64 >/dev/null
exec /usr/bin/python3 "$root/tests/app/two_pcs.py" --build "$root/build/win64" --rounds "$rounds" "$@"
