#!/usr/bin/env bash
# The speed benchmark in one go: builds the benchmark (RelWithDebInfo, in build-bench/), writes
# the two test trees into /tmp when they are missing, then runs our search, `find` and `bfs`
# with the same filters, alternating run by run, on each case twice: warm, and cold (caches
# dropped before every run of every program; only as root). It prints the medians, the ratios
# to bfs and to find, the time to the first entry, the largest gap between two passes of the
# event loop, the peak memory and whether all three listed the same files, as a Markdown table.
# Last, a search that reaches a folder whose listing hangs (tests/fuse/stallfs.py) is cancelled.
#
# Usage: bench/run.sh [RUNS]          (RUNS: timed runs of each program per row, default 5)
# Environment: TROVAN_BENCH_TREE (default /tmp/trovan-bench-tree), TROVAN_BENCH_TREE_1M
# (default /tmp/trovan-bench-tree-1m), TROVAN_BENCH_REAL (default /usr), TROVAN_BENCH_OUT
# (default /tmp/trovan-bench-out, where the listings are kept), TROVAN_BENCH_COLD=0 to leave
# out the cold rows.
#
# The filters of the search: hidden names (a leading dot) are left out, folders among them not
# entered; links to folders are not followed; links to regular files are listed as files; the
# name matches the pattern ignoring case. The find and bfs commands that do the same:
#   find ROOT -name '.*' -prune -o -iname PATTERN \( -type f -o -xtype f \) -print
#   bfs ROOT -nohidden -iname PATTERN \( -type f -o -xtype f \)
# (-xtype f takes a link to a regular file as the file; the name test comes first so that only
# names that match cost a look at the link). Our "*.*" matches every name, a dot or not, so for
# it find and bfs get no name test at all.
set -euo pipefail

runs=${1:-5}
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build-bench
bench_search=$build/bench/bench_search
tree=${TROVAN_BENCH_TREE:-/tmp/trovan-bench-tree}
tree1m=${TROVAN_BENCH_TREE_1M:-/tmp/trovan-bench-tree-1m}
real=${TROVAN_BENCH_REAL:-/usr}
out=${TROVAN_BENCH_OUT:-/tmp/trovan-bench-out}
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/trovan-bench-runtime}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
command -v bfs >/dev/null || { echo "bfs is missing: run scripts/install-deps.sh" >&2; exit 1; }

echo "== build ($build)"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target bench_search make_tree plain_walk -j 2 | tail -1

make_tree() { # FOLDER [MAKE_TREE OPTIONS...]
    [[ -d $1 ]] && return
    echo "== writing a test tree into $1"
    rm -rf "$1.partial"
    "$build/bench/make_tree" "$1.partial" "${@:2}"
    mv "$1.partial" "$1"
}
make_tree "$tree"
# Wider, so that its folders hold about as many files as those of the default tree.
make_tree "$tree1m" --files 1000000 --fanout 13 17

