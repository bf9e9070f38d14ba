#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, every library instrumented) and runs
# each for ORVALINK_FUZZ_SECONDS seconds (30 unless set; 600 for a release
# check), two at a time (ORVALINK_FUZZ_JOBS), keeping its corpus in
# <build>/corpus/<target>. The build folder is ORVALINK_FUZZ_BUILD_DIR
# (build-fuzz unless set).
#
# For every target it prints the executions and the coverage (cov, ft) at the
# start and at the end and the executions per second, so that a slow target
# stands out; the whole libFuzzer output is in <build>/logs/. A target also
# gets tests/fuzz/seeds/<target>/ as seeds and tests/fuzz/dict/<target>.dict
# as its dictionary when they exist. Fails when a target finds a crash, a
# leak or undefined behaviour.
#
#   scripts/fuzz.sh [Target ...]          (all targets when none given)
#   scripts/fuzz.sh --coverage [Target ...]
#       the share of lines and branches the corpora reach (scripts/fuzz-coverage.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--coverage" ]; then
  shift
  exec scripts/fuzz-coverage.sh "$@"
fi
seconds="${ORVALINK_FUZZ_SECONDS:-30}"
build="${ORVALINK_FUZZ_BUILD_DIR:-build-fuzz}"
jobs="${ORVALINK_FUZZ_JOBS:-2}"

launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(pwd)}"
  # Debug information names the build folder; other checkouts may still share objects.
  export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DORVALINK_FUZZ=ON "${launcher[@]}" >/dev/null
# Only the fuzz targets.
mapfile -t all_targets < <(ninja -C "$build" -t targets all | sed -n 's/^\(tests\/\)\{0,1\}\(Fuzz[A-Za-z0-9]*\): .*/\2/p' | sort -u)
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=("${all_targets[@]}")
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

# "#N INITED cov: C ft: F corp: ..." -> "N runs, cov C, ft F"
stats() { sed -n 's/^#\([0-9]*\)[[:space:]]*[A-Z]*[[:space:]]*cov: \([0-9]*\) ft: \([0-9]*\).*/\1 runs, cov \2, ft \3/p' | tail -n 1; }

# Runs one target; prints its line and leaves its exit status in <logs>/<target>.status.
run_target() {
  local name=$1
  local corpus="$build/corpus/$name" log="$build/logs/$name.log" status=0
  # A crashing, leaking or slow input is kept beside the log.
  local options=(-max_total_time="$seconds" -max_len=70000 -rss_limit_mb=4096 -print_final_stats=1
                 -artifact_prefix="$build/logs/$name-"
                 # Slow inputs (a device tree at its node limit) are picked less often.
                 -entropic_scale_per_exec_time=1)
  local dirs=("$corpus" tests/data)
  [ -d "tests/fuzz/seeds/$name" ] && dirs+=("tests/fuzz/seeds/$name")
  [ -f "tests/fuzz/dict/$name.dict" ] && options+=(-dict="tests/fuzz/dict/$name.dict")
  mkdir -p "$corpus"
  "$build/tests/$name" "${options[@]}" "${dirs[@]}" >"$log" 2>&1 || status=$?
  echo "$status" >"$build/logs/$name.status"
  local start end runs rate
  # A target that failed early has none of these lines.
  start=$(grep -E '^#[0-9]+[[:space:]]+INITED ' "$log" | stats || true)
  end=$(grep -E '^#[0-9]+[[:space:]]+(DONE|NEW|REDUCE|pulse|RELOAD) ' "$log" | stats || true)
  runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec:[[:space:]]*\([0-9]*\).*/\1/p' "$log" | tail -n 1)
  echo "-- $name (${seconds}s): start ${start:-?}; end ${end:-?}; ${runs:-no final count}; ${rate:-?} exec/s$([ "$status" -eq 0 ] || echo "; FAILED (exit $status)")"
}

mkdir -p "$build/logs"
for name in "${targets[@]}"; do
  rm -f "$build/logs/$name.status"
  [ -x "$build/tests/$name" ] || { echo "-- $name: not built" >&2; echo 1 >"$build/logs/$name.status"; continue; }
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_target "$name" &
done
wait

failed=0
for name in "${targets[@]}"; do
  status=$(cat "$build/logs/$name.status" 2>/dev/null || echo 1)
  if [ "$status" -ne 0 ]; then
    echo "   $name failed (exit $status); the end of $build/logs/$name.log:"
    tail -n 30 "$build/logs/$name.log" 2>/dev/null | sed 's/^/   /'
    failed=1
  fi
done
exit "$failed"
