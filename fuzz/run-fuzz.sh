#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a short while on its starting corpus
# (fuzz/corpus/<target>). New inputs go to the build folder, never into the repository.
# Usage: run-fuzz.sh [seconds per target, default 25; 0 only builds]. Skips, with a note, when
# clang cannot build libFuzzer targets here.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build="$top/build-fuzz"
seconds=${1:-25}

if ! command -v clang++ >/dev/null ||
    ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
        clang++ -x c++ -fsanitize=fuzzer - -o /dev/null 2>/dev/null; then
    echo "fuzz: clang++ with -fsanitize=fuzzer is not available; fuzzing skipped"
    exit 0
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build"
((seconds > 0)) || exit 0

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# Both targets at once, one a core: the fuzzing takes the time of one.
fuzz() { # TARGET
    local target=$1 scratch="$build/corpus-$1"
    mkdir -p "$scratch"
    "$build/fuzz_$target" -max_total_time="$seconds" -max_len=512 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$build/crash-$target-" \
        "$scratch" "$here/corpus/$target" 2>"$build/fuzz_$target.log"
}
targets=(split pattern)
pids=()
for target in "${targets[@]}"; do
    echo "fuzz: $target for ${seconds}s"
    fuzz "$target" &
    pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
    target=${targets[$i]}
    if ! wait "${pids[$i]}"; then
        tail -n 40 "$build/fuzz_$target.log"
        echo "fuzz: $target failed; the input is in $build/crash-$target-*"
        failed=1
        continue
    fi
    grep -E '^stat::number_of_executed_runs|^Done' "$build/fuzz_$target.log" || true
done
exit $failed
