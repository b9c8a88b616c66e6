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
