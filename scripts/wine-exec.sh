#!/usr/bin/env bash
# Runs a Windows test program under 64-bit Wine in the build tree's private prefix.
#   wine-exec.sh PREFIX PROGRAM [ARGS...]
set -u
prefix=$1; shift
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# A crash must fail the test, not start the debugger and hang the run.
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
exec /usr/lib/wine/wine64 "$@"
