#!/usr/bin/env bash
# The program's windows under openbox, which offers a minimize button on every window whatever
# the window asks: the main window, the message boxes and the about window ask for neither a
# minimize nor a maximize button, and one minimized anyway (as the button or a taskbar does,
# with the window manager's own request) stays minimized until the person restores it, then
# shows and answers again. A question or the about window goes with the main window, which
# openbox minimizes together with it, and comes back with it: no window of the program is left
# on the screen blocked by one that is not. Skips (77) only when no X server can be started.
#
# Usage: stays_minimized.sh PATH-TO-TROVAN
set -euo pipefail

binary=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/trovan-e2e.XXXXXX")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
xsession_start
xsession_window_manager
command -v xclip >/dev/null || fail "xclip is not installed (scripts/install-deps.sh installs it)"

program="$work/Program"
mkdir "$program" "$work/Start"
cp "$binary" "$program/trovan"
touch "$work/Start/a.txt"

# asks_for_no_minimize WINDOW NAME: the window's Motif hints name neither button nor function,
# and openbox, which reads its fixed size, offers no maximize.
asks_for_no_minimize() {
    local hints
    hints=$(xprop -id "$1" _MOTIF_WM_HINTS | sed 's/.*= //')
    IFS=', ' read -r flags functions decorations _ <<<"$hints"
    [ $((flags & 3)) = 3 ] || fail "$2 sets no Motif functions and decorations: $hints"
    # Functions: minimize 8, maximize 16; decorations: minimize 32, maximize 64.
    [ $((functions & 24)) = 0 ] || fail "$2 asks for minimize or maximize: $hints"
    [ $((decorations & 96)) = 0 ] || fail "$2 asks for a minimize or maximize button: $hints"
    xprop -id "$1" _NET_WM_ALLOWED_ACTIONS | grep -q MAXIMIZE &&
        fail "openbox lets $2 be maximized"
    return 0
}

# viewable WINDOW: waits until the window is mapped and shown.
viewable() {
    for _ in $(seq 100); do
        xwininfo -id "$1" | grep -q 'Map State: IsViewable' && return 0
        sleep 0.1
    done
    return 1
}

# minimized WINDOW: whether the window is minimized now: iconic, and not shown.
minimized() {
    xprop -id "$1" WM_STATE | grep -q 'window state: Iconic' &&
        ! xwininfo -id "$1" | grep -q 'Map State: IsViewable'
}

# openbox_round_trip: returns once openbox has handled every request made before it. It handles
# them in order, and a change to the number of desktops shows on the root window.
openbox_round_trip() {
    local desktops changed
    desktops=$(xdotool get_num_desktops)
    for changed in $((desktops + 1)) "$desktops"; do
        xdotool set_num_desktops "$changed"
        for _ in $(seq 100); do
            [ "$(xdotool get_num_desktops)" = "$changed" ] && continue 2
            sleep 0.05
        done
        fail "openbox did not change the number of desktops"
    done
}

# program_round_trips: returns once the program has handled the X events that came before,
# and passed through its event loop a few times since: each read of the clipboard it owns is
# answered from its event loop, after the events before the request.
program_round_trips() {
    for _ in 1 2 3; do
        [ "$(timeout 10 xclip -o -selection clipboard)" = "$work/Start/a.txt" ] ||
            fail "the program did not answer for its clipboard"
    done
}

# stays_minimized WINDOW NAME [OTHER...]: minimizes the window as a window manager's button
# does. It, and the other windows named with it, are minimized at once and stay so once the
# program has seen it happen and openbox has handled whatever the program asked of it.
stays_minimized() {
    local window=$1 name=$2 other
    shift 2
    xdotool windowminimize "$window"
    openbox_round_trip
    minimized "$window" || fail "$name was not minimized, or came back at once"
    program_round_trips
    openbox_round_trip
    minimized "$window" || fail "$name did not stay minimized"
    for other in "$@"; do
        minimized "$other" || fail "the main window was left on the screen without $name"
    done
}

# place WINDOW: where the window's top left corner is on the screen.
place() {
    xwininfo -id "$1" | sed -n 's/.*Absolute upper-left [XY]: *//p' | tr '\n' ' '
}

# restored WINDOW...: the main window restored as a taskbar does it (the first WINDOW); every
# window named is shown again, and the main window is back where it was once openbox's restore
# animation, which moves its frame from the taskbar's corner for a moment, has played.
restored() {
    xdotool windowactivate "$1"
    local window
    for window in "$@"; do
        viewable "$window" || fail "window $window did not come back with the main window"
    done
    for _ in $(seq 100); do
        [ "$(place "$1")" = "$main_place" ] && return 0
        sleep 0.05
    done
    fail "the main window came back at $(place "$1"), not where it was: $main_place"
}

step "start the program, search and copy the entry: the clipboard is the program's"
xsession_launch /usr/local/bin:/usr/bin:/bin "$program/trovan" "$work/Start"
main=$(window_named Trovan 30) || fail "the main window \"Trovan\" did not appear"
viewable "$main" || fail "the main window is not shown"
asks_for_no_minimize "$main" "the main window"
heading=$(window_region "$main" 250x28+0+0)
keys "$main" Return
region_changed "$main" 250x28+0+0 "$heading" 20 || fail "Enter did not show the results"
window_settled "$main" >/dev/null || fail "the window did not settle after the search"
main_place=$(place "$main")
click "$main" 60 31 # the entry
keys "$main" ctrl+c
program_round_trips

step "the main window minimized stays so until restored, then answers"
stays_minimized "$main" "the main window"
restored "$main"
keys "$main" alt+v
question=$(window_named 'Avsluta\?' 10) || fail "Alt+V asked nothing after the main window came back"

step "the question \"Avsluta programmet?\" minimized goes with the main window, and comes back with it"
viewable "$question" || fail "the question is not shown"
asks_for_no_minimize "$question" "the question"
stays_minimized "$question" "the question" "$main"
restored "$main" "$question"
keys "$question" Escape
window_gone 'Avsluta\?' 10 || fail "the question stayed after Esc"

step "the about window minimized with the main window comes back with it"
# The main window takes clicks again once the program has handled the question's end.
program_round_trips
click "$main" 375 320 # "Om..."
about=$(window_named 'Om\.\.\.' 10) || fail "a click on \"Om...\" showed no about window"
viewable "$about" || fail "the about window is not shown"
asks_for_no_minimize "$about" "the about window"
stays_minimized "$main" "the main window" "$about"
restored "$main" "$about"
keys "$about" Escape
window_gone 'Om\.\.\.' 10 || fail "the about window stayed after Esc"

step "leave"
keys "$main" alt+v
question=$(window_named 'Avsluta\?' 10) || fail "Alt+V asked nothing the second time"
keys "$question" Return
program_ended "$program_pid" 20 || fail "the program did not end after Yes"
[ "$program_status" = 0 ] || fail "the program ended with status $program_status"
echo "PASSED"
