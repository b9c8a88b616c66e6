#!/usr/bin/env bash
# The program binary on a real X server under a window manager, searching into a folder whose
# listing never answers (a stallfs mirror standing in for a hung network share). Two ways out:
#
#   close   the close box (Alt+F4 to openbox) ends it within 2 s with status 0;
#   term    SIGTERM, as at a logout or from `kill`, does the same;
#   leave   on a share that keeps even a killed caller waiting (a host that is gone), "A&vsluta"
#           and "Ja" take every window of the program off the screen within 2 s, although the
#           process cannot end until the share answers.
#
# Either way setup.ini names the start folder. Skips (77) only when no X server can be started
# or FUSE cannot be used.
#
# Usage: blocked_close.sh close|term|leave PATH-TO-TROVAN
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --mounted ]; then
    mode=$1
    binary=$2
    base=$(mktemp -d "${TMPDIR:-/tmp}/trovan-e2e-blocked.XXXXXX")
    # Removed only once unmounted: the stalled folder would hang the removal.
    trap 'findmnt --kernel -n -o TARGET | grep -qF "$base/" || rm -rf "$base"' EXIT
    # Walked as zeta, then stall, where it waits for ever.
    mkdir -p "$base/src/Start/stall" "$base/src/Start/zeta"
    touch "$base/src/Start/stall/s.txt" "$base/src/Start/zeta/z.txt" "$base/src/Start/r.txt"
    chmod -R a+rX "$base"
    options=(--release "$base/release")
    [ "$mode" = leave ] && options+=(--ignore-kill)
    status=0
    "$here/../fuse/with-stallfs.sh" "${options[@]}" "$base/src" "$base/mnt" -- \
        bash "$0" --mounted "$mode" "$binary" "$base/mnt/Start" "$base/release" || status=$?
    exit "$status"
fi

mode=$2
binary=$3
start=$4
release=$5
work=$(mktemp -d "${TMPDIR:-/tmp}/trovan-e2e.XXXXXX")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
xsession_start
# At the end the stalled read is let go, so that a program held by it can end and be waited for.
trap 'status=$?; touch "$release"; (exit $status); xsession_stop' EXIT
xsession_window_manager

program="$work/Program"
mkdir "$program"
cp "$binary" "$program/trovan"
printf '%s\r\n' "$start" >"$program/setup.ini"

step "start the program on $DISPLAY with the start folder on the mirror"
xsession_launch /usr/local/bin:/usr/bin:/bin "$program/trovan"
main=$(window_named Trovan 30) || fail "the main window \"Trovan\" did not appear"
rm "$program/setup.ini"
# The saved folder shows once it has been read: the folder list's picture settles after that.
window_settled "$main" >/dev/null || fail "the window did not settle after it appeared"

step "tick \"Inkludera undermappar\" and search with Alt+S"
heading=$(window_region "$main" 250x28+0+0)
click "$main" 320 64 # the check box: 129x17 at 256,56
keys "$main" alt+s
region_changed "$main" 250x28+0+0 "$heading" 20 || fail "Alt+S did not show the result panel"
# The walk lists zeta, then one of the program's threads waits in stall's listing for ever.
waits_in_fuse() { grep -qx request_wait_answer /proc/"$program_pid"/task/*/wchan 2>/dev/null; }
for _ in $(seq 50); do
    waits_in_fuse && break
    sleep 0.1
done
waits_in_fuse || fail "no thread of the program waits in the stalled folder's listing"

if [ "$mode" = close ]; then
    step "close the window with Alt+F4 while the walk waits"
    keys "$main" alt+F4
    program_ended "$program_pid" 2 || fail "the program still runs 2 s after the close box"
    [ "$program_status" = 0 ] || fail "the program ended with status $program_status"
elif [ "$mode" = term ]; then
    step "send SIGTERM while the walk waits"
    kill -TERM "$program_pid"
    program_ended "$program_pid" 2 || fail "the program still runs 2 s after SIGTERM"
    [ "$program_status" = 0 ] || fail "the program ended with status $program_status"
    window_gone Trovan 1 || fail "the main window stayed after SIGTERM"
else
    step "cancel with Esc, then \"A&vsluta\" with Alt+V and \"Ja\" with Enter"
    keys "$main" Escape
    keys "$main" alt+v
    question=$(window_named "Avsluta\\?" 10) || fail "no \"Avsluta?\" question came"
    keys "$question" Return
    window_gone "Avsluta\\?" 2 || fail "the question is still on the screen 2 s after \"Ja\""
    window_gone Trovan 2 || fail "the main window is still on the screen 2 s after \"Ja\""
    waits_in_fuse || fail "no thread waits in the share any more: this case shows nothing"
    for _ in $(seq 20); do
        [ -s "$program/setup.ini" ] && break
        sleep 0.1
    done
fi
printf '%s\r\n' "$start" >"$work/expected-setup"
cmp "$work/expected-setup" "$program/setup.ini" || {
    od -c "$program/setup.ini" >&2 || true
    fail "setup.ini does not name the start folder on one CR LF line"
}
echo "PASSED"
