#!/usr/bin/env bash
# Installs what is missing, builds Trovan and runs every test: the ordinary build, the program
# that is shipped, with the tests of the program as a person meets it (command line, end to end,
# package); every test built with AddressSanitizer and UndefinedBehaviorSanitizer, the suites of
# the core and the window among them; those suites built with ThreadSanitizer; and short fuzzing
# runs. Any sanitizer report fails the test that made it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
jobs=$(nproc)
started=$SECONDS

# The suites need no second, ordinary build: compiling them is most of a build's time.
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTROVAN_TEST_SUITES=OFF
cmake --build "$top/build"
ctest --test-dir "$top/build" --output-on-failure -j "$jobs"

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:check_initialization_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
cmake -S "$top" -B "$top/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTROVAN_SANITIZE=ON \
    -DTROVAN_TEST_SUITES=ON
cmake --build "$top/build-asan"
ctest --test-dir "$top/build-asan" --output-on-failure -j "$jobs"
unset ASAN_OPTIONS UBSAN_OPTIONS

# Races: the core on real trees (a start/cancel stress among them) and the window on the
# offscreen platform. Qt's own libraries are not built for the sanitizer, so what they do
# inside is left out; every access of the program's own code is watched.
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:ignore_noninstrumented_modules=1
race_tests=(test_core_search test_core_lister test_core_run test_core_files test_core_text
    test_window_keyboard test_window_mouse test_window_results test_window_states
    test_window_corners test_window_entry_actions test_about)
cmake -S "$top" -B "$top/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTROVAN_TSAN=ON \
    -DTROVAN_TEST_SUITES=ON
cmake --build "$top/build-tsan" --target "${race_tests[@]}"
ctest --test-dir "$top/build-tsan" --output-on-failure -j "$jobs" \
    -R "^($(IFS='|'; echo "${race_tests[*]}"))\$"
unset TSAN_OPTIONS

# Short fuzzing runs of the text splitter and the pattern matcher.
bash "$top/fuzz/run-fuzz.sh" 10
echo "build-and-test: everything passed in $((SECONDS - started)) s"
