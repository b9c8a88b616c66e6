#!/usr/bin/env bash
# Runs a test without root's privileges: root reads every folder, so a test of an unreadable
# folder or an unwritable program folder must run as an ordinary user. The build folder may lie
# where that user cannot reach (under /root, say), so the test program runs from a copy in a
# temporary folder of its own, started in /tmp.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
    exec "$@"
fi
program=$1
shift
place=$(mktemp -d /tmp/trovan-unprivileged.XXXXXX)
trap 'rm -rf "$place"' EXIT
cp "$program" "$place/"
chmod 755 "$place"
cd /tmp
setpriv --reuid=nobody --regid=nogroup --clear-groups "$place/$(basename "$program")" "$@"
