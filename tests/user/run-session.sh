#!/usr/bin/env bash
# Runs user-path tests in a desktop of their own: an X server (Xvfb) on a
# display it picks itself, a session bus, a window manager (openbox) and the
# accessibility bus, and a home, runtime and temporary folder of its own, then
# the tests themselves with Debian's python3 and its pyatspi. Nothing is
# shared with another session (the program's one-instance lock, its settings,
# the accessibility bus's socket), so sessions run side by side.
#
#   run-session.sh PROGRAM_DIR REMOTE_SIM CLI [unittest arguments...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# The tests run from this folder: paths given relative to the caller's become absolute.
absolute() { if [ -n "$1" ]; then realpath -m -- "$1"; fi; }
ORVALINK_PROGRAM_DIR="$(absolute "$1")" ORVALINK_REMOTE_SIM="$(absolute "$2")" ORVALINK_CLI="$(absolute "$3")"
export ORVALINK_PROGRAM_DIR ORVALINK_REMOTE_SIM ORVALINK_CLI
shift 3
for tool in Xvfb dbus-run-session openbox xdotool import /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null 2>&1 || { echo "user-path tests need $tool (scripts/install-deps.sh installs it)"; exit 1; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "user-path tests need python3-pyatspi"; exit 1; }
unset QT_QPA_PLATFORM

session="$(mktemp -d "${TMPDIR:-/tmp}/orvalink-session.XXXXXX")"
xvfb=""
finish() {
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$session"
}
trap finish EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

export HOME="$session/home" TMPDIR="$session/tmp" XDG_RUNTIME_DIR="$session/runtime"
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
mkdir -p "$HOME" "$TMPDIR" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
chmod 700 "$XDG_RUNTIME_DIR"

# The server takes the first free display itself and writes its number to
# fd 3 (-displayfd): no two sessions can pick the same one.
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$session/display" >"$session/xvfb.log" 2>&1 &
xvfb=$!
display=""
for _ in $(seq 1 300); do
  if grep -q '^[0-9][0-9]*$' "$session/display" 2>/dev/null; then
    display="$(cat "$session/display")"
    break
  fi
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$display" ]; then
  echo "the X server did not start:"
  cat "$session/xvfb.log"
  exit 1
fi
export DISPLAY=":$display"
dbus-run-session -- "$here/desktop.sh" "$@"
