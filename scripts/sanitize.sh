#!/usr/bin/env bash
# Builds the store and ledger tests with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/ and runs them; any report (a memory error, a leak, undefined behaviour) fails.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ASAN_BUILD:-build-asan}
cmake -S . -B "$build" -DTAMVELO_SANITIZE=ON -DTAMVELO_BUILD_UI=OFF -DTAMVELO_BUILD_BENCH=OFF \
    >/dev/null
cmake --build "$build" -j "${JOBS:-2}" >/dev/null
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
cd "$build"
ctest --output-on-failure -j "${JOBS:-2}" --timeout 900
