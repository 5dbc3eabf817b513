#!/usr/bin/env bash
# Builds and runs every test: first with AddressSanitizer and UndefinedBehaviorSanitizer, then
# the normal build, whose CTest summary is the last thing printed. Warnings are errors here.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

configure_and_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -DSAYVANE_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DSAYVANE_SANITIZE=address,undefined \
    -DSAYVANE_BUILD_BENCHMARKS=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    LSAN_OPTIONS=suppressions=$PWD/Tests/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== Normal build"
configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure -j "$jobs"
