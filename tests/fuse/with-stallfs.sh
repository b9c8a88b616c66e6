#!/usr/bin/env bash
# Runs a command with stallfs mounted, and always unmounts afterwards.
#
# Usage: tests/fuse/with-stallfs.sh [STALLFS OPTIONS...] SOURCE MOUNTPOINT -- COMMAND...
#   e.g. tests/fuse/with-stallfs.sh --release /tmp/go /tmp/tree /tmp/mnt -- ./test_blocked_read
# The options are stallfs.py's (--stall NAME, --release FILE, --stall-open, --stall-stat,
# --ignore-kill, --writable, --stall-fsync).
# MOUNTPOINT is made when missing and must be empty. Exits with the command's status, or with
# 77 (a skipped test to ctest) when FUSE cannot be used here.
#
# The unmount is lazy when a reader still waits in the file system (a process the command left
# behind), and the file system's process is then killed, which aborts the connection and fails
# that reader's call: nothing stays mounted or hung.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
ready_seconds=${STALLFS_READY_SECONDS:-10}

fs_args=()
while (($#)) && [[ $1 != -- ]]; do
    fs_args+=("$1")
    shift
done
if (($# < 2 || ${#fs_args[@]} < 2)); then
    echo "usage: $0 [STALLFS OPTIONS...] SOURCE MOUNTPOINT -- COMMAND..." >&2
    exit 2
fi
shift
mountpoint=${fs_args[-1]}

skip() {
    echo "with-stallfs: FUSE cannot be used here: $*" >&2
    exit 77
}
[[ -x /usr/bin/python3 ]] || skip "no /usr/bin/python3"
fusermount=$(command -v fusermount3 || command -v fusermount) || skip "no fusermount3 or fusermount"
[[ -e /dev/fuse ]] || skip "no /dev/fuse"

mkdir -p "$mountpoint"
mountpoint=$(realpath "$mountpoint")
is_mounted() { findmnt --kernel -n -o TARGET -t fuse.stallfs | grep -qxF "$mountpoint"; }

unmount() {
    is_mounted || return 0
    # Lazily when busy: a reader still waiting in the file system keeps it busy.
    timeout 5 "$fusermount" -u "$mountpoint" 2>/dev/null && return 0
    timeout 5 "$fusermount" -u -z "$mountpoint" 2>/dev/null || umount -l "$mountpoint" || true
    return 1
}

# A mount left behind by a run that was killed outright.
unmount || true

fs_pid=""
command_pid=""
cleanup() {
    trap - EXIT INT TERM
    [[ -n $fs_pid ]] || return 0
    local clean=1 i
    unmount || clean=0
    # After a clean unmount the file system ends by itself; otherwise a reader still waits in
    # it, and only ending the process lets the kernel fail that reader's call.
    if ((clean)); then
        for ((i = 0; i < 20; i++)); do
            kill -0 "$fs_pid" 2>/dev/null || break
            sleep 0.1
        done
    fi
    kill -KILL "$fs_pid" 2>/dev/null || true
    wait "$fs_pid" 2>/dev/null || true
    fs_pid=""
}
on_signal() {
    [[ -z $command_pid ]] || kill "-$1" "$command_pid" 2>/dev/null || true
    cleanup
    trap - "$1"
    kill "-$1" $$
}
trap cleanup EXIT
trap 'on_signal INT' INT
trap 'on_signal TERM' TERM

/usr/bin/python3 "$here/stallfs.py" "${fs_args[@]}" &
fs_pid=$!
for ((i = 0; ; i++)); do
    if ! kill -0 "$fs_pid" 2>/dev/null; then
        status=0
        wait "$fs_pid" || status=$?
        fs_pid=""
        ((status == 77)) && skip "see stallfs's message above"
        echo "with-stallfs: stallfs ended with status $status before the mount was ready" >&2
        exit 1
    fi
    is_mounted && timeout 2 stat "$mountpoint" >/dev/null 2>&1 && break
    if ((i >= ready_seconds * 10)); then
        echo "with-stallfs: $mountpoint not ready after $ready_seconds s" >&2
        exit 1
    fi
    sleep 0.1
done

# In the background, so that a signal to this script is handled at once; standard input
# stays the caller's (a background command would otherwise get /dev/null).
"$@" <&0 &
command_pid=$!
status=0
wait "$command_pid" || status=$?
cleanup
exit "$status"
