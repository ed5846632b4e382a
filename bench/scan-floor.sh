#!/usr/bin/env bash
# The whole-scan benchmark: builds bench/scan_bench in a Release build, makes the tree
# once (two halves of $TWINSIFT_SCAN_BENCH_FILES files, default 200000, no images),
# and runs each case in a fresh process: the find floor and the engine at N and 2N,
# then the engine at N and 2N with counts handed to the main thread without waiting.
# Settings come from a private, empty config folder (the defaults).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TWINSIFT_BENCH_BUILD:-$root/build-bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTWINSIFT_BUILD_BENCH=ON \
  -DTWINSIFT_BUILD_TESTS=OFF -DTWINSIFT_BUILD_APP=OFF >/dev/null
cmake --build "$build" --target scan_bench
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export XDG_CONFIG_HOME=$config
for filter in 'BM_FindFloor/1/' 'BM_Scan/halves:1/waitForCounts:1/' 'BM_FindFloor/2/' \
              'BM_Scan/halves:2/waitForCounts:1/' 'BM_Scan/halves:1/waitForCounts:0/' \
              'BM_Scan/halves:2/waitForCounts:0/'; do
  "$build/bench/scan_bench" --benchmark_filter="$filter" "$@" | grep -E '^BM_'
done
