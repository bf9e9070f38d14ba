#!/usr/bin/env bash
# Builds the libFuzzer targets into build-fuzz/ (clang, every library
# instrumented) and runs each for ORVALINK_FUZZ_SECONDS seconds (30 unless
# set; 600 for a release check), keeping its corpus in build-fuzz/corpus/.
# For every target it prints the executions and the coverage at the start
# and at the end; the whole libFuzzer output is in build-fuzz/logs/. Fails
# when a target finds a crash, a leak or undefined behaviour.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${ORVALINK_FUZZ_SECONDS:-30}"

launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(pwd)}"
  # Debug information names the build folder; other checkouts may still share objects.
  export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DORVALINK_FUZZ=ON "${launcher[@]}" >/dev/null
# Only the fuzz targets.
mapfile -t fuzz_targets < <(ninja -C build-fuzz -t targets all | sed -n 's/^\(tests\/\)\{0,1\}\(Fuzz[A-Za-z0-9]*\): .*/\2/p' | sort -u)
cmake --build build-fuzz -j"$(nproc)" --target "${fuzz_targets[@]}"

# "#N INITED cov: C ft: F corp: ..." -> "N runs, cov C, ft F"
stats() { sed -n 's/^#\([0-9]*\)[[:space:]]*[A-Z]*[[:space:]]*cov: \([0-9]*\) ft: \([0-9]*\).*/\1 runs, cov \2, ft \3/p' | tail -n 1; }

mkdir -p build-fuzz/logs
failed=0
for target in build-fuzz/tests/Fuzz*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="build-fuzz/corpus/$name"
  log="build-fuzz/logs/$name.log"
  mkdir -p "$corpus"
  status=0
  "$target" -max_total_time="$seconds" -max_len=70000 -rss_limit_mb=4096 -print_final_stats=1 \
    "$corpus" tests/data >"$log" 2>&1 || status=$?
  start=$(grep -E '^#[0-9]+[[:space:]]+INITED ' "$log" | stats)
  end=$(grep -E '^#[0-9]+[[:space:]]+(DONE|NEW|REDUCE|pulse|RELOAD) ' "$log" | stats)
  runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "$log" | tail -n 1)
  echo "-- $name (${seconds}s): start ${start:-?}; end ${end:-?}; ${runs:-no final count}"
  if [ "$status" -ne 0 ]; then
    echo "   $name failed (exit $status); the end of $log:"
    tail -n 30 "$log" | sed 's/^/   /'
    failed=1
  fi
done
exit "$failed"
