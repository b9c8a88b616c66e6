# shellcheck shell=bash disable=SC2154,SC2034  # `work` is the caller's, `program_*` are for it
# Drives Trovan on a real X server (Xvfb) from outside, with keys and clicks sent by xdotool,
# as a person would. Sourced by the end-to-end tests and by scripts/screenshots.sh.
#
# The caller sets `work` to a fresh temporary folder and calls xsession_start. At exit, also
# on a failure or a signal, xsession_stop ends every process started here, the X server last,
# and removes `work`; a process whose caller was killed outright is killed with it. Nothing
# here reads the caller's own DISPLAY.
#
# By default there is no window manager, so windows are found by their title and focused
# directly: `xdotool windowactivate` would fail. xsession_window_manager starts openbox, for a
# test that wants the program as a desktop shows it, with frames and placement. A caller's
# function xsession_cleanup, when defined, runs at exit once the programs have ended.

xsession_display=""
xsession_server_pid=""
xsession_window_manager_pid=""
xsession_program_pids=()
program_pid=""

step() { echo "-- $*"; }

# Stops with a failure, describing what the screen shows and what the program printed.
fail() {
    echo "FAILED: $*" >&2
    if [ -n "$xsession_display" ]; then
        echo "Windows on the screen:" >&2
        local id
        for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
            echo "  $id \"$(xdotool getwindowname "$id" 2>/dev/null)\"" >&2
        done
    fi
    if [ -s "$work/program.log" ]; then
        echo "The program printed:" >&2
        sed 's/^/  /' "$work/program.log" >&2
    fi
    exit 1
}

# ctest counts exit code 77 as skipped.
skip() {
    echo "SKIPPED: $*" >&2
    exit 77
}

# Started processes get SIGKILL when the script itself dies without running its traps.
xsession_tied=()
setpriv --pdeathsig KILL true 2>/dev/null && xsession_tied=(setpriv --pdeathsig KILL)

xsession_start() {
    trap xsession_stop EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
    command -v Xvfb >/dev/null ||
        skip "no X server can be started: Xvfb is not installed (scripts/install-deps.sh installs it)"
    command -v xdotool >/dev/null ||
        fail "xdotool is not installed (scripts/install-deps.sh installs it)"
    # The server picks a free display itself and writes its number to fd 3.
    : >"$work/display"
    "${xsession_tied[@]}" Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
        3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xsession_server_pid=$!
    for _ in $(seq 100); do
        grep -qx '[0-9][0-9]*' "$work/display" && break
        kill -0 "$xsession_server_pid" 2>/dev/null ||
            skip "no X server can be started: Xvfb ended at once: $(tail -n 3 "$work/xvfb.log")"
        sleep 0.1
    done
    grep -qx '[0-9][0-9]*' "$work/display" ||
        skip "no X server can be started: Xvfb named no display within 10 s"
    xsession_display=":$(cat "$work/display")"
    export DISPLAY="$xsession_display"
    xdotool getdisplaygeometry >/dev/null || skip "no X server can be started on $DISPLAY"
    mkdir -m 700 "$work/runtime"
    mkdir "$work/home"
}

# xsession_window_manager: starts openbox on our display and waits until it manages windows.
xsession_window_manager() {
    command -v openbox >/dev/null ||
        fail "openbox is not installed (scripts/install-deps.sh installs it)"
    "${xsession_tied[@]}" env -i HOME="$work/home" PATH=/usr/local/bin:/usr/bin:/bin \
        DISPLAY="$xsession_display" openbox --sm-disable >"$work/openbox.log" 2>&1 &
    xsession_window_manager_pid=$!
    # openbox announces the desktops once it has taken over the screen.
    for _ in $(seq 100); do
        xdotool get_num_desktops >/dev/null 2>&1 && return 0
        kill -0 "$xsession_window_manager_pid" 2>/dev/null ||
            fail "openbox ended at once: $(tail -n 3 "$work/openbox.log")"
        sleep 0.1
    done
    fail "openbox did not take over the screen within 10 s"
}

xsession_stop() {
    local status=$?
    local pid
    for pid in "${xsession_program_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${xsession_program_pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    if declare -F xsession_cleanup >/dev/null; then
        xsession_cleanup || status=1
    fi
    if [ -n "$xsession_window_manager_pid" ]; then
        kill "$xsession_window_manager_pid" 2>/dev/null || true
        wait "$xsession_window_manager_pid" 2>/dev/null || true
    fi
    if [ -n "$xsession_server_pid" ]; then
        kill "$xsession_server_pid" 2>/dev/null || true
        wait "$xsession_server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
    exit "$status"
}

