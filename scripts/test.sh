#!/usr/bin/env bash
# Every test, as CI runs it, with the flags of every build (warnings are errors everywhere). In
# order, each stage timed:
#   1. the packages that building the tests needs; the ones that only running them needs (window
#      managers, panels, validators, clang) install in the background meanwhile;
#   2. the AddressSanitizer + UndefinedBehaviorSanitizer build of the test programs;
#   3. the format of the sources (clang-format);
#   4. the quotes-file fuzzer's build, then its short run (FUZZ_SECONDS, a minute by default)
#      beside the sanitizer build's tests, the blur's vector version among them (the tests
#      mostly wait on other processes, the fuzzer needs one core);
#   5. the normal build (the folder make run and make check use) and all tests, the window-
#      manager and package tests among them (they run once, here), whose CTest summary is the
#      last thing printed.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
# A test that misses a tool fails here instead of skipping.
export SAYVANE_REQUIRE_TOOLS=1
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

stage() {
    echo
    echo "== $1"
    SECONDS=0
}
# Wall time of the stage, and the processor time of all that has ended so far.
took() {
    local cpu
    times >"$logs/times"
    cpu=$(tail -n 1 "$logs/times" | awk '{
        for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); total += t[1] * 60 + t[2] }
        printf "%d", total }')
    echo "-- $1 took ${SECONDS} s (processor time so far: ${cpu} s)"
}
# Ninja for a new build folder where it is installed; an existing folder keeps its generator.
configure() {
    local folder=$1
    shift
    local generator=()
    if [ ! -f "$folder/CMakeCache.txt" ] && command -v ninja >/dev/null; then
        generator=(-G Ninja)
    fi
    cmake -S . -B "$folder" "${generator[@]}" "$@" >/dev/null
}

stage "1. Packages"
./scripts/install-deps.sh --test-libs
# The rest in the background, where no password can be asked for.
installer=""
if [ "$(id -u)" -eq 0 ] || sudo -n true 2>/dev/null; then
    ./scripts/install-deps.sh --test >"$logs/install.log" 2>&1 &
    installer=$!
else
    ./scripts/install-deps.sh --test
fi
took "the packages to build with"
finishInstall() {
    if [ -n "$installer" ]; then
        local status=0
        wait "$installer" || status=$?
        cat "$logs/install.log"
        installer=""
        if [ "$status" -ne 0 ]; then
            echo "Installing the test tools failed" >&2
            exit "$status"
        fi
    fi
}

stage "2. AddressSanitizer + UndefinedBehaviorSanitizer build"
configure build-asan -DCMAKE_BUILD_TYPE=Debug -DSAYVANE_SANITIZE=address,undefined \
    -DSAYVANE_BUILD_TESTS=ON -DSAYVANE_BUILD_BENCHMARKS=OFF
cmake --build build-asan -j "$jobs"
took "the sanitizer build"

stage "3. Format"
finishInstall
make --no-print-directory format-check
took "the format check (and the rest of the packages)"

stage "4. Fuzzer and sanitizer tests"
FUZZ_BUILD_ONLY=1 ./scripts/fuzz.sh
./scripts/fuzz.sh "${FUZZ_SECONDS:-60}" >"$logs/fuzz.log" 2>&1 &
fuzzer=$!
testStatus=0
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    LSAN_OPTIONS=suppressions=$PWD/Tests/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs" || testStatus=$?
fuzzStatus=0
wait "$fuzzer" || fuzzStatus=$?
cat "$logs/fuzz.log"
if [ "$testStatus" -ne 0 ] || [ "$fuzzStatus" -ne 0 ]; then
    exit 1
fi
took "the fuzzer and the sanitizer tests"

stage "5. Normal build"
configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSAYVANE_BUILD_TESTS=ON \
    -DSAYVANE_BUILD_BENCHMARKS=ON
cmake --build build -j "$jobs"
took "the normal build"
ctest --test-dir build --output-on-failure -j "$jobs"
