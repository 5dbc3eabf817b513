#!/usr/bin/env bash
# The performance record: the benchmark program's table (store, display text, frame), then the
# program itself measured on a virtual X server. docs/PERFORMANCE.md holds the latest figures.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "== Benchmarks (Google Benchmark)"
./build/Benchmarks/sayvane_benchmarks "$@"
echo
echo "== The program under Xvfb, beside the bare xcb program (it starts its own X servers and bus)"
./build/Benchmarks/sayvane_process_measure ./build/sayvane ./build/Benchmarks/sayvane_bare_strip
