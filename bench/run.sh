#!/usr/bin/env bash
# The speed benchmark in one go: builds the benchmark (RelWithDebInfo, in build-bench/), writes
# the test trees into /tmp when they are missing, then runs our search, fd, bfs, find and the
# plain one-thread walk with the same filters, alternating run by run, on each case twice:
# warm, and cold (caches dropped before every run of every program; only as root). It prints the
# medians, our time over each of theirs, the time to the first entry, the largest gap between
# two passes of the event loop, the peak memory and whether the programs listed the same files,
# as a Markdown table. Then cold reads of /usr at fixed read depths beside the depth the search
# chooses, and last, a search that reaches a folder whose listing hangs (tests/fuse/stallfs.py)
# is cancelled.
#
# The first rows of a case are a first search: nothing kept (the cache folder emptied before
# every run). The rows after it search a tree searched before, with another pattern, as people
# do: "again", the second search in one run of the program; "restart", the first search after
# a start that loaded what an earlier run kept (warm, and cold: the caches dropped, the kept
# file present); "1 % changed", the same after a file was made in 1 % of the tree's folders
# since (only in the trees the benchmark wrote: nothing is made in /usr). For these, fd, bfs
# and the plain walk run alternating with ours (find not: it is the slowest by far and adds
# nothing to the comparison), and our time is also set against the
# first search's in the same caches. The first rows also set our time against the plain walk
# that takes each folder's stamp, as keeping listings asks (plain_walk --stamp).
#
# Usage: bench/run.sh [RUNS]          (RUNS: timed runs of each program per row, default 5)
# Environment: TROVAN_BENCH_TREE (default /tmp/trovan-bench-tree), TROVAN_BENCH_TREE_1M
# (default /tmp/trovan-bench-tree-1m), TROVAN_BENCH_REAL (default /usr), TROVAN_BENCH_OUT
# (default /tmp/trovan-bench-out, where the listings are kept), TROVAN_BENCH_COLD=0 to leave
# out the cold rows, TROVAN_BENCH_CASES (default "tree all real 1m": which cases),
# TROVAN_BENCH_DEPTHS (default "1 3 7 15 31": reader threads beside the walk for the depth rows;
# empty leaves them out), TROVAN_BENCH_QUIET (default 20: before every run, wait up to this
# many seconds for the other processes to leave the cores at least 85 % idle; 0 never waits).
#
# The filters of the search: hidden names (a leading dot) are left out, folders among them not
# entered; links to folders are not followed; links to regular files are listed as files; the
# name matches the pattern ignoring case. The other programs, as close as their options allow:
#   fdfind --no-ignore --glob --ignore-case -t f -t l PATTERN ROOT
#   bfs ROOT -nohidden -iname PATTERN \( -type f -o -xtype f \)
#   find ROOT -name '.*' -prune -o -iname PATTERN \( -type f -o -xtype f \) -print
# (-xtype f takes a link to a regular file as the file; the name test comes first so that only
# names that match cost a look at the link). fd has no test for what a link points to: -t l
# lists every link that matches, also those to folders and dangling ones, so it lists a few
# more than the others (the table says how many, and that they are all links). Our "*.*"
# matches every name, a dot or not, so for it the others get no name test at all. The plain
# walk (bench/plain_walk: getdents64 with the entry type, no stat, hidden names pruned, one
# thread) matches nothing and keeps nothing: it is the floor of one thread, timed by itself
# without its process's start, as our time is the search's alone.
set -euo pipefail

runs=${1:-5}
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build-bench
bench_search=$build/bench/bench_search
plain_walk=$build/bench/plain_walk
tree=${TROVAN_BENCH_TREE:-/tmp/trovan-bench-tree}
tree1m=${TROVAN_BENCH_TREE_1M:-/tmp/trovan-bench-tree-1m}
real=${TROVAN_BENCH_REAL:-/usr}
out=${TROVAN_BENCH_OUT:-/tmp/trovan-bench-out}
# Where the search keeps what it read ($XDG_CACHE_HOME/trovan), one folder for each kind of row.
cache=$out/cache
cases=${TROVAN_BENCH_CASES:-tree all real 1m}
depths=${TROVAN_BENCH_DEPTHS-1 3 7 15 31}
quiet=${TROVAN_BENCH_QUIET:-20}
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/trovan-bench-runtime}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
for program in bfs fdfind; do
    command -v $program >/dev/null || { echo "$program is missing: run scripts/install-deps.sh" >&2; exit 1; }
