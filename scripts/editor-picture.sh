#!/usr/bin/env bash
# Takes a screenshot of the TV device open in its layout editor: the real
# program under Xvfb with a window manager, driven as the user-path tests
# drive it (tests/user), the factory document started with "New default".
#
# usage: scripts/editor-picture.sh [BUILD_DIR] [OUTPUT.png]
#   BUILD_DIR  the CMake build folder (default: build)
#   OUTPUT     where the picture goes (default: editor-picture.png)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-build}" && pwd)"
out="${2:-editor-picture.png}"
for f in "$build/program/orvalink" "$build/tools/orvalink-remote-sim" "$build/tools/orvalink-cli"; do
  [ -x "$f" ] || { echo "missing $f: build the program first" >&2; exit 1; }
done
shots="$(mktemp -d "${TMPDIR:-/tmp}/editor-picture.XXXXXX")"
trap 'rm -rf "$shots"' EXIT
ORVALINK_USER_SHOTS="$shots" "$here/tests/user/run-session.sh" "$build/program" "$build/tools/orvalink-remote-sim" \
  "$build/tools/orvalink-cli" test_layout.LayoutEditor.test_the_tv_editor_shows_its_first_page
[ -f "$shots/tv-editor.png" ] || { echo "no picture was taken" >&2; exit 1; }
cp "$shots/tv-editor.png" "$out"
echo "picture: $out"
