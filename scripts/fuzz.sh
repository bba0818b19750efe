#!/bin/bash
# Builds the libFuzzer targets (clang, ASan and UBSan) in build/fuzz and runs
# each of them for N seconds (default 60), one after the other.
#   scripts/fuzz.sh [seconds]
# Seeds come from fuzz/corpus/<target>/; the working corpus and any crash
# files go to build/fuzz/corpus/<target>/ and build/fuzz/crashes/<target>/,
# so the source tree stays untouched.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/fuzz

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DZUVA_BUILD_FUZZ=ON -DZUVA_SANITIZE=address,undefined \
    -DZUVA_BUILD_TESTS=OFF -DZUVA_BUILD_EXAMPLES=OFF
mapfile -t targets < "$build/fuzz/fuzz-targets.txt"
if [[ ${#targets[@]} == 0 ]]; then
    echo "no fuzz targets" >&2
    exit 1
fi
# Every layer and the simulated terminal too: clang holds them to statics
# that the exit never destroys.
cmake --build "$build" -j"$(nproc)" --target zuva_layers zuva_simterminal_lib "${targets[@]}"

status=0
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    crashes="$build/crashes/$target"
    log="$build/$target.log"
    mkdir -p "$corpus" "$crashes"
    seeds=()
    [[ -d fuzz/corpus/$target ]] && seeds=("fuzz/corpus/$target")
    echo "=== $target: ${seconds}s"
    rc=0
    ASAN_OPTIONS=abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$corpus" "${seeds[@]}" > "$log" 2>&1 || rc=$?
    grep -E "stat::number_of_executed_units|^==[0-9]+==ERROR|^SUMMARY" "$log" || true
    if [[ $rc != 0 ]]; then
        echo "!!! $target failed (exit $rc): see $log and $crashes/" >&2
        status=1
    fi
done
exit $status
