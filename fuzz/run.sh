#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time.
#   fuzz/run.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
command -v clang++ >/dev/null || { echo "fuzz: clang++ missing" >&2; exit 1; }
build=${FUZZ_BUILD:-build/fuzz}
targets=$(ls fuzz/fuzz_*.cpp | xargs -n1 basename | sed 's/\.cpp$//')
if [ -z "${FUZZ_BUILD:-}" ]; then
  cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DQUILLMARK_FUZZ=ON -DQUILLMARK_SANITIZE=ON -DQUILLMARK_BUILD_TESTS=OFF >/dev/null
  cmake --build $build -j"$(nproc)" --target $targets >/dev/null
fi
status=0
for t in $targets; do
  corpus=$build/corpus-$t
  mkdir -p "$corpus"
  seeds=fuzz/seeds/${t#fuzz_}
  [ -d "$seeds" ] || seeds=""
  if [ "$t" = fuzz_convert ] && [ -d ../shared/corpus ]; then
    # Seed with the small real PDFs (a layout byte in front of each).
    for p in ../shared/corpus/*.pdf; do
      [ "$(stat -c %s "$p")" -lt 300000 ] || continue
      { printf '\001'; cat "$p"; } > "$corpus/$(basename "$p")"
    done
  fi
  echo "== $t (${secs}s)"
  if ! ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} LSAN_OPTIONS=suppressions=$(pwd)/scripts/lsan.supp $build/fuzz/$t -max_total_time="$secs" -timeout=30 -rss_limit_mb=4096 \
       -print_final_stats=1 -artifact_prefix=$build/crash-$t- "$corpus" $seeds 2>$build/$t.log; then
    echo "fuzz: $t found a fault; see $build/$t.log and $build/crash-$t-*" >&2
    tail -40 $build/$t.log >&2
    status=1
  fi
  grep -E 'stat::number_of_executed_units' $build/$t.log || true
done
exit $status
