#!/usr/bin/env bash
# Every test, as CI runs it. Warnings are errors here. In order:
#   1. the AddressSanitizer + UndefinedBehaviorSanitizer build and all tests;
#   2. the ThreadSanitizer build and the tests that run the display link on its thread;
#   3. a short run of the quotes-file fuzzer (FUZZ_SECONDS, a minute by default);
#   4. the normal build and all tests, whose CTest summary is the last thing printed.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

configure() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -DSAYVANE_WERROR=ON "$@" >/dev/null
}

echo "== 1. AddressSanitizer + UndefinedBehaviorSanitizer"
configure build-asan -DCMAKE_BUILD_TYPE=Debug -DSAYVANE_SANITIZE=address,undefined -DSAYVANE_BUILD_BENCHMARKS=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    LSAN_OPTIONS=suppressions=$PWD/Tests/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== 2. ThreadSanitizer: the display link, the main queue and the views it drives"
threaded=(MarqueeViewTests DisplayLinkTests MainQueueTests NotificationCenterTests DisplayControllerTests)
configure build-tsan -DCMAKE_BUILD_TYPE=Debug -DSAYVANE_SANITIZE=thread -DSAYVANE_BUILD_BENCHMARKS=OFF
cmake --build build-tsan -j "$jobs" --target "${threaded[@]}"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build-tsan --output-on-failure -j "$jobs" \
    -R '^(MarqueeView|MarqueeArithmetic|ThreadDisplayLink|TimerDisplayLink|MainQueue|NotificationCenter|DisplayController)\.'

echo "== 3. Fuzzer"
./scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

echo "== 4. Normal build"
configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"