done

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
[[ " $cases " != *" 1m "* ]] || make_tree "$tree1m" --files 1000000 --fanout 13 17

cold=${TROVAN_BENCH_COLD:-1}
cold_note=""
if ((cold)) && { [[ $(id -u) != 0 ]] || ! (echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; }; then
    cold=0
    cold_note="Cold rows left out: dropping the caches needs root (and a writable /proc/sys/vm/drop_caches)."
    echo "== $cold_note"
fi
drop_caches() { sync; echo 3 >/proc/sys/vm/drop_caches; }

# The share of the cores that was idle over 0.2 s, in percent.
idle_percent() {
    local a b
    read -r -a a </proc/stat
    sleep 0.2
    read -r -a b </proc/stat
    awk -v a="${a[*]}" -v b="${b[*]}" 'BEGIN {
        n = split(a, x, " "); split(b, y, " "); total = 0
        for (i = 2; i <= n; i++) total += y[i] - x[i]
        idle = (y[5] - x[5]) + (y[6] - x[6])
        printf "%d", (total > 0 ? 100 * idle / total : 100) }'
}
busy_runs=0
all_runs=0
# Waits until the other processes leave the cores idle, at most `quiet` seconds; a run that
# starts on a busy machine is counted.
wait_for_quiet() {
    ((quiet > 0)) || return 0
    all_runs=$((all_runs + 1))
    local deadline=$((SECONDS + quiet))
    while (($(idle_percent) < 85)); do
        if ((SECONDS >= deadline)); then
            busy_runs=$((busy_runs + 1))
            return 0
        fi
    done
}
prepare() { # warm|cold: before every timed run
    wait_for_quiet
    [[ $1 == warm ]] || drop_caches
}

now() { date +%s%N; }
seconds_since() { awk -v start="$1" -v end="$(now)" 'BEGIN { printf "%.4f", (end - start) / 1e9 }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
maximum() { sort -g | tail -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p; s/^$1=\([^ ]*\).*/\1/p" | head -1; }
count() { wc -l <"$1"; }

run_fd() { # ROOT PATTERN
    if [[ $2 == '*.*' ]]; then
        fdfind --no-ignore -t f -t l '' "$1"
    else
        fdfind --no-ignore --glob --ignore-case -t f -t l "$2" "$1"
    fi
}
run_bfs() { # ROOT PATTERN
    if [[ $2 == '*.*' ]]; then
        bfs "$1" -nohidden \( -type f -o -xtype f \)
    else
        bfs "$1" -nohidden -iname "$2" \( -type f -o -xtype f \)
    fi
}
run_find() { # ROOT PATTERN
    if [[ $2 == '*.*' ]]; then
        find "$1" -name '.*' -prune -o \( -type f -o -xtype f \) -print
    else
        find "$1" -name '.*' -prune -o -iname "$2" \( -type f -o -xtype f \) -print
    fi
}
timed() { # LIST COMMAND... : runs the command into LIST, prints the seconds it took
    local start
    start=$(now)
    "${@:2}" >"$1" 2>/dev/null || true
    seconds_since "$start"
}

# Whether our sorted list is the other program's; when our list filled, whether all of ours
# are among its files. With LINKS set (fd), files only the other listed are fine if they are
# all links.
compare() { # OURS-SORTED OTHER-LIST FULL [LINKS]
    LC_ALL=C sort "$2" >"$2.sorted"
    local only_ours only_other links=0
    only_ours=$(LC_ALL=C comm -23 "$1" "$2.sorted" | wc -l)
    only_other=$(LC_ALL=C comm -13 "$1" "$2.sorted" | wc -l)
    if [[ -n ${4:-} ]] && ((only_other > 0)); then
        links=$(LC_ALL=C comm -13 "$1" "$2.sorted" | while IFS= read -r path; do
            [[ -L $path ]] && echo; done | wc -l)
    fi
    if (($3)); then
        ((only_ours == 0)) && echo "list full; all among its $(count "$2")" ||
            echo "NO: $only_ours of ours not among its $(count "$2")"
    elif ((only_ours == 0 && only_other == 0)); then
        echo "yes ($(count "$2"))"
    elif ((only_ours == 0 && links == only_other)); then
        echo "yes, and $only_other links ($(count "$2"))"
    else
        echo "NO: $only_ours only ours, $only_other only its ($(count "$1") / $(count "$2"))"
    fi
}

rows=()
declare -A first_times # NAME MODE -> the first search's median
# ours KIND ROOT PATTERN OTHER LIST: one timed run of our search, as KIND asks, its line printed.
ours() {
    local kind=$1 root=$2 pattern=$3 other=$4 list=$5
    case $kind in
    first)
        rm -rf "$cache/first"
        XDG_CACHE_HOME=$cache/first "$bench_search" "$root" "$pattern" --entries "$list" ;;
    again)
        rm -rf "$cache/again"
        XDG_CACHE_HOME=$cache/again "$bench_search" "$root" "$pattern" --first "$other" \
            --entries "$list" ;;
    restart | changed)
        XDG_CACHE_HOME=$cache/$kind "$bench_search" "$root" "$pattern" --entries "$list" ;;
    esac
}
# prime KIND ROOT OTHER: what a run of the program leaves kept, for the rows that start with it.
prime() {
    rm -rf "$cache/$1"
    XDG_CACHE_HOME=$cache/$1 "$bench_search" "$2" "$3" >/dev/null 2>&1
}
# change ROOT RUN FOLDERS: a file made in every hundredth folder, from the RUN-th on.
change() {
    awk -v run="$2" 'NR % 100 == run % 100' "$3" | while IFS= read -r folder; do
        : >"$folder/zz-bench-change.tmp"
    done
}
# unchange ROOT FOLDERS: the files gone again, their folders settled past the kept listings'
# margin (3 s) and read again, so that the next run finds 1 % changed, no more.
unchange() {
    find "$1" -name zz-bench-change.tmp -delete
    sleep 3.1
}

