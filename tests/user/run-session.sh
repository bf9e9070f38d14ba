#!/usr/bin/env bash
# Runs the user-path tests in a desktop of their own: an X server (Xvfb), a
# session bus, a window manager (openbox) and the accessibility bus, then the
# tests themselves with Debian's python3 and its pyatspi.
#
#   run-session.sh PROGRAM_DIR REMOTE_SIM CLI [unittest arguments...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
export ORVALINK_PROGRAM_DIR="$1" ORVALINK_REMOTE_SIM="$2" ORVALINK_CLI="$3"
shift 3
for tool in xvfb-run Xvfb dbus-run-session openbox xdotool /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null 2>&1 || { echo "user-path tests need $tool (scripts/install-deps.sh installs it)"; exit 1; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "user-path tests need python3-pyatspi"; exit 1; }
unset QT_QPA_PLATFORM
exec xvfb-run -a -s "-screen 0 1280x900x24 -nolisten tcp" \
  dbus-run-session -- "$here/desktop.sh" "$@"
