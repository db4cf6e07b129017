#!/usr/bin/env bash
# Sourced: starts a private Xvfb on a free display and exports DISPLAY.
# The server ends with the shell that sourced this file.
quendrel_start_xvfb() {
  local fifo; fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  QUENDREL_XVFB_PID=$!
  local display; read -r -t 20 display <"$fifo" || true
  rm -f "$fifo"
  [ -n "$display" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=:$display
  trap 'kill $QUENDREL_XVFB_PID 2>/dev/null' EXIT
}
