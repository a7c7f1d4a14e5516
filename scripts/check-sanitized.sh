#!/usr/bin/env bash
# Builds everything once more with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (plus the libFuzzer targets), runs the whole
# test suite in that build, then runs each fuzz target for a bounded time.
#   scripts/check-sanitized.sh [FUZZ_SECONDS_PER_TARGET]   (default 60; 0 skips fuzzing)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
secs=${1:-60}
build=build/sanitize
cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DQUILLMARK_SANITIZE=ON -DQUILLMARK_FUZZ=ON >/dev/null
cmake --build $build -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$(pwd)/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd $build && ctest --output-on-failure -j"$(nproc)")
if [ "$secs" -gt 0 ]; then FUZZ_BUILD=$build fuzz/run.sh "$secs"; fi
