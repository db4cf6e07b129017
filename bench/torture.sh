#!/usr/bin/env bash
# Crash-and-restart torture run: the real Quendrel.exe (x86-64 build) under
# 64-bit Wine and a private Xvfb, scans typed at scanner speed, uploads to the
# local FTP server of the tests, and the Windows process killed outright at
# random moments, then started again in the same folder. One line per round
# and a summary; fails when a scan was lost, a line corrupt or a record
# duplicated other than by an upload cut before savedata.dat was rewritten.
#   torture.sh [ROUNDS] [SEED] [--wait-for-minute]
# An upload round needs a batch name of its own (one per minute); without
# --wait-for-minute it turns into a scan round when the minute's name is taken.
# Everything lives in build/torture/ (its own Wine prefix, made once).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-30}
seed=${2:-$(date +%s)}
shift $(($# < 2 ? $# : 2))
bash "$root/scripts/deps.sh" run
tree=$root/build/win64
if [ ! -f "$tree/build.ninja" ]; then
  cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >/dev/null
fi
echo "== building Quendrel.exe, makereg.exe and the window reader"
cmake --build "$tree" --target Quendrel makereg window_driver -j "$(nproc)" >/dev/null

dir=$root/build/torture
run=$dir/run
prefix=$dir/wineprefix
rm -rf "$run"
mkdir -p "$run/work" "$run/ftp/incoming"
. "$root/scripts/xvfb.sh"
quendrel_start_xvfb
bash "$root/scripts/wine-prefix.sh" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
wine=/usr/lib/wine/wine64

/usr/bin/python3 "$root/tests/support/ftp_test_server.py" --root "$run/ftp" --user torture --password torture-pw \
  --port-file "$run/ftp.port" --stop-file "$run/ftp.stop" --log-file "$run/ftp.log" --lifetime 14400 \
  >"$run/ftp.out" 2>&1 &
ftp_pid=$!
cleanup() {
  touch "$run/ftp.stop"
  kill "$ftp_pid" 2>/dev/null || true
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "${QUENDREL_XVFB_PID:-}" ] && kill "$QUENDREL_XVFB_PID" 2>/dev/null
  true
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$run/ftp.port" ] && break; sleep 0.1; done
port=$(cat "$run/ftp.port")

# The location: this FTP server, location code X1.
(cd "$run" && $wine "$tree/tools/makereg.exe" --host "127.0.0.1:$port" --user torture --password torture-pw \
  --remote-path /incoming/ --location X1 --output location.reg </dev/null >/dev/null)
$wine regedit /S "Z:${run//\//\\}\\location.reg" </dev/null >/dev/null 2>&1

/usr/bin/python3 "$root/bench/torture/torture.py" --rounds "$rounds" --seed "$seed" --dir "$run" --prefix "$prefix" \
  --exe "$tree/Quendrel.exe" --probe "$tree/window_driver.exe" "$@"
