#!/usr/bin/env bash
# The performance record: the benchmark program's table (store, display text, frame), then the
# program itself measured on a virtual X server. docs/PERFORMANCE.md holds the latest figures.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "== Benchmarks (Google Benchmark)"
./build/Benchmarks/sayvane_benchmarks "$@"
echo
echo "== The program under Xvfb"
xvfb-run -a -s "-screen 0 1280x720x24" ./build/Benchmarks/sayvane_process_measure ./build/sayvane \
    ./build/Benchmarks/sayvane_bare_strip
