#!/bin/bash
# Builds and runs the test suite.
#   scripts/test.sh            native build under AddressSanitizer and UBSan, then
#                              the armhf cross build under qemu-arm (when installed)
#   scripts/test.sh --native   only the native sanitizer run
#   scripts/test.sh --armhf    only the armhf run under emulation
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

native() {
    cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DZUVA_SANITIZE=address,undefined -DZUVA_WARNINGS_AS_ERRORS=ON
    cmake --build build/asan -j"$jobs"
    ASAN_OPTIONS=abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build/asan --output-on-failure -j"$jobs"
}

armhf() {
    cmake -S . -B build/armhf -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake -DZUVA_BUILD_EXAMPLES=ON -DZUVA_WARNINGS_AS_ERRORS=ON
    cmake --build build/armhf -j"$jobs"
    ZUVA_TEST_SLOW=1 ctest --test-dir build/armhf --output-on-failure -j"$jobs"
}

case "${1:-all}" in
    --native) native ;;
    --armhf) armhf ;;
    all)
        native
        if command -v arm-linux-gnueabihf-g++ >/dev/null && command -v qemu-arm >/dev/null; then
            armhf
        else
            echo "armhf cross compiler or qemu-arm missing: skipped (scripts/install-deps.sh --armhf)"
        fi ;;
    *) echo "usage: $0 [--native|--armhf]" >&2; exit 2 ;;
esac
