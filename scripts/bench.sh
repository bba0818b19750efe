#!/bin/bash
# Builds the benchmarks in Release (build/bench) and runs every one of them.
#   scripts/bench.sh [extra Google Benchmark flags, e.g. --benchmark_filter=Parse]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/bench

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZUVA_BUILD_BENCH=ON \
    -DZUVA_BUILD_TESTS=OFF -DZUVA_BUILD_EXAMPLES=OFF
mapfile -t targets < "$build/bench/bench-targets.txt"
if [[ ${#targets[@]} == 0 ]]; then
    echo "no benchmarks" >&2
    exit 1
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
for target in "${targets[@]}"; do
    echo "=== $target"
    "$build/bench/$target" "$@"
done
