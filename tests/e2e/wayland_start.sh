#!/usr/bin/env bash
# Trovan on a Wayland desktop, natively rather than through XWayland: started as a Wayland
# session starts programs (WAYLAND_DISPLAY and XDG_SESSION_TYPE=wayland, no X display, no
# QT_QPA_PLATFORM) under Weston's headless compositor, which runs no X server. Qt has to pick its
# Wayland platform plugin (qt6-wayland). The compositor's own account of its windows (Weston's
# debug protocol, `weston-debug scene-graph`) must show the main window mapped as an xdg-shell
# top-level of this process, titled Trovan, with the desktop entry's name as its application id
# and its designed client area of 422 x 348; and the program must print nothing.
#
# Skips (77) only where no Wayland compositor can run: weston is missing or does not start.
#
# Usage: wayland_start.sh PROGRAM
set -euo pipefail

program=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/trovan-wayland.XXXXXX")
started=()
finish() {
    local status=$? pid
    for pid in "${started[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
    exit "$status"
}
trap finish EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

step() { echo "-- $*"; }
fail() {
    echo "FAILED: $*" >&2
    if [ -s "$work/program.log" ]; then
        echo "The program printed:" >&2
        sed 's/^/  /' "$work/program.log" >&2
    fi
    exit 1
}
skip() {
    echo "SKIPPED: $*" >&2
    exit 77
}
# Started processes get SIGKILL when this script dies without running its traps.
tied=()
setpriv --pdeathsig KILL true 2>/dev/null && tied=(setpriv --pdeathsig KILL)

command -v weston >/dev/null ||
    skip "no Wayland compositor can run: weston is not installed" \
        "(scripts/install-deps.sh installs it)"
runtime="$work/runtime"
mkdir -m 700 "$runtime"
mkdir "$work/home"
socket=trovan-wayland

step "start weston, headless"
# --debug offers the debug protocol that weston-debug reads the scene graph through.
"${tied[@]}" env -i HOME="$work/home" PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$runtime" \
    weston --backend=headless-backend.so --socket="$socket" --no-config --idle-time=0 --debug \
    --log="$work/weston.log" >"$work/weston.out" 2>&1 &
weston_pid=$!
started+=("$weston_pid")
for _ in $(seq 100); do
    [ -S "$runtime/$socket" ] && break
    kill -0 "$weston_pid" 2>/dev/null ||
        skip "no Wayland compositor can run: weston ended at once: $(tail -n 3 "$work/weston.log")"
    sleep 0.1
done
[ -S "$runtime/$socket" ] || skip "no Wayland compositor can run: weston made no socket in 10 s"

# scene_graph: what the compositor shows, one dump.
scene_graph() {
    env XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" timeout 10 \
        weston-debug scene-graph 2>"$work/weston-debug.err"
}
scene_graph >"$work/scene" ||
    fail "weston-debug cannot read the scene graph: $(cat "$work/weston-debug.err")"

step "start trovan as a Wayland session would"
sanitizers=()
[ -z "${ASAN_OPTIONS:-}" ] || sanitizers+=(ASAN_OPTIONS="$ASAN_OPTIONS")
[ -z "${UBSAN_OPTIONS:-}" ] || sanitizers+=(UBSAN_OPTIONS="$UBSAN_OPTIONS")
"${tied[@]}" env -i HOME="$work/home" PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$runtime" \
    WAYLAND_DISPLAY="$socket" XDG_SESSION_TYPE=wayland LANG=C.UTF-8 "${sanitizers[@]}" \
    "$program" "$work/home" >"$work/program.log" 2>&1 &
program_pid=$!
started+=("$program_pid")

step "its main window is mapped, natively"
# A view's line: "View 0 (role xdg_toplevel, PID 123, surface ID 7, top-level window 'Trovan'
# of trovan, 0x...)", followed by its position and its opaque region.
window="role xdg_toplevel, PID $program_pid, .*top-level window 'Trovan' of trovan,"
mapped=""
for _ in $(seq 150); do
    kill -0 "$program_pid" 2>/dev/null || fail "the program ended before its window was mapped"
    scene_graph >"$work/scene" || fail "weston-debug: $(cat "$work/weston-debug.err")"
    if grep -q "$window" "$work/scene"; then
        mapped=yes
        break
    fi
    sleep 0.2
done
[ -n "$mapped" ] || {
    sed 's/^/  /' "$work/scene" >&2
    fail "no top-level window 'Trovan' of trovan from process $program_pid in 30 s"
}
# Qt draws the frame itself and marks only the window's contents opaque.
corners='\[opaque: (\([0-9]*\), \([0-9]*\)) -> (\([0-9]*\), \([0-9]*\))\]'
opaque=$(grep -A 3 "$window" "$work/scene" | sed -n "s/.*$corners.*/\\3-\\1 \\4-\\2/p")
[ -n "$opaque" ] || fail "the window shows no opaque contents: $(grep -A 3 "$window" "$work/scene")"
read -r width height <<<"$opaque"
width=$((width))
height=$((height))
[ "$width" = 422 ] && [ "$height" = 348 ] ||
    fail "the main window's contents are ${width}x$height, not 422x348"

step "nothing printed"
# Once more through the compositor, so that whatever the program does after mapping has come.
scene_graph >/dev/null || fail "weston-debug: $(cat "$work/weston-debug.err")"
kill -0 "$program_pid" 2>/dev/null || fail "the program ended after its window was mapped"
[ ! -s "$work/program.log" ] || fail "the program printed warnings on Wayland"
echo "PASSED"
