#!/usr/bin/env bash
# Installs what is missing, builds Trovan and runs every test: the ordinary build, the program
# that is shipped, with the tests of the program as a person meets it (command line, end to end,
# package); every test built with AddressSanitizer and UndefinedBehaviorSanitizer, the suites of
# the core and the window among them; those suites built with ThreadSanitizer; and short fuzzing
# runs. Any sanitizer report fails the test that made it.
#
# The tests mostly wait (on X servers, on dpkg, on events), so the sanitizer builds compile from
# the start at low priorities: they take only the time the builds and tests before them leave the
# cores.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
jobs=$(nproc)
started=$SECONDS

# Races: the core on real trees (a start/cancel stress and the keeper of kept listings among
# them) and the window on the offscreen platform.
race_tests=(test_core_search test_core_threads test_core_lister test_core_run test_core_files
    test_core_text test_core_kept test_window_keyboard test_window_mouse test_window_results
    test_window_states test_window_corners test_window_entry_actions test_about)

# The suites need no second, ordinary build: compiling them is most of a build's time. Each
# library is compiled a few sources at a time (unity builds): Qt's headers are read once a batch
# rather than once a file. A warning fails the command.
strict=(-DCMAKE_UNITY_BUILD=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON)
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTROVAN_TEST_SUITES=OFF \
    "${strict[@]}"
# AddressSanitizer's build with clang, which compiles it in two thirds of gcc's time. Not the
# race detector's: clang 14's loses its way in a child that Qt starts with clone().
CC=clang CXX=clang++ cmake -S "$top" -B "$top/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTROVAN_SANITIZE=ON -DTROVAN_TEST_SUITES=ON "${strict[@]}" >/dev/null
cmake -S "$top" -B "$top/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTROVAN_TSAN=ON -DTROVAN_TEST_SUITES=ON "${strict[@]}" >/dev/null

declare -A behind=() # NAME -> the process group of a build compiling in the background
# A build that stops the command ends with it.
trap 'for group in "${behind[@]}"; do kill -- -"$group" 2>/dev/null || true; done' EXIT

# build_behind NAME NICENESS COMMAND...: starts COMMAND at a low priority in a process group of
# its own, its output kept in build-NAME.log.
build_behind() {
    local name=$1 niceness=$2
    shift 2
    set -m
    nice -n "$niceness" "$@" >"$top/build-$name.log" 2>&1 &
    behind[$name]=$!
    set +m
}
# finish_behind NAME: waits for that build, and shows its output if it failed.
finish_behind() {
    local log="$top/build-$1.log"
    if ! wait "${behind[$1]}"; then
        cat "$log"
        echo "build-and-test: the $1 build failed" >&2
        exit 1
    fi
    unset "behind[$1]"
    tail -n 1 "$log"
}

# Every build starts at once: the ordinary one first, the sanitizer builds behind it in the order
# their tests come, each taking what those before it leave idle.
build_behind asan 10 cmake --build "$top/build-asan"
build_behind tsan 19 cmake --build "$top/build-tsan" --target "${race_tests[@]}"
build_behind fuzz 19 bash "$top/fuzz/run-fuzz.sh" 0
cmake --build "$top/build"
ctest --test-dir "$top/build" --output-on-failure -j "$jobs"

finish_behind asan
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:check_initialization_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir "$top/build-asan" --output-on-failure -j "$jobs"
unset ASAN_OPTIONS UBSAN_OPTIONS

# Qt's own libraries are not built for the race detector, so what they do inside is left out;
# every access of the program's own code is watched.
finish_behind tsan
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:ignore_noninstrumented_modules=1
ctest --test-dir "$top/build-tsan" --output-on-failure -j "$jobs" \
    -R "^($(IFS='|'; echo "${race_tests[*]}"))\$"
unset TSAN_OPTIONS
finish_behind fuzz

# Short fuzzing runs of the text splitter and the pattern matcher.
bash "$top/fuzz/run-fuzz.sh" 10
echo "build-and-test: everything passed in $((SECONDS - started)) s"
