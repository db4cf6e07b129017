#!/bin/bash
# The job that scripts/vm32-test.sh runs in the test guest (as /job/run.sh):
# the 32-bit unit tests, then the journey through the shipped Quendrel.exe,
# under Wine with its 32-bit half, in Xvfb. Logs and screenshots go to /out,
# which comes back to the host.
set -u
build=$(cat /job/build-dir)
export WINEPREFIX=/root/prefix WINEDEBUG=fixme-all WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d" VM32_OUT=/out
Xvfb :9 -screen 0 1280x1024x24 -nolisten tcp >/out/xvfb.log 2>&1 &
export DISPLAY=:9
for _ in $(seq 120); do [ -S /tmp/.X11-unix/X9 ] && break; sleep 0.5; done

status=0
step() {
  local name=$1 started=$SECONDS rc; shift
  echo "vm32: $name ..." >/dev/console
  timeout -k 10 "$@" >"/out/$name.log" 2>&1
  rc=$?
  echo "$name: exit $rc after $((SECONDS - started)) s" | tee -a /out/summary >/dev/console
  [ $rc = 0 ] || { status=1; tail -n 80 "/out/$name.log"; }
}
step wine-start 600 /usr/lib/wine/wine64 wineboot
# The FTP server's first start must not eat the test's start-up wait.
python3 -c 'import pyftpdlib.servers' >/dev/null 2>&1
step unit_tests 900 /usr/bin/wine "$build/unit_tests.exe"
step journey 900 /usr/bin/wine "$build/journey32.exe"
for suite in /job/extra/*.exe; do
  [ -e "$suite" ] || continue
  step "$(basename "$suite" .exe)" 300 /usr/bin/wine "$build/$(basename "$suite")"
done
xwd -root -silent -out /out/last-screen.xwd 2>/dev/null
WINEPREFIX=/root/prefix /usr/lib/wine/wineserver -k 2>/dev/null
exit $status
