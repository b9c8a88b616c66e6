#!/usr/bin/env bash
# The program binary on a real X server under a window manager, searching into a folder whose
# listing never answers (a stallfs mirror standing in for a hung network share): the close box
# (Alt+F4 to openbox) still ends it within 2 s with status 0, and setup.ini names the start
# folder. Skips (77) only when no X server can be started or FUSE cannot be used.
#
# Usage: blocked_close.sh PATH-TO-TROVAN
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --mounted ]; then
    binary=$1
    base=$(mktemp -d "${TMPDIR:-/tmp}/trovan-e2e-blocked.XXXXXX")
    # Removed only once unmounted: the stalled folder would hang the removal.
    trap 'findmnt --kernel -n -o TARGET | grep -qF "$base/" || rm -rf "$base"' EXIT
    # Walked as zeta, then stall, where it waits for ever.
    mkdir -p "$base/src/Start/stall" "$base/src/Start/zeta"
    touch "$base/src/Start/stall/s.txt" "$base/src/Start/zeta/z.txt" "$base/src/Start/r.txt"
    chmod -R a+rX "$base"
    status=0
    "$here/../fuse/with-stallfs.sh" "$base/src" "$base/mnt" -- \
        bash "$0" --mounted "$binary" "$base/mnt/Start" || status=$?
    exit "$status"
fi

binary=$2
start=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/trovan-e2e.XXXXXX")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
xsession_start
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

step "close the window with Alt+F4 while the walk waits"
keys "$main" alt+F4
program_ended "$program_pid" 2 || fail "the program still runs 2 s after the close box"
[ "$program_status" = 0 ] || fail "the program ended with status $program_status"
printf '%s\r\n' "$start" >"$work/expected-setup"
cmp "$work/expected-setup" "$program/setup.ini" || {
    od -c "$program/setup.ini" >&2 || true
    fail "setup.ini does not name the start folder on one CR LF line"
}
echo "PASSED"
