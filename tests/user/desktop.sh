#!/usr/bin/env bash
# Inside the X server and the session bus: the window manager and the
# accessibility bus, then the tests. Everything started here ends with it.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# The window manager, started again should it ever end: without it no
# window is framed or made active, and every later test of the session would
# fail for a reason that is not the program's. Each end is logged and said
# when the session ends.
wmlog="${TMPDIR:-/tmp}/openbox.log"
(
  while :; do
    openbox --sm-disable >>"$wmlog" 2>&1
    echo "openbox ended with status $? at $(date +%T)" >>"$wmlog"
    sleep 0.2
  done
) &
wm=$!
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
bus=$!
finish() {
  local kids
  kids="$(pgrep -P "$wm" 2>/dev/null || true)"
  kill "$wm" $kids "$bus" 2>/dev/null
  wait 2>/dev/null
  if grep -q "^openbox ended" "$wmlog" 2>/dev/null; then
    echo "the window manager ended during the session and was started again:"
    grep "^openbox ended" "$wmlog"
  fi
}
trap finish EXIT
# The window manager and the accessibility bus take a moment to come up.
for _ in $(seq 1 50); do
  if xdotool getactivewindow >/dev/null 2>&1 || [ -n "$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -o '0x[0-9a-f]*')" ]; then
    break
  fi
  sleep 0.1
done
# The accessibility bus answers once the launcher has started it; a program
# started before that would never appear on it.
for _ in $(seq 1 100); do
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
  sleep 0.1
done
cd "$here"
/usr/bin/python3 -W ignore::DeprecationWarning -m unittest "${@:-discover}" -v
