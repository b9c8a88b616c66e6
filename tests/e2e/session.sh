#!/usr/bin/env bash
# The program on a real X server under openbox, in a session: a stand-in session manager
# (session_standin, XSMP through libSM, as the X11 desktops' managers speak it) asks it to save.
# At a checkpoint it writes setup.ini with the folder last searched and goes on; at a logout it
# writes it and goes on until the manager says to die, when it ends with status 0, every window
# gone, setup.ini written as the close box writes it. Skips (77) only when no X server can be
# started.
#
# Usage: session.sh PATH-TO-TROVAN PATH-TO-SESSION-STANDIN
set -euo pipefail

binary=$1
standin=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/trovan-e2e.XXXXXX")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
manager_pid=""
xsession_cleanup() {
    [ -z "$manager_pid" ] || kill "$manager_pid" 2>/dev/null || true
    exec 3>&- 2>/dev/null || true
}
xsession_start
xsession_window_manager

# The manager reads its commands from a FIFO held open here.
mkfifo "$work/commands"
"${xsession_tied[@]}" "$standin" <"$work/commands" >"$work/manager.log" 2>&1 &
manager_pid=$!
exec 3>"$work/commands"
said() { # said TEXT [COUNT] [SECONDS]: waits until the manager has printed TEXT COUNT times
    local count=${2:-1} seconds=${3:-10}
    for _ in $(seq $((seconds * 10))); do
        [ "$(grep -cx -- "$1" "$work/manager.log")" -ge "$count" ] && return 0
        sleep 0.1
    done
    return 1
}
for _ in $(seq 50); do
    grep -q '^SESSION_MANAGER=' "$work/manager.log" && break
    sleep 0.1
done
address=$(sed -n 's/^SESSION_MANAGER=//p' "$work/manager.log")
[ -n "$address" ] || fail "the session manager stand-in named no address: $(cat "$work/manager.log")"

start="$work/Start"
mkdir "$start"
touch "$start/alfa.txt"
program="$work/Program"
mkdir "$program"
cp "$binary" "$program/trovan"
printf '%s\r\n' "$start" >"$program/setup.ini"

step "start the program in the session"
xsession_launch /usr/local/bin:/usr/bin:/bin env SESSION_MANAGER="$address" "$program/trovan"
main=$(window_named Trovan 30) || fail "the main window \"Trovan\" did not appear"
said registered || fail "the program did not register with the session manager"
rm "$program/setup.ini"
window_settled "$main" >/dev/null || fail "the window did not settle after it appeared"
heading=$(window_region "$main" 250x28+0+0)
keys "$main" alt+s
region_changed "$main" 250x28+0+0 "$heading" 20 || fail "Alt+S did not show the result panel"

expect_setup() {
    printf '%s\r\n' "$start" >"$work/expected-setup"
    cmp "$work/expected-setup" "$program/setup.ini" || {
        od -c "$program/setup.ini" >&2 || true
        fail "$1: setup.ini does not name the start folder on one CR LF line"
    }
}

step "a checkpoint: the folder is kept, the program goes on"
echo checkpoint >&3
said "save-done 1" || fail "the program did not answer the checkpoint"
expect_setup "at a checkpoint"
rm "$program/setup.ini"
window_named Trovan 1 >/dev/null || fail "the main window went at a checkpoint"
kill -0 "$program_pid" || fail "the program ended at a checkpoint"

step "a logout: the folder is kept before the answer"
echo logout >&3
said "save-done 1" 2 || fail "the program did not answer the logout"
expect_setup "at a logout"
rm "$program/setup.ini"

step "die: the program ends as by its close box"
echo die >&3
program_ended "$program_pid" 10 || fail "the program still runs 10 s after \"die\""
[ "$program_status" = 0 ] || fail "the program ended with status $program_status"
window_gone Trovan 5 || fail "the main window stayed after \"die\""
expect_setup "after die"
echo "PASSED"
