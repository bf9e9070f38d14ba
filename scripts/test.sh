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
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DORVALINK_FUZZ=ON
# Only the fuzz targets: everything else was built and tested above.
mapfile -t fuzz_targets < <(ninja -C build-fuzz -t targets all | sed -n 's/^\(tests\/\)\{0,1\}\(Fuzz[A-Za-z0-9]*\): .*/\2/p' | sort -u)
cmake --build build-fuzz -j"$(nproc)" --target "${fuzz_targets[@]}"
seconds="${ORVALINK_FUZZ_SECONDS:-30}"
for target in build-fuzz/tests/Fuzz*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  echo "-- $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=70000 -rss_limit_mb=4096 "$corpus" tests/data 2>&1 | tail -n 3
done
echo "== Debian package: build, lintian, install, first start, removal"
scripts/package-check.sh
echo "All tests passed."
