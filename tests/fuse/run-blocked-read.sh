#!/usr/bin/env bash
# Runs a test program with stallfs mounted over an empty folder of its own, and tells it where
# through its environment:
#   STALLFS_SOURCE   the mirrored folder: the test makes its trees here, they show in the mount
#   STALLFS_MOUNT    the mirror, where the listing of a folder named `stall` hangs
#   STALLFS_RELEASE  the stalled calls go on while this file exists, and wait again once it is
#                    removed (the file system looks for it every 50 ms)
#   STALLFS_OPTIONS  the stallfs options given here, so that a test can tell what hangs
# Exits with the program's status, or 77 (skipped) where FUSE cannot be used.
#
# Usage: tests/fuse/run-blocked-read.sh [STALLFS OPTIONS...] -- COMMAND...
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
options=()
while (($#)) && [[ $1 != -- ]]; do
    options+=("$1")
    shift
done
if (($# < 2)); then
    echo "usage: $0 [STALLFS OPTIONS...] -- COMMAND..." >&2
    exit 2
fi
shift

work=$(mktemp -d /tmp/trovan-blocked-read.XXXXXX)
# Never remove through a mount: with-stallfs.sh unmounts, but should it fail, the mirror's
# stalled folders would hang the removal.
remove_work() {
    if findmnt --kernel -n -o TARGET | grep -qF "$work/"; then
        echo "run-blocked-read: $work/mnt still mounted; left in place" >&2
        return
    fi
    rm -rf "$work"
}
trap remove_work EXIT
mkdir "$work/src" "$work/mnt"
chmod 755 "$work" "$work/src"

export STALLFS_SOURCE=$work/src STALLFS_MOUNT=$work/mnt STALLFS_RELEASE=$work/release
export STALLFS_OPTIONS="${options[*]}"
status=0
"$here/with-stallfs.sh" "${options[@]}" --release "$STALLFS_RELEASE" "$STALLFS_SOURCE" \
    "$STALLFS_MOUNT" -- "$@" || status=$?
exit "$status"