run_row() { # NAME ROOT PATTERN warm|cold first|again|restart|changed OTHER-PATTERN
    local name=$1 root=$2 pattern=$3 mode=$4 kind=${5:-first} other=${6:-}
    local slug i line label=$name
    [[ $kind == first ]] || label="$name, $kind"
    [[ $kind != changed ]] || label="$name, 1 % changed"
    slug=$(echo "$name $mode $kind" | tr -c 'A-Za-z0-9\n' '_')
    local ours_list=$out/$slug.trovan fd_list=$out/$slug.fd bfs_list=$out/$slug.bfs
    local find_list=$out/$slug.find folders=$out/$slug.folders
    echo "== $label, $mode: $root \"$pattern\""
    if [[ $mode == warm ]]; then # one untimed run of each, so that all start equally warm
        ours first "$root" "$pattern" "$other" /dev/null >/dev/null 2>&1
        run_fd "$root" "$pattern" >/dev/null 2>&1 || true
        run_bfs "$root" "$pattern" >/dev/null 2>&1 || true
        [[ $kind != first ]] || run_find "$root" "$pattern" >/dev/null 2>&1 || true
        "$plain_walk" "$root" >/dev/null
    fi
    [[ $kind == restart || $kind == changed ]] && prime "$kind" "$root" "$other"
    [[ $kind == changed ]] && find "$root" -type d -not -path '*/.*' >"$folders"
    local search=() first=() full=() gaps=() rss=() threads=() fds=() bfses=() finds=() plains=()
    local stamped=()
    local entries="" read_kept=()
    for ((i = 1; i <= runs; i++)); do
        [[ $kind != changed ]] || change "$root" "$i" "$folders"
        prepare "$mode"
        line=$(ours "$kind" "$root" "$pattern" "$other" "$ours_list")
        echo "   trovan: $line"
        entries=$(field entries <<<"$line")
        search+=("$(field search_s <<<"$line")")
        local first_entry
        first_entry=$(field first_entry_s <<<"$line")
        [[ $first_entry == - || -z $first_entry ]] || first+=("$first_entry")
        [[ $(field full_list_s <<<"$line") == - ]] || full+=("$(field full_list_s <<<"$line")")
        gaps+=("$(field max_gap_ms <<<"$line")")
        rss+=("$(field peak_rss_mb <<<"$line")")
        threads+=("$(field read_threads <<<"$line")")
        read_kept+=("$(field folders_read <<<"$line") ($(field folders_kept <<<"$line"))")
        prepare "$mode"
        fds+=("$(timed "$fd_list" run_fd "$root" "$pattern")")
        prepare "$mode"
        bfses+=("$(timed "$bfs_list" run_bfs "$root" "$pattern")")
        if [[ $kind == first ]]; then
            prepare "$mode"
            finds+=("$(timed "$find_list" run_find "$root" "$pattern")")
        fi
        prepare "$mode"
        plains+=("$(field seconds <<<"$("$plain_walk" "$root")")")
        if [[ $kind == first ]]; then
            prepare "$mode"
            stamped+=("$(field seconds <<<"$("$plain_walk" "$root" 1 --stamp)")")
        fi
        # The others searched the same changed tree; then it is as before, and settled.
        if [[ $kind == changed ]]; then
            unchange "$root"
            prime changed "$root" "$other"
        fi
        local last_stamped="—"
        ((${#stamped[@]} == 0)) || last_stamped=${stamped[-1]}
        echo "   fd: $(count "$fd_list") files, ${fds[-1]} s; bfs: $(count "$bfs_list") files," \
            "${bfses[-1]} s; plain walk: ${plains[-1]} s; stamped walk: $last_stamped s"
    done
    local ours_s fd_s bfs_s find_s="—" plain_s first_s shown_s is_full=0
    ours_s=$(printf '%s\n' "${search[@]}" | median)
    fd_s=$(printf '%s\n' "${fds[@]}" | median)
    bfs_s=$(printf '%s\n' "${bfses[@]}" | median)
    ((${#finds[@]} == 0)) || find_s=$(printf '%s\n' "${finds[@]}" | median)
    plain_s=$(printf '%s\n' "${plains[@]}" | median)
    first_s="—"
    ((${#first[@]} == 0)) || first_s=$(printf '%s\n' "${first[@]}" | median)
    LC_ALL=C sort "$ours_list" >"$ours_list.sorted"
    local vs_fd vs_bfs vs_find="—" vs_plain vs_first="—" vs_stamped="—"
    if ((${#full[@]} > 0)); then
        # The list filled, so our time is to the full-list message: no ratio to a full walk.
        is_full=1
        shown_s="$(printf '%s\n' "${full[@]}" | median) (to full-list message)"
        vs_fd="—" vs_bfs="—" vs_plain="—"
        [[ $kind != first ]] || first_times["$name $mode"]=$(printf '%s\n' "${full[@]}" | median)
        [[ $kind == first ]] || vs_first=$(ratio "$(printf '%s\n' "${full[@]}" | median)" \
            "${first_times["$name $mode"]}")
    else
        shown_s=$ours_s
        vs_fd=$(ratio "$ours_s" "$fd_s")
        vs_bfs=$(ratio "$ours_s" "$bfs_s")
        [[ $find_s == — ]] || vs_find=$(ratio "$ours_s" "$find_s")
        vs_plain=$(ratio "$ours_s" "$plain_s")
        ((${#stamped[@]} == 0)) ||
            vs_stamped=$(ratio "$ours_s" "$(printf '%s\n' "${stamped[@]}" | median)")
        [[ $kind != first ]] || first_times["$name $mode"]=$ours_s
        [[ $kind == first ]] || vs_first=$(ratio "$ours_s" "${first_times["$name $mode"]}")
    fi
    local same_find="—"
    [[ $kind != first ]] || same_find=$(compare "$ours_list.sorted" "$find_list" $is_full)
    rows+=("| $label | $mode | $entries | $shown_s | $fd_s | $bfs_s | $find_s | $plain_s | $vs_fd | $vs_bfs | $vs_plain | $vs_stamped | $vs_find | $vs_first | $first_s | $(printf '%s\n' "${gaps[@]}" | median) ($(printf '%s\n' "${gaps[@]}" | maximum)) | $(printf '%s\n' "${rss[@]}" | maximum) | $(printf '%s\n' "${threads[@]}" | median | cut -d. -f1) | ${read_kept[-1]} | $same_find | $(compare "$ours_list.sorted" "$bfs_list" $is_full) | $(compare "$ours_list.sorted" "$fd_list" $is_full links) |")
}

run_case() { # NAME ROOT PATTERN OTHER-PATTERN made|found
    run_row "$1" "$2" "$3" warm first
    ((cold == 0)) || run_row "$1" "$2" "$3" cold first
    run_row "$1" "$2" "$3" warm again "$4"
    run_row "$1" "$2" "$3" warm restart "$4"
    ((cold == 0)) || run_row "$1" "$2" "$3" cold restart "$4"
    # Files are made and removed only in the trees the benchmark wrote itself, never in a
    # folder of the system's.
    [[ $5 != made ]] || run_row "$1" "$2" "$3" warm changed "$4"
}
for case_name in $cases; do
    case $case_name in
    # The other pattern, that of the search before, fills no list: the search before reads the
    # whole tree.
    tree) run_case "tree, *.log" "$tree" '*.log' '*.json' made ;;
    all) run_case "tree, *.*" "$tree" '*.*' '*.log' made ;;
    real) run_case "$real, *.h" "$real" '*.h' '*.c' found ;;
    1m) run_case "tree 1M, *7.txt" "$tree1m" '*7.txt' '*5.txt' made ;;
    *) echo "unknown case: $case_name" >&2; exit 2 ;;
    esac
done

# How deep reads from the disk should go: the search with a fixed number of readers beside the
# walk, and with the depth it chooses itself, alternating run by run.
depth_rows=()
if ((cold)) && [[ -n $depths ]]; then
    echo "== read depth: $real \"*.h\", cold, fixed reader threads beside the walk"
    declare -A depth_times
    for ((i = 1; i <= runs; i++)); do
        for readers in $depths chosen; do
            prepare cold
            options=()
            [[ $readers == chosen ]] || options=(--readers "$readers")
            rm -rf "$cache/depth"
            line=$(XDG_CACHE_HOME=$cache/depth "$bench_search" "$real" '*.h' "${options[@]}")
            echo "   $readers: $line"
            depth_times[$readers]+="$(field search_s <<<"$line") "
        done
    done
    for readers in $depths chosen; do
        depth_s=$(tr ' ' '\n' <<<"${depth_times[$readers]}" | grep . | median)
        if [[ $readers == chosen ]]; then
            depth_rows+=("| chosen by the search | $depth_s |")
        else
            depth_rows+=("| $((readers + 1)) | $depth_s |")
        fi
    done
fi

echo "== cancel (pressed 0.05 s into a search of $real \"*.h\")"
rm -rf "$cache/cancel"
cancel=$(XDG_CACHE_HOME=$cache/cancel "$bench_search" "$real" '*.h' --cancel-after 0.05)
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

echo
echo "Machine: $(nproc) cores, $(uname -r), load $(cut -d' ' -f1-3 /proc/loadavg); $(fdfind --version | head -1), $(bfs --version | head -1), $(find --version | head -1); medians of $runs runs; $busy_runs of $all_runs runs started while other processes kept the cores busy (waited ${quiet} s at most)."
[[ -z $cold_note ]] || echo "$cold_note"
echo
echo "| Case | Caches | Entries | Trovan (s) | fd (s) | bfs (s) | find (s) | plain walk (s) | Trovan/fd | Trovan/bfs | Trovan/plain walk | Trovan/stamped walk | Trovan/find | Trovan/first search | First entry (s) | Largest gap, ms (worst run) | Peak RSS, MB | Read threads | Folders read (kept) | Same files as find | Same files as bfs | Same files as fd |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
if ((${#depth_rows[@]} > 0)); then
    echo
    echo "| Reads under way at once ($real \"*.h\", cold) | Trovan (s) |"
    echo "|---|---|"
    printf '%s\n' "${depth_rows[@]}"
fi
echo
echo "- Cancel 0.05 s into $real \"*.h\": $cancel"
echo "- Cancel 0.5 s into a search whose walk waits on a listing that never comes: $blocked"
