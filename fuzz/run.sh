#!/bin/sh
# Builds the fuzz targets (clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs each for SECONDS
# (default 60), one after the other on one core:
#
#   sh fuzz/run.sh [SECONDS] [drawing|settings ...]
#
# Each target starts from its committed seed corpus (fuzz/corpus/<target>)
# and keeps what it finds in build-fuzz/corpus/<target>; crashes, sanitizer
# reports and inputs over the time limit land in build-fuzz/artifacts/<target>/
# and end the run with status 1. Rerun one with
#   build-fuzz/fuzz/fuzz_<target> FILE
# (with ASAN_OPTIONS=detect_leaks=0 for the full allocation stacks).
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-drawing settings}

packages="cmake make clang libclang-rt-14-dev qt6-base-dev libgl-dev fonts-liberation fonts-dejavu-core"
sh tools/install-packages.sh $packages

jobs=$(nproc 2>/dev/null || echo 2)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRACERY_FUZZ=ON \
  -DTRACERY_TESTS=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz_drawing fuzz_settings >/dev/null

export QT_QPA_PLATFORM=offscreen
# Qt's libraries have no frame pointers: allocation stacks unwound through
# them are partly noise, each one new to the sanitizer's stack store, which
# then grows without end. Fuzzing runs without them (malloc_context_size=0);
# the leak check is off (the toolkit keeps its caches to the end).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:quarantine_size_mb=32:malloc_context_size=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

status=0
for target in $targets; do
  corpus=build-fuzz/corpus/$target
  artifacts=build-fuzz/artifacts/$target/
  log=build-fuzz/fuzz_$target.log
  mkdir -p "$corpus" "$artifacts"
  case "$target" in
    drawing) extra="-max_len=8192"; seeds=samples ;;
    settings) extra="-max_len=4096 -dict=fuzz/settings.dict"; seeds="" ;;
    *) echo "unknown target $target" >&2; exit 2 ;;
  esac
  echo "fuzz_$target: $seconds s"
  # Inputs over a second are reported as slow units; over 10 s they fail the run.
  if ! build-fuzz/fuzz/fuzz_$target -max_total_time="$seconds" -timeout=10 -report_slow_units=1 \
      -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$artifacts" $extra \
      "$corpus" "fuzz/corpus/$target" $seeds >"$log" 2>&1; then
    status=1
    echo "  FAILED: see $log and $artifacts" >&2
  fi
  last=$(grep -E '^#[0-9]+[[:space:]].*cov: ' "$log" | tail -1)
  echo "  ${last:-no coverage line (see $log)}" | sed 's/ lim: .*//; s/ MS: .*//'
  grep -E 'stat::(number_of_executed_units|average_exec_per_sec|slowest_unit_time_sec|peak_rss_mb)' "$log" |
    sed 's/^/  /'
  echo "  inputs over 1 s: $(grep -c 'Slowest unit' "$log" || true)"
done
exit $status
