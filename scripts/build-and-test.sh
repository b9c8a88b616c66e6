#!/usr/bin/env bash
# Installs what is missing, builds Trovan and runs every test: the ordinary build, then a
# second build of the tests under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
jobs=$(nproc)

cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$top/build"
ctest --test-dir "$top/build" --output-on-failure -j "$jobs"

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer: any report ends
# the test that made it with a failure.
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:check_initialization_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
cmake -S "$top" -B "$top/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTROVAN_SANITIZE=ON
cmake --build "$top/build-asan"
ctest --test-dir "$top/build-asan" --output-on-failure -j "$jobs"

# Short fuzzing runs of the text splitter and the pattern matcher, 25 seconds each.
bash "$top/fuzz/run-fuzz.sh" 25
