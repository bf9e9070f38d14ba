#!/usr/bin/env bash
# Installs what is missing, builds Orvalink and runs every test: the normal
# build's CTest suite, then the same suite built with clang under
# AddressSanitizer and UndefinedBehaviorSanitizer, then each libFuzzer target
# for a short while, then the Debian package: built, checked, installed,
# started for a new user and removed. Fails when any of them fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

echo "== build and test"
scripts/build.sh build
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600

echo "== sanitizer build and test"
scripts/build.sh build-asan -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DORVALINK_SANITIZE=ON
ORVALINK_FUZZ_RUNS=1000 ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 900

echo "== fuzz targets (libFuzzer)"
# ORVALINK_FUZZ_SECONDS per target (30 unless set; release checks use 600).
scripts/fuzz.sh
echo "== Debian package: build, lintian, install, first start, removal"
scripts/package-check.sh
echo "All tests passed."
