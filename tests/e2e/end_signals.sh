#!/usr/bin/env bash
# Endings sent from outside to the program on a real X server under openbox: SIGTERM, SIGINT
# and SIGHUP leave as the close box does, whatever is up. Each time the program ends with
# status 0, every window of it gone, and setup.ini names the folder last searched.
#
#   boxes  SIGTERM while "Fil sparad" is up, SIGINT while the about window is up, SIGHUP while
#          "Avsluta?" asks.
#   save   SIGTERM while the list's save waits in fsync on a share that takes no more writes
#          (a writable stallfs mirror whose fsync hangs, reached through lista.txt, a link of the
#          user's own): the share is left with neither a temporary file nor a list.
#
# Skips (77) only when no X server can be started, or (save) FUSE cannot be used.
#
# Usage: end_signals.sh boxes|save PATH-TO-TROVAN
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

if [ "$1" = save ] && [ "${2:-}" != --mounted ]; then
    binary=$2
    if [ "$(id -u)" != 0 ]; then
        echo "SKIPPED: mounting the share (FUSE) needs root here" >&2
        exit 77
    fi
    base=$(mktemp -d "${TMPDIR:-/tmp}/trovan-e2e-save.XXXXXX")
    # Removed only once unmounted: a hung call would hang the removal.
    trap 'findmnt --kernel -n -o TARGET | grep -qF "$base/" || rm -rf "$base"' EXIT
    mkdir -p "$base/src/share"
    status=0
    "$here/../fuse/with-stallfs.sh" --writable --stall-fsync --release "$base/release" \
        "$base/src" "$base/mnt" -- \
        bash "$0" save --mounted "$binary" "$base/src/share" "$base/mnt/share" "$base/release" ||
        status=$?
    exit "$status"
fi

mode=$1
if [ "$mode" = save ]; then
    binary=$3 share_source=$4 share=$5 release=$6
else
    binary=$2
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/trovan-e2e.XXXXXX")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
xsession_start
if [ "$mode" = save ]; then
    # At the end the hung fsync is let go, so that nothing waits on the share.
    trap 'status=$?; touch "$release"; (exit $status); xsession_stop' EXIT
fi
xsession_window_manager

start="$work/Start"
mkdir -p "$start"
touch "$start/alfa.txt" "$start/beta.txt"

# started NAME: the program from a program folder of its own, its window up, the start folder
# shown and searched with Alt+S; setup.ini is then gone, for leaving to write anew.
started() {
    program="$work/$1"
    mkdir "$program"
    cp "$binary" "$program/trovan"
    printf '%s\r\n' "$start" >"$program/setup.ini"
    # Started as from a terminal: a command a script starts in the background ignores SIGINT,
    # and the program leaves a signal ignored from the start ignored.
    xsession_launch /usr/local/bin:/usr/bin:/bin env --default-signal "$program/trovan"
    main=$(window_named Trovan 30) || fail "the main window \"Trovan\" did not appear"
    rm "$program/setup.ini"
    window_settled "$main" >/dev/null || fail "the window did not settle after it appeared"
    local heading
    heading=$(window_region "$main" 250x28+0+0)
    keys "$main" alt+s
    region_changed "$main" 250x28+0+0 "$heading" 20 || fail "Alt+S did not show the result panel"
    window_settled "$main" >/dev/null || fail "the window did not settle after the search"
}

# ends_on SIGNAL BOX-TITLE: the signal ends the program as leaving does, the box with it.
ends_on() {
    step "$1 ends the program"
    kill -s "$1" "$program_pid"
    program_ended "$program_pid" 10 || {
        # Where each of its threads waits.
        grep -H . /proc/"$program_pid"/task/*/wchan >&2 || true
        fail "the program still runs 10 s after $1"
    }
    [ "$program_status" = 0 ] || fail "the program ended on $1 with status $program_status"
    window_gone Trovan 5 || fail "the main window stayed after $1"
    window_gone "$2" 5 || fail "\"$2\" stayed after $1"
    printf '%s\r\n' "$start" >"$work/expected-setup"
    cmp "$work/expected-setup" "$program/setup.ini" || {
        od -c "$program/setup.ini" >&2 || true
        fail "after $1 setup.ini does not name the start folder on one CR LF line"
    }
}

if [ "$mode" = boxes ]; then
    step "SIGTERM while \"Fil sparad\" is up"
    started term
    click "$main" 196 268 # "Spara lista i textfil"
    window_named 'Fil sparad' 10 >/dev/null || fail "no \"Fil sparad\" message after saving"
    ends_on TERM 'Fil sparad'

    step "SIGINT while the about window is up"
    started int
    click "$main" 376 320 # "Om...": 81x33 at 336,304
    window_named 'Om\.\.\.' 10 >/dev/null || fail "a click on \"Om...\" showed no about window"
    ends_on INT 'Om\.\.\.'

    step "SIGHUP while \"Avsluta?\" asks"
    started hup
    keys "$main" alt+v
    window_named 'Avsluta\?' 10 >/dev/null || fail "Alt+V asked nothing"
    ends_on HUP 'Avsluta\?'
else
    step "SIGTERM while the list's save waits on the share"
    started save
    ln -s "$share/lista.txt" "$program/lista.txt"
    click "$main" 196 268 # "Spara lista i textfil"
    waits_in_fuse() { grep -qx request_wait_answer /proc/"$program_pid"/task/*/wchan 2>/dev/null; }
    for _ in $(seq 100); do
        waits_in_fuse && compgen -G "$share_source/.trovan-$program_pid-*" >/dev/null && break
        sleep 0.1
    done
    waits_in_fuse || fail "no thread of the program waits in the share's fsync"
    temporary=$(compgen -G "$share_source/.trovan-$program_pid-*") ||
        fail "the save made no temporary file on the share"
    ends_on TERM 'Fil sparad'
    # The removal waited for the held write, which the share let go once the program had gone.
    for _ in $(seq 100); do
        remaining=$(ls -A "$share_source")
        [ -z "$remaining" ] && break
        sleep 0.1
    done
    [ -z "$remaining" ] || fail "the share still holds: $remaining (the save's file was $temporary)"
fi
echo "PASSED"
