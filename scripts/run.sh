#!/usr/bin/env bash
# Installs what is missing, builds the Orvalink programs (no test program)
# and starts Orvalink inside the program folder the build stages
# (build/program). Without a display the program runs
# under Xvfb: it loads the factory document through the start dialog, takes a
# picture of its main window (build/orvalink-main-window.png) and ends.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Only what running needs: the programs and their program folder, no test.
ORVALINK_TARGETS=orvalink_program scripts/build.sh build
cd build/program
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec ./orvalink "$@"
fi
shot="$(pwd)/../orvalink-main-window.png"
echo "No display: running Orvalink under Xvfb and taking a picture of its main window."
xvfb-run -a -s "-screen 0 1280x900x24" ./orvalink --screenshot "$shot"
echo "The picture is at build/orvalink-main-window.png"
