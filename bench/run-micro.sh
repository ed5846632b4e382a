#!/usr/bin/env bash
# Builds and runs every micro-benchmark (bench/*_bench.cpp) in a Release build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" --bench
build=$root/build-bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTWINSIFT_BUILD_BENCH=ON \
  -DTWINSIFT_BUILD_TESTS=OFF -DTWINSIFT_BUILD_APP=OFF >/dev/null
cmake --build "$build"
for b in "$build"/bench/*_bench; do
  echo "== $(basename "$b")"
  "$b" "$@"
done
