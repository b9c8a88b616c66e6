#!/usr/bin/env bash
# Where the time of one search goes: records one run of bench_search with perf (call graphs, on
# CLOCK_MONOTONIC), cuts the profile to the time from the click on "Sök" to the result state and
# prints the samples' shares by thread and by kind of work (bench/profile_shares.py). Run
# bench/run.sh once first, which builds build-bench/ and writes the test trees.
#
# Usage: bench/profile.sh ROOT PATTERN [warm|cold] [PERF.DATA]
# Environment: TROVAN_PROFILE_FREQUENCY (samples a second, default 2999).
set -euo pipefail

root=$1 pattern=$2 mode=${3:-warm}
top=$(cd "$(dirname "$0")/.." && pwd)
data=${4:-/tmp/trovan-profile.data}
bench_search=$top/build-bench/bench/bench_search
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/trovan-bench-runtime}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
command -v perf >/dev/null || { echo "perf is missing: apt-get install linux-perf" >&2; exit 1; }

if [[ $mode == cold ]]; then
    sync
    echo 3 >/proc/sys/vm/drop_caches
else
    "$bench_search" "$root" "$pattern" >/dev/null # warm the caches
fi
line=$(perf record -q -k CLOCK_MONOTONIC --call-graph dwarf,16384 -F "${TROVAN_PROFILE_FREQUENCY:-2999}" -o "$data" \
    -- "$bench_search" "$root" "$pattern" --clock-marks 2>/dev/null)
echo "$line"
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$line"; }
window="$(field clicked_at),$(field ended_at)"
perf script -i "$data" --time "$window" -F comm,tid,time,period,ip,sym,dso 2>/dev/null |
    python3 "$top/bench/profile_shares.py" "${@:5}"
