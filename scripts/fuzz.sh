#!/usr/bin/env bash
# Builds the quotes-file fuzzer with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# from the store library as the program has it, and runs it for the given number of seconds on
# the seed corpus in Fuzz/corpus and on fresh inputs; what it finds new goes to build-fuzz/work,
# never into the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
if ! command -v clang++ >/dev/null; then
    echo "clang++ is not installed: skipping the fuzzer" >&2
    exit 0
fi
generator=()
if [ ! -f build-fuzz/CMakeCache.txt ] && command -v ninja >/dev/null; then
    generator=(-G Ninja)
fi
cmake -S . -B build-fuzz "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSAYVANE_FUZZ=ON -DSAYVANE_BUILD_TESTS=OFF -DSAYVANE_BUILD_BENCHMARKS=OFF \
    -DSAYVANE_SANITIZE=address,undefined,fuzzer-no-link ${SAYVANE_CMAKE_FLAGS:-} >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target quotes_file_fuzzer
# FUZZ_BUILD_ONLY=1: the build alone (scripts/test.sh runs the fuzzer beside other tests).
if [ -n "${FUZZ_BUILD_ONLY:-}" ]; then
    exit 0
fi
mkdir -p build-fuzz/work build-fuzz/crashes
echo "Fuzzing the quotes-file reader for $seconds seconds"
status=0
ASAN_OPTIONS=detect_leaks=1 ./build-fuzz/Fuzz/quotes_file_fuzzer build-fuzz/work Fuzz/corpus \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix=build-fuzz/crashes/ >build-fuzz/last-run.log 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    tail -n 60 build-fuzz/last-run.log
    echo "The fuzzer failed (status $status); the input is in build-fuzz/crashes/" >&2
    exit "$status"
fi
grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb))' build-fuzz/last-run.log
