#!/usr/bin/env bash
# The program's command line as a shell meets it: answers on standard output, complaints on
# standard error with status 2 (an unknown option, a second folder), a failed write of an
# answer an error, no display one Swedish line and status 1, Qt's own options taken and handed
# to Qt, "--" ending the options, and a folder that cannot be opened named on standard error,
# byte for byte, while the window starts all the same.
#
# Usage: command_line.sh PATH-TO-TROVAN
set -euo pipefail

binary=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/trovan-command-line.XXXXXX")
started=()
cleanup() {
    local pid
    for pid in "${started[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*" >&2
    for file in "$work"/out "$work"/err; do
        [ -s "$file" ] && { echo "${file##*/}:" >&2; sed 's/^/  /' "$file" >&2; }
    done
    exit 1
}

# A program folder of its own, so that nothing is read or written beside the build.
mkdir "$work/Program" "$work/runtime"
chmod 700 "$work/runtime"
cp "$binary" "$work/Program/trovan"
trovan=$work/Program/trovan
cd "$work"

# run ARGUMENT...: runs the program without a display; its status in `status`.
run() {
    status=0
    QT_QPA_PLATFORM=none "$trovan" "$@" >"$work/out" 2>"$work/err" || status=$?
}

echo "-- an unknown option: refused on standard error with status 2"
run -x
[ "$status" = 2 ] || fail "trovan -x ended with status $status, not 2"
[ ! -s "$work/out" ] || fail "trovan -x wrote on standard output"
grep -q '^trovan: okänd flagga: -x$' "$work/err" || fail "trovan -x did not name -x on standard error"
run -style
[ "$status" = 2 ] || fail "trovan -style without a value ended with status $status, not 2"

echo "-- a second folder is refused the same way, before any window"
mkdir "$work/A" "$work/B"
for folders in "A B" "A -- B" "-- A B"; do
    # shellcheck disable=SC2086  # the folders and "--" as separate arguments
    run $folders
    [ "$status" = 2 ] || fail "trovan $folders ended with status $status, not 2"
    grep -q '^trovan: för många mappar: B$' "$work/err" ||
        fail "trovan $folders did not name the second folder on standard error"
    [ ! -s "$work/out" ] || fail "trovan $folders wrote on standard output"
done

# no_display ENVIRONMENT... -- ARGUMENT...: the window cannot be shown: one Swedish line on
# standard error, status 1, no abort and so no core dump, nothing of Qt's own.
no_display() {
    local environment=()
    while [ "$1" != -- ]; do
        environment+=("$1")
        shift
    done
    shift
    status=0
    env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work/runtime" \
        "${environment[@]}" "$trovan" "$@" >"$work/out" 2>"$work/err" || status=$?
    [ "$status" = 1 ] || fail "without a display (${environment[*]} $*) the status was $status, not 1"
    [ "$(wc -l <"$work/err")" = 1 ] || fail "without a display (${environment[*]} $*) standard error is not one line"
    [ ! -s "$work/out" ] || fail "without a display (${environment[*]} $*) standard output is not empty"
}
echo "-- no display at all"
no_display --
grep -qx 'trovan: ingen skärm att visa fönstret på (varken DISPLAY eller WAYLAND_DISPLAY är satt)' \
    "$work/err" || fail "without DISPLAY and WAYLAND_DISPLAY the line was not the Swedish one"
echo "-- a display that cannot be opened, X or Wayland"
no_display DISPLAY=:9753 --
grep -qx 'trovan: skärmen kan inte öppnas (DISPLAY=:9753)' "$work/err" ||
    fail "with a display that cannot be opened the line was not the Swedish one"
no_display WAYLAND_DISPLAY=trovan-ingen-skarm --
grep -qx 'trovan: skärmen kan inte öppnas (WAYLAND_DISPLAY=trovan-ingen-skarm)' "$work/err" ||
    fail "with a Wayland display that cannot be opened the line was not the Swedish one"
no_display -- -display :9753
grep -qx 'trovan: skärmen kan inte öppnas (DISPLAY=:9753)' "$work/err" ||
    fail "with -display :9753 the line was not the Swedish one"

echo "-- an answer that cannot be written is an error"
status=0
QT_QPA_PLATFORM=none "$trovan" --version >/dev/full 2>"$work/err" || status=$?
[ "$status" = 1 ] || fail "trovan --version >/dev/full ended with status $status, not 1"
grep -q 'kan inte skriva' "$work/err" || fail "trovan --version >/dev/full said nothing on standard error"

echo "-- Qt's own options are taken, with one dash or two"
for options in "-style Fusion" "--style=Fusion" "-display :1" "-platform offscreen" "-reverse"; do
    # shellcheck disable=SC2086  # an option and its value
    run $options --version
    if [ "$status" != 0 ] || [ "$(cat "$work/out")" != "Trovan 1.1" ]; then
        fail "trovan $options --version ended with status $status"
    fi
done

# start NAME ARGUMENT...: starts the program on the offscreen platform, which only the
# command line names, and waits until Qt has loaded that platform and the program has said
# on standard error what it says; its process id is left in `pid`.
start() {
    local said=$1
    shift
    env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work/runtime" \
        "$trovan" "$@" >"$work/out" 2>"$work/err" &
    pid=$!
    started+=("$pid")
    for _ in $(seq 200); do
        if grep -qF -- "$said" "$work/err" && grep -q libqoffscreen "/proc/$pid/maps" 2>/dev/null; then
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || fail "trovan $* ended instead of starting its window"
        sleep 0.1
    done
    fail "trovan $* did not start on the offscreen platform saying \"$said\" within 20 s"
}

echo "-- a missing folder is named on standard error; the window starts on the saved one"
start "trovan: kan inte öppna mappen: Sökvägen hittades inte: $work/saknas" \
    -platform offscreen saknas
kill "$pid"

echo "-- \"--\" ends the options: what follows is a folder"
start "Sökvägen hittades inte: $work/-x" -platform offscreen -- -x
grep -q 'okänd flagga' "$work/err" && fail "trovan -- -x refused -x as an option"
kill "$pid"

echo "-- a folder named in bytes that are not UTF-8 reaches the program byte for byte"
start "Sökvägen hittades inte: $work/"$'\xff\xfe'"-mapp" -platform offscreen $'\xff\xfe-mapp'
kill "$pid"

echo "-- a path longer than the system takes"
long=$work$(printf '/%0200d' $(seq 21))
start "Sökvägen är för lång: $long" --platform offscreen "$long"
kill "$pid"
echo "PASSED"
