#!/usr/bin/env bash
# Installs what is missing, builds Orvalink and runs every test: the normal
# build's CTest suite (the user-path sessions side by side), then the same
# suites built with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# (the same build makes the libFuzzer targets), then the libFuzzer targets for
# a short while, two at a time, then the Debian
# package made from the tested build: checked, installed, started for a new
# user and removed. Fails when any of them fails, and prints every step's wall
# time at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"

summary=()
started=$SECONDS
current=""
step_start=$SECONDS
begin() { current="$1"; step_start=$SECONDS; echo "== $1"; }
end_step() { summary+=("$(printf '%6d s  %s' $((SECONDS - step_start)) "$current")"); current=""; }
report() {
  status=$?
  [ -n "$current" ] && summary+=("$(printf '%6d s  %s (failed)' $((SECONDS - step_start)) "$current")")
  echo "== time of each step"
  printf '%s\n' "${summary[@]}"
  printf '%6d s  in all\n' $((SECONDS - started))
  exit "$status"
}
trap report EXIT

begin "packages"
scripts/install-deps.sh
end_step

begin "build"
scripts/build.sh build
end_step
begin "tests"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 600
end_step

begin "sanitizer build, with the libFuzzer targets"
# One clang build serves the sanitizer run of the suites and the fuzz targets:
# every library is instrumented for the fuzzer as well.
scripts/build.sh build-asan -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DORVALINK_SANITIZE=ON \
  -DORVALINK_FUZZ=ON -DORVALINK_HARDEN=OFF
end_step
begin "sanitizer tests"
ORVALINK_FUZZ_RUNS=1000 ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 900
end_step

begin "fuzz targets"
# ORVALINK_FUZZ_SECONDS per target (30 unless set; release checks use 600).
ORVALINK_FUZZ_BUILD_DIR=build-asan scripts/fuzz.sh
end_step

begin "Debian package from the tested build: lintian, install, first start, removal"
scripts/package-check.sh --from build
end_step
echo "All tests passed."
