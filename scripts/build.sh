#!/usr/bin/env bash
# Configures and builds Orvalink into build/ (or the folder given as $1):
#
#   scripts/build.sh [DIR [CMAKE OPTIONS...]]
#
# Warnings stop the build, and it carries the hardening of the Debian package
# (the package is made from this very build; scripts/test.sh). ORVALINK_TARGETS
# names the targets to build (all unless set; scripts/run.sh builds only
# orvalink_program, what running needs).
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
shift || true
launcher=()
# A compiler cache, where the machine has one, makes rebuilds of other
# checkouts of the same sources cheap.
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(pwd)}"
  # Debug information names the build folder; other checkouts may still share objects.
  export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVALINK_WERROR=ON -DORVALINK_HARDEN=ON \
  "${launcher[@]}" "$@"
targets=()
for t in ${ORVALINK_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
