#!/usr/bin/env bash
# The speed benchmark in one go: builds the benchmark (RelWithDebInfo, in build-bench/), writes
# the test tree into /tmp when it is missing, then runs our search and `find` with the same
# filters, alternating, on three cases, and prints the medians, the ratio to find, the largest
# gap between two yields, the peak memory and whether both listed the same files. Each case
# also runs the search with the window never shown ("unpainted"), which tells what painting
# costs.
#
# Usage: bench/run.sh [RUNS]          (RUNS: timed runs of each program per case, default 5)
# Environment: TROVAN_BENCH_TREE (default /tmp/trovan-bench-tree), TROVAN_BENCH_REAL (default
# /usr), TROVAN_BENCH_OUT (default /tmp/trovan-bench-out, where the listings are kept).
#
# The filters of the search: hidden names (a leading dot) are left out, folders among them not
# entered; links to folders are not followed; links to regular files are listed as files; the
# name matches the pattern ignoring case. The find command that does the same:
#   find ROOT -name '.*' -prune -o -iname PATTERN \( -type f -o -xtype f \) -print
# (-xtype f takes a link to a regular file as the file; the name test comes first so that only
# names that match cost a look at the link). Our "*.*" matches every name, a dot or not, so for
# it find gets no name test at all.
set -euo pipefail

runs=${1:-5}
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build-bench
tree=${TROVAN_BENCH_TREE:-/tmp/trovan-bench-tree}
real=${TROVAN_BENCH_REAL:-/usr}
out=${TROVAN_BENCH_OUT:-/tmp/trovan-bench-out}
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/trovan-bench-runtime}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

echo "== build ($build)"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target bench_search make_tree plain_walk -j 2 | tail -1

if [[ ! -d $tree ]]; then
    echo "== writing the test tree into $tree"
    rm -rf "$tree.partial"
    "$build/bench/make_tree" "$tree.partial"
    mv "$tree.partial" "$tree"
fi