cold=${TROVAN_BENCH_COLD:-1}
cold_note=""
if ((cold)) && { [[ $(id -u) != 0 ]] || ! (echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; }; then
    cold=0
    cold_note="Cold rows left out: dropping the caches needs root (and a writable /proc/sys/vm/drop_caches)."
    echo "== $cold_note"
fi
drop_caches() { sync; echo 3 >/proc/sys/vm/drop_caches; }

now() { date +%s%N; }
seconds_since() { awk -v start="$1" -v end="$(now)" 'BEGIN { printf "%.4f", (end - start) / 1e9 }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
maximum() { sort -g | tail -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p; s/^$1=\([^ ]*\).*/\1/p" | head -1; }
count() { wc -l <"$1"; }

run_find() { # ROOT PATTERN
    if [[ $2 == '*.*' ]]; then
        find "$1" -name '.*' -prune -o \( -type f -o -xtype f \) -print
    else
        find "$1" -name '.*' -prune -o -iname "$2" \( -type f -o -xtype f \) -print
    fi
}
run_bfs() { # ROOT PATTERN
    if [[ $2 == '*.*' ]]; then
        bfs "$1" -nohidden \( -type f -o -xtype f \)
    else
        bfs "$1" -nohidden -iname "$2" \( -type f -o -xtype f \)
    fi
}
timed() { # LIST COMMAND... : runs the command into LIST, prints the seconds it took
    local start
    start=$(now)
    "${@:2}" >"$1" 2>/dev/null || true
    seconds_since "$start"
}

# Whether our sorted list is the other program's; when our list filled, whether all of ours
# are among its files.
compare() { # OURS-SORTED OTHER-LIST FULL
    LC_ALL=C sort "$2" >"$2.sorted"
    local only_ours only_other
    only_ours=$(LC_ALL=C comm -23 "$1" "$2.sorted" | wc -l)
    only_other=$(LC_ALL=C comm -13 "$1" "$2.sorted" | wc -l)
    if (($3)); then
        ((only_ours == 0)) && echo "list full; all among its $(count "$2")" ||
            echo "NO: $only_ours of ours not among its $(count "$2")"
    elif ((only_ours == 0 && only_other == 0)); then
        echo "yes ($(count "$2"))"
    else
        echo "NO: $only_ours only ours, $only_other only its ($(count "$1") / $(count "$2"))"
    fi
}

rows=()
notes=()
declare -A medians
run_row() { # NAME ROOT PATTERN warm|cold
    local name=$1 root=$2 pattern=$3 mode=$4 slug i line
    slug=$(echo "$name $mode" | tr -c 'A-Za-z0-9\n' '_')
    local ours=$out/$slug.trovan find_list=$out/$slug.find bfs_list=$out/$slug.bfs
    echo "== $name, $mode: $root \"$pattern\""
    if [[ $mode == warm ]]; then # one untimed run of each, so that all start equally warm
        "$bench_search" "$root" "$pattern" >/dev/null
        run_find "$root" "$pattern" >/dev/null 2>&1 || true
        run_bfs "$root" "$pattern" >/dev/null 2>&1 || true
    fi
    local search=() first=() full=() gaps=() rss=() found=() bfsed=() entries=""
    for ((i = 1; i <= runs; i++)); do
        [[ $mode == warm ]] || drop_caches
        line=$("$bench_search" "$root" "$pattern" --entries "$ours")
        echo "   trovan: $line"
        entries=$(field entries <<<"$line")
        search+=("$(field search_s <<<"$line")")
        local first_entry
        first_entry=$(field first_entry_s <<<"$line")
        [[ $first_entry == - || -z $first_entry ]] || first+=("$first_entry")
        [[ $(field full_list_s <<<"$line") == - ]] || full+=("$(field full_list_s <<<"$line")")
        gaps+=("$(field max_gap_ms <<<"$line")")
        rss+=("$(field peak_rss_mb <<<"$line")")
        [[ $mode == warm ]] || drop_caches
        found+=("$(timed "$find_list" run_find "$root" "$pattern")")
        [[ $mode == warm ]] || drop_caches
        bfsed+=("$(timed "$bfs_list" run_bfs "$root" "$pattern")")
        echo "   find: $(count "$find_list") files, ${found[-1]} s; bfs: $(count "$bfs_list") files, ${bfsed[-1]} s"
    done
    local ours_s find_s bfs_s first_s shown_s vs_bfs vs_find is_full=0
    ours_s=$(printf '%s\n' "${search[@]}" | median)
    find_s=$(printf '%s\n' "${found[@]}" | median)
    bfs_s=$(printf '%s\n' "${bfsed[@]}" | median)
    first_s="—"
    ((${#first[@]} == 0)) || first_s=$(printf '%s\n' "${first[@]}" | median)
    LC_ALL=C sort "$ours" >"$ours.sorted"
    if ((${#full[@]} > 0)); then
        # The list filled, so our time is to the full-list message: no ratio to a full walk.
        is_full=1
        shown_s="$(printf '%s\n' "${full[@]}" | median) (to full-list message)"
        vs_bfs="—" vs_find="—"
    else
        shown_s=$ours_s
        vs_bfs=$(ratio "$ours_s" "$bfs_s")
        vs_find=$(ratio "$ours_s" "$find_s")
    fi
    rows+=("| $name | $mode | $entries | $shown_s | $find_s | $bfs_s | $vs_bfs | $vs_find | $first_s | $(printf '%s\n' "${gaps[@]}" | median) ($(printf '%s\n' "${gaps[@]}" | maximum)) | $(printf '%s\n' "${rss[@]}" | maximum) | $(compare "$ours.sorted" "$find_list" $is_full) | $(compare "$ours.sorted" "$bfs_list" $is_full) |")
    [[ $mode != warm ]] || medians[$name]=$ours_s
}

run_case() { # NAME ROOT PATTERN
    run_row "$@" warm
    ((cold == 0)) || run_row "$@" cold
}
run_case "tree, *.log" "$tree" '*.log'
run_case "tree, *.*" "$tree" '*.*'
run_case "$real, *.h" "$real" '*.h'
run_case "tree 1M, *7.txt" "$tree1m" '*7.txt'

echo "== cancel (pressed 0.3 s into a search of $real \"*.h\")"
cancel=$("$bench_search" "$real" '*.h' --cancel-after 0.3)
echo "   $cancel"

# The walk reaches the folder `stall`, whose listing never comes: the cancel must not wait
# for it. Its files would match, so that an entry listed after the cancel would show.
echo "== cancel during a blocked read (pressed 0.5 s into a search of a stallfs mount)"
stall_src=$out/stall-src
rm -rf "$stall_src"
mkdir -p "$stall_src/before" "$stall_src/stall" "$stall_src/after"
touch "$stall_src/before/one.dat" "$stall_src/stall/hung.dat" "$stall_src/after/two.dat"
status=0
blocked=$("$top/tests/fuse/with-stallfs.sh" "$stall_src" "$out/stall-mnt" -- \
    timeout 60 "$bench_search" "$out/stall-mnt" '*.dat' --cancel-after 0.5) || status=$?
case $status in
0) ;;
77) blocked="not measured: FUSE cannot be used here" ;;
124) blocked="FAILED: the benchmark had not ended 60 s after the press" ;;
*) blocked="FAILED with status $status: $blocked" ;;
esac
echo "   $blocked"

echo "== plain C walk (getdents64 with the entry type, no stat; hidden pruned; warm)"
for root in "$tree" "$tree1m" "$real"; do "$build/bench/plain_walk" "$root" >/dev/null; done
plain_tree=$("$build/bench/plain_walk" "$tree" "$runs")
plain_1m=$("$build/bench/plain_walk" "$tree1m" "$runs")
plain_real=$("$build/bench/plain_walk" "$real" "$runs")
echo "   tree:    $plain_tree"
echo "   tree 1M: $plain_1m"
echo "   $real:    $plain_real"

echo
echo "Machine: $(nproc) cores, $(uname -r), load $(cut -d' ' -f1-3 /proc/loadavg); $(bfs --version | head -1); medians of $runs runs."
[[ -z $cold_note ]] || echo "$cold_note"
echo
echo "| Case | Caches | Entries | Trovan (s) | find (s) | bfs (s) | Trovan/bfs | Trovan/find | First entry (s) | Largest gap, ms (worst run) | Peak RSS, MB | Same files as find | Same files as bfs |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
for note in "${notes[@]}"; do echo "- $note"; done
rate() { awk -v n="$(field entries <<<"$1")" -v s="$2" 'BEGIN { printf "%.0f", n / s }'; }
echo "- Our search read $(rate "$plain_tree" "${medians["tree, *.log"]}") entries/s on the tree, $(rate "$plain_1m" "${medians["tree 1M, *7.txt"]}") on the 1M tree and $(rate "$plain_real" "${medians["$real, *.h"]}") on $real, warm (the plain walk's entry count over our median time)"
echo "- Plain C walk: tree $(field seconds <<<"$plain_tree") s, tree 1M $(field seconds <<<"$plain_1m") s, $real $(field seconds <<<"$plain_real") s ($(field entries_per_second <<<"$plain_tree"), $(field entries_per_second <<<"$plain_1m"), $(field entries_per_second <<<"$plain_real") entries/s)"
echo "- Cancel 0.3 s into $real \"*.h\": $cancel"
echo "- Cancel 0.5 s into a search whose walk waits on a listing that never comes: $blocked"
