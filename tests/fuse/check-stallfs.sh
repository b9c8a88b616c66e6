#!/usr/bin/env bash
# Checks stallfs and with-stallfs.sh themselves: the stalled listing waits and the rest of the
# mirror does not, the release file lets it go on, an unmount while a reader still waits ends
# that reader and leaves no mount behind, and the writable mirror writes and holds its fsync.
# Exits 77 when FUSE cannot be used here.
#
# Usage: tests/fuse/check-stallfs.sh
set -euo pipefail

if [[ $(id -u) != 0 ]]; then
    echo "check-stallfs: skipped: needs root (it mounts, and reads the mount as nobody)" >&2
    exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/stallfs-check.XXXXXX)
trap 'rm -rf "$work"' EXIT
src=$work/src mnt=$work/mnt go=$work/go
mkdir -p "$src/a/stall/deep" "$src/b" "$mnt"
echo hello >"$src/a/f.txt"
touch "$src/a/stall/x" "$src/b/y"
chmod -R a+rX "$work"

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# Starts a command in the background; `running_after SECONDS` then tells whether it still runs.
start() {
    "$@" >"$work/out" 2>&1 &
    pid=$!
}
running_after() {
    local i
    for ((i = 0; i < $1 * 20; i++)); do
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.05
    done
}
finished_within() { ! running_after "$1"; }

# The listing of a/stall waits for the release file; everything else answers.
inside_release() {
    start ls "$mnt/a/stall"
    running_after 1 || fail "ls of the stalled folder did not wait"
    local waiting=$pid
    start ls "$mnt/a"
    finished_within 2 && [[ $(tr '\n' ' ' <"$work/out") == "f.txt stall " ]] ||
        fail "ls of a beside the stalled folder: $(cat "$work/out")"
    [[ $(cat "$mnt/a/f.txt") == hello ]] || fail "reading a file through the mount"
    start setpriv --reuid=65534 --regid=65534 --clear-groups ls "$mnt/b"
    finished_within 2 && [[ $(cat "$work/out") == y ]] || fail "ls as nobody: $(cat "$work/out")"
    touch "$go"
    pid=$waiting
    finished_within 2 || fail "the stalled ls did not finish after the release file appeared"
    wait "$waiting" || fail "the released ls failed"
}
# Leaves a reader waiting for ever and ends: the reader must then fail, not hang.
inside_leave_reader() {
    ls "$mnt/a/stall" >"$work/reader" 2>&1 &
    echo $! >"$work/reader.pid"
    sleep 0.5
    return 3
}
# A process whose main thread ends while another thread waits in the listing.
inside_thread_left() {
    /usr/bin/python3 -c '
import os, sys, threading, time
threading.Thread(target=os.listdir, args=(sys.argv[1],), daemon=True).start()
time.sleep(0.5)
os._exit(5)' "$mnt/a/stall"
}
# With --stall-stat, stat of the folder itself waits too; stat in another folder does not.
inside_stat() {
    start stat "$mnt/a/stall"
    running_after 1 || fail "stat of the stalled folder did not wait"
    local waiting=$pid
    start stat "$mnt/b/y"
    finished_within 2 || fail "stat in another folder waited"
    touch "$go"
    pid=$waiting
    finished_within 2 || fail "the stalled stat did not finish after the release file appeared"
}
# With --stall-open, opening the folder waits already.
inside_open() {
    start /usr/bin/python3 -c 'import os, sys; os.open(sys.argv[1], os.O_RDONLY | os.O_DIRECTORY)' \
        "$mnt/a/stall"
    running_after 1 || fail "opening the stalled folder did not wait"
    touch "$go"
    finished_within 2 || fail "the stalled open did not finish after the release file appeared"
}
# With --writable, files are made, written, renamed and removed; with --stall-fsync, fsync waits.
inside_fsync() {
    { echo data >"$mnt/b/new" && mv "$mnt/b/new" "$mnt/b/moved" &&
        [[ $(cat "$mnt/b/moved") == data ]]; } || fail "writing through the writable mirror"
    start /usr/bin/python3 -c 'import os, sys; os.fsync(os.open(sys.argv[1], os.O_WRONLY))' \
        "$mnt/b/moved"
    running_after 1 || fail "fsync on the writable mirror did not wait"
    touch "$go"
    finished_within 2 || fail "the stalled fsync did not finish after the release file appeared"
    rm "$mnt/b/moved" || fail "removing through the writable mirror"
}

with() { # EXPECTED-STATUS STALLFS-ARGS... -- FUNCTION
    local expected=$1 status=0
    shift
    rm -f "$go"
    timeout 30 "$here/with-stallfs.sh" "$@" || status=$?
    ((status != 77)) || exit 77
    ((status == expected)) || fail "with-stallfs $* ended with $status, not $expected"
    ! findmnt --kernel -n -t fuse.stallfs -o TARGET | grep -qxF "$mnt" || fail "$mnt still mounted after $*"
}

export -f start running_after finished_within fail inside_release inside_leave_reader \
    inside_thread_left inside_stat inside_open inside_fsync
export mnt go work
export failures=0

with 0 --release "$go" "$src" "$mnt" -- bash -c 'inside_release; exit $failures'
with 3 "$src" "$mnt" -- bash -c inside_leave_reader
pid=$(cat "$work/reader.pid")
finished_within 2 || fail "the reader left waiting still runs after the unmount"
grep -q "^ls: " "$work/reader" || fail "the reader left waiting did not fail: $(cat "$work/reader")"
with 5 "$src" "$mnt" -- bash -c inside_thread_left
with 0 --stall-stat --release "$go" "$src" "$mnt" -- bash -c 'inside_stat; exit $failures'
with 0 --stall-open --release "$go" "$src" "$mnt" -- bash -c 'inside_open; exit $failures'
with 0 --writable --stall-fsync --release "$go" "$src" "$mnt" -- bash -c 'inside_fsync; exit $failures'
[[ ! -e $src/b/moved && ! -e $src/b/new ]] || fail "the writable mirror left a file in its source"

# Without access to /dev/fuse the wrapper says so and skips.
chown nobody "$work"
status=0
setpriv --reuid=65534 --regid=65534 --clear-groups \
    "$here/with-stallfs.sh" "$src" "$work/nobody-mnt" -- true 2>"$work/err" || status=$?
((status == 77)) && grep -q "cannot be used" "$work/err" ||
    fail "without /dev/fuse access: status $status, $(cat "$work/err")"

((failures == 0)) && echo "stallfs: all checks passed"
exit $((failures > 0))
