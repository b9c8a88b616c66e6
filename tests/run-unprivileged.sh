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
# Links of root's in a folder of the user's, for the cases of another user's link, which that
# user cannot make: a test moves them where it wants them. Each points to "lista-target" beside
# itself.
mkdir "$place/others-links"
for n in 1 2; do
    ln -s lista-target "$place/others-links/$n"
done
chown nobody:nogroup "$place/others-links"
export TROVAN_OTHERS_LINKS=$place/others-links
cd /tmp
setpriv --reuid=nobody --regid=nogroup --clear-groups "$place/$(basename "$program")" "$@"
