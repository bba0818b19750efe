#!/bin/bash
# Runs the threading tests (ctest label "threading") under ThreadSanitizer.
# Qt itself is not instrumented, so its internals are left out of the reports.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DZUVA_SANITIZE=thread -DZUVA_BUILD_EXAMPLES=OFF -DZUVA_WARNINGS_AS_ERRORS=ON
cmake --build build/tsan -j"$(nproc)"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1 \
    ctest --test-dir build/tsan --output-on-failure -L threading -j"$(nproc)"
