#!/usr/bin/env bash
# Creates the private Wine prefix of a build tree once, and starts its
# wineserver so that Wine's background processes do not hold CTest's pipes.
#   wine-prefix.sh PREFIX
set -eu
prefix=$1
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
wine=/usr/lib/wine/wine64
if [ ! -f "$prefix/.quendrel-ready" ]; then
  echo "== creating Wine prefix $prefix (once per build tree)"
  rm -rf "$prefix"; mkdir -p "$prefix"
  $wine wineboot -i </dev/null >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w
  cat > "$prefix/quendrel-setup.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="Y"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Control Panel\International]
"sShortDate"="M/d/yyyy"
"sTimeFormat"="h:mm:ss tt"
REG
  $wine regedit /S "Z:${prefix//\//\\}\\quendrel-setup.reg" </dev/null >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
  touch "$prefix/.quendrel-ready"
fi
/usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1 || true
$wine wineboot </dev/null >/dev/null 2>&1 || true
