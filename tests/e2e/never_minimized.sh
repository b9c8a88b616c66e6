#!/usr/bin/env bash
# The program's windows under openbox, which offers a minimize button on every window whatever
# the window asks: the main window, the message boxes and the about window ask for neither a
# minimize nor a maximize button, and one minimized anyway (as the button or a taskbar does,
# with the window manager's own request) is back on the screen at once; a message box comes
# back with the main window that openbox minimized together with it. Skips (77) only when no
# X server can be started.
#
# Usage: never_minimized.sh PATH-TO-TROVAN
set -euo pipefail

binary=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/trovan-e2e.XXXXXX")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
xsession_start
xsession_window_manager

program="$work/Program"
mkdir "$program" "$work/Start"
cp "$binary" "$program/trovan"

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

# stays_unminimized WINDOW NAME [OTHER...]: minimizes the window as a window manager's button
# does; it, and the other windows named, are shown again.
stays_unminimized() {
    local window=$1 name=$2 other
    shift 2
    xdotool windowminimize "$window"
    viewable "$window" || fail "$name stayed minimized"
    for other in "$@"; do
        viewable "$other" || fail "the main window stayed minimized with $name"
    done
}

step "start the program"
xsession_launch /usr/local/bin:/usr/bin:/bin "$program/trovan" "$work/Start"
main=$(window_named Trovan 30) || fail "the main window \"Trovan\" did not appear"
viewable "$main" || fail "the main window is not shown"
asks_for_no_minimize "$main" "the main window"
stays_unminimized "$main" "the main window"

step "the question \"Avsluta programmet?\""
keys "$main" alt+v
question=$(window_named 'Avsluta\?' 10) || fail "Alt+V asked nothing"
viewable "$question" || fail "the question is not shown"
asks_for_no_minimize "$question" "the question"
stays_unminimized "$question" "the question" "$main"
keys "$question" Escape
window_gone 'Avsluta\?' 10 || fail "the question stayed after Esc"

step "the about window"
# The focus is on "&Sök"; "Om..." is the fourth control after it.
keys "$main" Tab Tab Tab Tab Return
about=$(window_named 'Om\.\.\.' 10) || fail "Enter on \"Om...\" showed no about window"
viewable "$about" || fail "the about window is not shown"
asks_for_no_minimize "$about" "the about window"
stays_unminimized "$about" "the about window" "$main"
keys "$about" Escape
window_gone 'Om\.\.\.' 10 || fail "the about window stayed after Esc"

step "leave"
keys "$main" alt+v
question=$(window_named 'Avsluta\?' 10) || fail "Alt+V asked nothing the second time"
keys "$question" Return
program_ended "$program_pid" 20 || fail "the program did not end after Yes"
[ "$program_status" = 0 ] || fail "the program ended with status $program_status"
echo "PASSED"
