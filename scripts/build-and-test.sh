#!/usr/bin/env bash
# Installs what is missing, builds Trovan and runs every test: the ordinary build, the program
# that is shipped, with the tests of the program as a person meets it (command line, end to end,
# package); every test built with AddressSanitizer and UndefinedBehaviorSanitizer, the suites of
# the core and the window among them; those suites built with ThreadSanitizer; and short fuzzing
# runs. Any sanitizer report fails the test that made it.
#
# The tests mostly wait (on X servers, on dpkg, on events), so while one build's tests run, the
# next build compiles at the lowest priority: it takes only the time the tests leave the cores.
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
# configure NAME OPTION...: configures build folder NAME, its output shown only when it fails.
configure() {
    local name=$1
    shift
    cmake -S "$top" -B "$top/$name" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${strict[@]}" "$@" \
        >"$top/$name-configure.log" 2>&1 || {
        cat "$top/$name-configure.log"
        return 1
    }
}
# The three are configured side by side: each mostly runs one compiler check after another.
# The sanitizer builds with clang, which compiles them in two thirds of gcc's time (its race
# detector with tests/support/TsanSharedMemoryClone.cpp).
CC=clang CXX=clang++ configure build-asan -DTROVAN_SANITIZE=ON -DTROVAN_TEST_SUITES=ON &
asan_configured=$!
CC=clang CXX=clang++ configure build-tsan -DTROVAN_TSAN=ON -DTROVAN_TEST_SUITES=ON &
tsan_configured=$!
# The end-to-end tests run on the sanitizer build's program; the shipped one is started end to
# end from its package.
configure build -DTROVAN_TEST_SUITES=OFF -DTROVAN_END_TO_END_TESTS=OFF
wait "$asan_configured"
wait "$tsan_configured"

background=""
# A build that stops the command ends with it.
trap '[[ -z $background ]] || kill -- -"$background" 2>/dev/null || true' EXIT

# build_behind NAME COMMAND...: starts COMMAND at the lowest priority in a process group of its
# own, its output kept in build-NAME.log.
build_behind() {
    behind_name=$1
    local log="$top/build-$1.log"
    shift
    set -m
    nice -n 19 "$@" >"$log" 2>&1 &
    background=$!
    set +m
    behind_log=$log
}
# finish_behind: waits for what was started last, and shows its output if it failed.
finish_behind() {
    if ! wait "$background"; then
        cat "$behind_log"
        echo "build-and-test: $behind_name failed" >&2
        exit 1
    fi
    background=""
    tail -n 1 "$behind_log"
}

# Each build runs one compile a core: ninja's own default of two more than the cores made the
# ordinary build take a fifth more processor time and longer on two cores.
# The sanitizer build starts at once, behind the ordinary one: it takes what that one leaves idle.
build_behind asan cmake --build "$top/build-asan" --parallel "$jobs"
cmake --build "$top/build" --parallel "$jobs"
ctest --test-dir "$top/build" --output-on-failure -j "$jobs"
finish_behind

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:check_initialization_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
build_behind tsan cmake --build "$top/build-tsan" --parallel "$jobs" --target "${race_tests[@]}"
ctest --test-dir "$top/build-asan" --output-on-failure -j "$jobs"
unset ASAN_OPTIONS UBSAN_OPTIONS
finish_behind

# Qt's own libraries are not built for the race detector, so what they do inside is left out;
# every access of the program's own code is watched.
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:ignore_noninstrumented_modules=1
# Short fuzzing runs of the text splitter and the pattern matcher, behind the race detector's
# tests, which mostly wait.
build_behind fuzz bash "$top/fuzz/run-fuzz.sh" 10
ctest --test-dir "$top/build-tsan" --output-on-failure -j "$jobs" \
    -R "^($(IFS='|'; echo "${race_tests[*]}"))\$"
unset TSAN_OPTIONS
finish_behind
echo "build-and-test: everything passed in $((SECONDS - started)) s"
