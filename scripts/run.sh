#!/usr/bin/env bash
# Builds Quendrel and starts it under 64-bit Wine with the demo location
# (demo/location.reg) and a local FTP server that matches it.
#
# With a display ($DISPLAY reachable) the window opens for you; the FTP
# server stops when you close the program. Without one, the demo runs under
# a private Xvfb: it saves a screenshot of the main window, records a scan,
# sends it with Send Data, shows the file that arrived on the server, and ends.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh" run
bash "$root/scripts/build.sh" win64

demo=$root/build/demo
prefix=$root/build/win64/wineprefix
work=$demo/work           # the program's working directory: savedata.dat, batch files
ftproot=$demo/ftp         # what the FTP server serves; uploads land in incoming/
rm -rf "$work" "$ftproot"   # every demo starts with nothing pending and nothing sent
mkdir -p "$work" "$ftproot/incoming"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
wine=/usr/lib/wine/wine64

have_display=no
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then have_display=yes; fi
if [ $have_display = no ]; then
  . "$root/scripts/xvfb.sh"
  quendrel_start_xvfb
fi
bash "$root/scripts/wine-prefix.sh" "$prefix"

# The demo location: h=127.0.0.1:2121;u=quendrel;p=quendrel-demo;r=/incoming/;l=X1;
$wine regedit /S "Z:${root//\//\\}\\demo\\location.reg" </dev/null >/dev/null 2>&1

/usr/bin/python3 "$root/demo/ftp_server.py" 127.0.0.1 2121 quendrel quendrel-demo "$ftproot" \
  >"$demo/ftp.log" 2>&1 &
ftp_pid=$!
stop_ftp() { kill $ftp_pid 2>/dev/null || true; }
trap 'stop_ftp; [ -n "${QUENDREL_XVFB_PID:-}" ] && kill $QUENDREL_XVFB_PID 2>/dev/null; true' EXIT
for _ in $(seq 50); do
  (exec 3<>/dev/tcp/127.0.0.1/2121) 2>/dev/null && break
  sleep 0.1
done
echo "FTP server for the demo location on 127.0.0.1:2121, serving $ftproot"

cd "$work"
if [ $have_display = yes ]; then
  echo "Starting Quendrel in $work (close it to end the demo)"
  $wine "$root/build/win64/Quendrel.exe"
  exit 0
fi

$wine "$root/build/win64/Quendrel.exe" </dev/null >/dev/null 2>&1 &
app_pid=$!
wid=
for _ in $(seq 100); do
  wid=$(xdotool search --name '^Quendrel$' 2>/dev/null | head -n 1) && [ -n "$wid" ] && break
  sleep 0.2
done
[ -n "$wid" ] || { echo "Quendrel's window did not appear"; exit 1; }
sleep 1
shot=$demo/quendrel-main.png
import -window "$wid" "$shot"
echo "Screenshot of the main window: $shot"

# One scan, as a keyboard-wedge scanner types it: a leading character, the VIN, Enter.
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key Tab Down            # "510 Vehicle Received"; the focus goes to the VIN field
sleep 0.3
xdotool type --delay 15 "]1ABCD23E45F678901"
xdotool key Return
sleep 0.5
echo "savedata.dat after the scan:"
cat -A "$work/savedata.dat" 2>/dev/null || echo "  (no savedata.dat)"
import -window "$wid" "$demo/quendrel-scanned.png"

# Send Data from the "Upload" tab.
xdotool key ctrl+Tab
sleep 0.3
xdotool key Tab Return          # Send Data has the focus after the tab control
for _ in $(seq 100); do
  ls "$ftproot/incoming/"*.TXT >/dev/null 2>&1 && break
  sleep 0.2
done
sleep 1
import -window "$wid" "$demo/quendrel-sent.png"
echo "Files on the FTP server:"
ls -l "$ftproot/incoming/"
for f in "$ftproot/incoming/"*.TXT; do [ -f "$f" ] && { echo "--- $f"; cat -A "$f"; }; done
echo "savedata.dat after Send Data: $([ -s "$work/savedata.dat" ] && echo "still holds records" || echo "gone (every record was sent)")"
demo_ok=yes
ls "$ftproot/incoming/"*.TXT >/dev/null 2>&1 || { echo "The demo failed: no batch file reached the FTP server (see $demo/quendrel-sent.png)"; demo_ok=no; }

xdotool key alt+f x 2>/dev/null || true
for _ in $(seq 25); do kill -0 $app_pid 2>/dev/null || break; sleep 0.2; done
kill $app_pid 2>/dev/null || true
/usr/lib/wine/wineserver -k 2>/dev/null || true
[ $demo_ok = yes ]
