#!/usr/bin/env bash
# Every test, as CI runs it, with the flags of every build (warnings are errors everywhere). In
# order, each stage timed:
#   1. the format of the sources (clang-format);
#   2. the AddressSanitizer + UndefinedBehaviorSanitizer build of the test programs, and their
#      tests, the blur's vector version among them (the window-manager and package tests run
#      once, in stage 4);
#   3. a short run of the quotes-file fuzzer (FUZZ_SECONDS, a minute by default);
#   4. the normal build (the folder make run and make check use) and all tests, whose CTest
#      summary is the last thing printed.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
# A test that misses a tool fails here instead of skipping.
export SAYVANE_REQUIRE_TOOLS=1

stage() {
    echo
    echo "== $1"
    SECONDS=0
}
took() {
    echo "-- $1 took ${SECONDS} s"
}
# Ninja for a new build folder where it is installed; an existing folder keeps its generator.
generator() {
    if [ ! -f "$1/CMakeCache.txt" ] && command -v ninja >/dev/null; then
        echo "-GNinja"
    fi
}

stage "1. Format"
make --no-print-directory format-check
took "format"

stage "2. AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan $(generator build-asan) -DCMAKE_BUILD_TYPE=Debug \
    -DSAYVANE_SANITIZE=address,undefined -DSAYVANE_BUILD_TESTS=ON \
    -DSAYVANE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-asan -j "$jobs"
took "the sanitizer build"
SECONDS=0
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    LSAN_OPTIONS=suppressions=$PWD/Tests/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"
took "the sanitizer tests"

stage "3. Fuzzer"
./scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
took "the fuzzer's build and run"

stage "4. Normal build"
cmake -S . -B build $(generator build) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSAYVANE_BUILD_TESTS=ON -DSAYVANE_BUILD_BENCHMARKS=ON >/dev/null
cmake --build build -j "$jobs"
took "the normal build"
ctest --test-dir build --output-on-failure -j "$jobs"