# xsession_launch PATH COMMAND...: starts COMMAND on our display with a clean environment of
# its own and PATH as given; its process id is left in `program_pid`. Sanitizer options pass
# through, so that a sanitized build reports as strictly here as in the other tests.
xsession_launch() {
    local path=$1
    shift
    local sanitizers=()
    [ -z "${ASAN_OPTIONS:-}" ] || sanitizers+=(ASAN_OPTIONS="$ASAN_OPTIONS")
    [ -z "${UBSAN_OPTIONS:-}" ] || sanitizers+=(UBSAN_OPTIONS="$UBSAN_OPTIONS")
    "${xsession_tied[@]}" env -i HOME="$work/home" PATH="$path" DISPLAY="$xsession_display" \
        XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 "${sanitizers[@]}" \
        "$@" >"$work/program.log" 2>&1 &
    program_pid=$!
    xsession_program_pids+=("$program_pid")
}

# xsession_forget PID: the process has ended and been waited for; xsession_stop leaves it alone.
xsession_forget() {
    local kept=() pid
    for pid in "${xsession_program_pids[@]}"; do
        [ "$pid" = "$1" ] || kept+=("$pid")
    done
    xsession_program_pids=("${kept[@]}")
}

# window_named TITLE-REGEX [SECONDS]: prints the id of the visible window whose whole title
# matches, waiting for it to appear; fails when it does not.
window_named() {
    local title=$1 seconds=${2:-20} id
    for _ in $(seq $((seconds * 10))); do
        id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1) || true
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# window_gone TITLE-REGEX [SECONDS]: waits until no visible window has this title.
window_gone() {
    local title=$1 seconds=${2:-20}
    for _ in $(seq $((seconds * 10))); do
        xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
}

# click WINDOW X Y: a left click at X,Y pixels inside the window's client area.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

# keys WINDOW KEY...: gives the window the keyboard focus and presses the keys one by one.
keys() {
    local window=$1
    shift
    xdotool windowfocus "$window"
    xdotool key --delay 40 "$@"
}

# typed WINDOW TEXT: types the text into the window's focused control.
typed() {
    xdotool windowfocus "$1"
    xdotool type --delay 40 "$2"
}

# window_picture WINDOW: a checksum of what the window shows now.
window_picture() {
    xwd -silent -id "$1" | md5sum | cut -d ' ' -f 1
}

# window_region WINDOW GEOMETRY: a checksum of what the window shows now in the part that
# GEOMETRY (WxH+X+Y) names.
window_region() {
    xwd -silent -id "$1" | convert xwd:- -crop "$2" +repage rgb:- | md5sum | cut -d ' ' -f 1
}

# region_changed WINDOW GEOMETRY CHECKSUM [SECONDS]: waits until that part of the window
# shows something else than the checksum describes.
region_changed() {
    local seconds=${4:-20}
    for _ in $(seq $((seconds * 5))); do
        [ "$(window_region "$1" "$2")" = "$3" ] || return 0
        sleep 0.2
    done
    return 1
}

# window_settled WINDOW: waits until the window has shown the same picture for half a second
# and prints its checksum.
window_settled() {
    local last="" now same=0
    for _ in $(seq 100); do
        now=$(window_picture "$1")
        if [ "$now" = "$last" ]; then
            same=$((same + 1))
            if [ "$same" -ge 5 ]; then
                echo "$now"
                return 0
            fi
        else
            same=0
        fi
        last=$now
        sleep 0.1
    done
    return 1
}

# program_ended PID [SECONDS]: waits for the process to end and leaves its exit status in
# `program_status`; fails when it still runs after SECONDS. Called directly, never in $(...):
# only this shell, its parent, can wait for it.
program_status=""
program_ended() {
    local pid=$1 seconds=${2:-20}
    for _ in $(seq $((seconds * 10))); do
        # The state follows the command's name in parentheses; Z is ended, not yet waited for.
        case "$(sed 's/.*) //' "/proc/$pid/stat" 2>/dev/null | cut -d ' ' -f 1)" in
        "" | Z)
            program_status=0
            wait "$pid" || program_status=$?
            xsession_forget "$pid"
            return 0
            ;;
        esac
        sleep 0.1
    done
    return 1
}
