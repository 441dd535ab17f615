#!/usr/bin/env bash
# Runs every benchmark with repetitions and reports medians (the machines are shared and noisy).
set -euo pipefail
build=${1:-build}
status=0
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_repetitions=${BENCH_REPS:-9} --benchmark_report_aggregates_only=true \
       --benchmark_min_time=${BENCH_MIN_TIME:-0.05} "${@:2}" || status=1
done
exit $status
