#!/bin/sh
# Every writer of the quotes file at once, for as long as asked (seconds, 600 by default): the
# real program on a private session bus, `sayvane --add` children, a D-Bus caller and two
# writers that take no lock. Prints the figures; status 0 when no writer lost another's words.
#   scripts/concurrency-check.sh [SECONDS] [BUILD_FOLDER]
set -eu
seconds=${1:-600}
build=${2:-build}
cmake --build "$build" -j2 --target ConcurrencyCheck
exec "$build/Tests/ConcurrencyCheck" --seconds "$seconds" --program "$build/sayvane"
