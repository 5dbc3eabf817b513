#!/usr/bin/env bash
# The bar feed's CPU time over a while (60 s by default) at the default interval, with 3 and
# with 100,000 quotes, in a home folder of its own and with no display. The kernel's
# schedstat gives the time on the CPU in nanoseconds; ticks of 10 ms would round it away.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/sayvane}
seconds=${2:-60}

measure() {
    local count=$1 home
    home=$(mktemp -d)
    mkdir -p "$home/.config/Sayvane"
    python3 -c 'import json,sys; n=int(sys.argv[1]); print(json.dumps({"quotes": ["Quote number %d, of an everyday length for a bar" % i for i in range(n)]}))' \
        "$count" >"$home/.config/Sayvane/quotes.json"
    env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_RUNTIME_DIR="$home" \
        "$program" --bar waybar >/dev/null &
    local pid=$!
    sleep 2 # start-up and the first load are not the steady state
    local before after switchesBefore switchesAfter rss
    before=$(cut -d' ' -f1 "/proc/$pid/schedstat")
    switchesBefore=$(awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$pid/status")
    sleep "$seconds"
    after=$(cut -d' ' -f1 "/proc/$pid/schedstat")
    switchesAfter=$(awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$pid/status")
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    rm -rf "$home"
    awk -v n="$count" -v ns="$((after - before))" -v s="$seconds" \
        -v w="$((switchesAfter - switchesBefore))" -v rss="$rss" 'BEGIN {
        printf "%7d quotes: %.1f ms of CPU in %d s = %.4f %% of a core, %d wake-ups, %.1f MB resident\n",
            n, ns / 1e6, s, ns / 1e7 / s, w, rss / 1024 }'
}

measure 3
measure 100000
