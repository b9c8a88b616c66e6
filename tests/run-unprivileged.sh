#!/usr/bin/env bash
# Runs a test without root's privileges: root reads every folder, so a test of an unreadable
# folder or an unwritable program folder must run as an ordinary user.
if [ "$(id -u)" -eq 0 ]; then
    exec setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"
fi
exec "$@"