now() { date +%s%N; }
seconds_since() { awk -v start="$1" -v end="$(now)" 'BEGIN { printf "%.4f", (end - start) / 1e9 }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
maximum() { sort -g | tail -1; }
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p; s/^$1=\([^ ]*\).*/\1/p" | head -1; }

run_find() { # ROOT PATTERN
    if [[ $2 == '*.*' ]]; then
        find "$1" -name '.*' -prune -o \( -type f -o -xtype f \) -print
    else
        find "$1" -name '.*' -prune -o -iname "$2" \( -type f -o -xtype f \) -print
    fi
}

rows=()
notes=()
run_case() { # NAME ROOT PATTERN
    local name=$1 root=$2 pattern=$3 slug
    slug=$(echo "$name" | tr -c 'A-Za-z0-9\n' '_')
    local ours=$out/$slug.trovan find_list=$out/$slug.find
    echo "== $name: $root \"$pattern\""
    # One untimed run of each, so that both start with the same warm caches.
    "$build/bench/bench_search" "$root" "$pattern" >/dev/null
    run_find "$root" "$pattern" >/dev/null 2>&1 || true
    local search=() full=() gaps=() rss=() process=() found=() unshown=() entries=""
    for ((i = 1; i <= runs; i++)); do
        local start line
        start=$(now)
        line=$("$build/bench/bench_search" "$root" "$pattern" --entries "$ours")
        process+=("$(seconds_since "$start")")
        echo "   trovan: $line"
        entries=$(field entries <<<"$line")
        search+=("$(field search_s <<<"$line")")
        [[ $(field full_list_s <<<"$line") == - ]] || full+=("$(field full_list_s <<<"$line")")
        gaps+=("$(field max_gap_ms <<<"$line")")
        rss+=("$(field peak_rss_mb <<<"$line")")
        # The same search with the window never shown: what the search costs without painting.
        line=$("$build/bench/bench_search" "$root" "$pattern" --unshown)
        echo "   unpainted: $line"
        if [[ $(field full_list_s <<<"$line") == - ]]; then
            unshown+=("$(field search_s <<<"$line")")
        else
            unshown+=("$(field full_list_s <<<"$line")")
        fi
        start=$(now)
        run_find "$root" "$pattern" >"$find_list" 2>/dev/null || true
        found+=("$(seconds_since "$start")")
        echo "   find:   $(wc -l <"$find_list") files, ${found[-1]} s"
    done
    local ours_s find_s shown_s full_s ratio same
    ours_s=$(printf '%s\n' "${search[@]}" | median)
    find_s=$(printf '%s\n' "${found[@]}" | median)
    full_s=""
    ((${#full[@]} == 0)) || full_s=$(printf '%s\n' "${full[@]}" | median)
    LC_ALL=C sort "$ours" >"$ours.sorted"
    LC_ALL=C sort "$find_list" >"$find_list.sorted"
    if [[ -n $full_s ]]; then
        # The list filled: what we listed must all be among find's files.
        local extra
        extra=$(LC_ALL=C comm -23 "$ours.sorted" "$find_list.sorted" | wc -l)
        same="list full; $extra of ours not in find's $(wc -l <"$find_list")"
        shown_s="$full_s (to full-list message)"
        ratio="—"
        notes+=("$name: find lists all $(wc -l <"$find_list") files in ${find_s} s")
    else
        if cmp -s "$ours.sorted" "$find_list.sorted"; then
            same="yes"
        else
            same="NO: $(LC_ALL=C comm -23 "$ours.sorted" "$find_list.sorted" | wc -l) only ours, $(LC_ALL=C comm -13 "$ours.sorted" "$find_list.sorted" | wc -l) only find's (see $out)"
        fi
        shown_s=$ours_s
        ratio=$(awk -v a="$ours_s" -v b="$find_s" 'BEGIN { printf "%.1f", a / b }')
    fi
    rows+=("| $name | $entries | $shown_s | $find_s | $ratio | $(printf '%s\n' "${unshown[@]}" | median) | $(printf '%s\n' "${gaps[@]}" | median) ($(printf '%s\n' "${gaps[@]}" | maximum)) | $(printf '%s\n' "${rss[@]}" | maximum) | $same |")
    notes+=("$name: whole process (start-up included) $(printf '%s\n' "${process[@]}" | median) s")
    medians[$name]=$ours_s
}
declare -A medians

run_case "tree, *.log" "$tree" '*.log'
run_case "tree, *.*" "$tree" '*.*'
run_case "$real, *.h" "$real" '*.h'

echo "== cancel (pressed 0.3 s into a search of $real \"*.h\")"
cancel=$("$build/bench/bench_search" "$real" '*.h' --cancel-after 0.3)
echo "   $cancel"

echo "== plain C walk (getdents64 with the entry type, no stat; hidden pruned)"
plain_tree=$("$build/bench/plain_walk" "$tree" "$runs")
plain_real=$("$build/bench/plain_walk" "$real" "$runs")
echo "   tree:  $plain_tree"
echo "   $real: $plain_real"

echo
echo "Machine: $(nproc) cores, $(uname -r), load $(cut -d' ' -f1-3 /proc/loadavg); medians of $runs runs."
echo
echo "| Case | Entries | Trovan (s) | find (s) | Ratio | Trovan unpainted (s) | Largest gap, ms (worst run) | Peak RSS, MB | Same files as find |"
echo "|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
for note in "${notes[@]}"; do echo "- $note"; done
rate() { awk -v n="$(field entries <<<"$1")" -v s="$2" 'BEGIN { printf "%.0f", n / s }'; }
echo "- Our search read $(rate "$plain_tree" "${medians["tree, *.log"]}") entries/s on the tree and $(rate "$plain_real" "${medians["$real, *.h"]}") on $real (the plain walk's entry count over our median time)"
echo "- Plain C walk: tree $(field seconds <<<"$plain_tree") s ($(field entries_per_second <<<"$plain_tree") entries/s), $real $(field seconds <<<"$plain_real") s ($(field entries_per_second <<<"$plain_real") entries/s)"
echo "- Cancel: $cancel"
