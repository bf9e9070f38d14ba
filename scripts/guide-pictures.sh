#!/usr/bin/env bash
# Makes the user guide's pictures (docs/pictures/*.png) from the real program:
# it builds what it needs into build/ (or the folder given as $1), then runs
# scripts/guide_pictures.py in the user-path suite's desktop (Xvfb, openbox,
# the accessibility bus; tests/user/run-session.sh), where it starts
# orvalink with no test options, drives it with xdotool and cuts each picture
# from the screen.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  scripts/build.sh "$build"
else
  cmake --build "$build" -j2 --target orvalink orvalink-cli orvalink-remote-sim \
    orvalink_factory_files orvalink_model_dll orvalink_dev_model_dll
fi
export ORVALINK_GUIDE_PICTURES="$(pwd)/docs/pictures"
PYTHONPATH="$(pwd)/scripts" tests/user/run-session.sh "$(pwd)/$build/program" \
  "$(pwd)/$build/tools/orvalink-remote-sim" "$(pwd)/$build/tools/orvalink-cli" guide_pictures
