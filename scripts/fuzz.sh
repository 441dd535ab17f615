#!/usr/bin/env bash
# Builds the fuzz targets with clang (in build-fuzz/) and runs each for FUZZ_SECONDS seconds
# (default 60). An input that crashes a target, or makes it run out of memory or time, is kept
# under fuzz/regressions/<target>/, where the normal build's fuzz_replay tests replay it, and
# fails the run. The growing corpus lives in build-fuzz/corpus/; the checked-in seeds are read.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD:-build-fuzz}
CXX=${FUZZ_CXX:-clang++} cmake -S fuzz -B "$build" -DTAMVELO_FUZZ=ON >/dev/null
cmake --build "$build" -j "${JOBS:-2}" >/dev/null
status=0
for target in database settings; do
    mkdir -p "$build/corpus/$target" "fuzz/regressions/$target"
    log="$build/$target.log"
    if ! "$build/${target}_fuzz" "$build/corpus/$target" "fuzz/corpus/$target" \
        -dict="fuzz/$target.dict" -max_total_time="$seconds" -max_len=8192 \
        -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="fuzz/regressions/$target/" >"$log" 2>&1; then
        status=1
        echo "$target: FAILED; the input is kept under fuzz/regressions/$target/ (log: $log)"
        grep -E 'ERROR|check failed|SUMMARY|Test unit written' "$log" | head -n 8 || true
    fi
    runs=$(awk '/^stat::number_of_executed_units/ {print $2}' "$log")
    rate=$(awk '/^stat::average_exec_per_sec/ {print $2}' "$log")
    echo "$target: ${runs:-?} executions (${rate:-?} per second)"
done
exit $status
