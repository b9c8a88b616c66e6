#!/usr/bin/env bash
# The result list's context menu end to end, under openbox on a real X server with a private
# session bus. The Menu key opens the menu once, and "Visa i mapp" asks the file manager on the
# bus (a stand-in that records the call, tests/e2e/file_manager_standin.py) to show the marked
# files, as file URIs of their bytes, a name that is not UTF-8 among them. A right click on an
# entry not marked marks it, and its menu's "Kopiera sökväg" and "Öppna" act on that entry (the
# clipboard read with xclip). A file manager that takes the call and never answers is passed
# over after about 2 s, the busy pointer shown meanwhile; with no file manager on the bus, and
# with no bus at all, the desktop's opener (a stand-in xdg-open first on PATH) opens the files'
# folder instead. Skips (77) only when no X server can be started.
#
# Usage: show_in_folder.sh PATH-TO-TROVAN
set -euo pipefail

binary=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/trovan-e2e.XXXXXX")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"

bus_pid=""
manager_pid=""
xsession_cleanup() {
    local pid
    for pid in $manager_pid $bus_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}

xsession_start
xsession_window_manager
command -v dbus-daemon >/dev/null ||
    fail "dbus-daemon is not installed (scripts/install-deps.sh installs it)"
/usr/bin/python3 -c 'import dbus, gi' 2>/dev/null ||
    fail "python3-dbus or python3-gi is missing (scripts/install-deps.sh installs them)"
command -v xclip >/dev/null || fail "xclip is not installed (scripts/install-deps.sh installs it)"

step "a private session bus, where nothing is started on demand"
cat >"$work/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
"${xsession_tied[@]}" dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile \
    >"$work/bus.log" 2>&1 &
bus_pid=$!
bus="unix:path=$work/bus"
for _ in $(seq 100); do
    [ -S "$work/bus" ] && break
    sleep 0.1
done
[ -S "$work/bus" ] || fail "the session bus did not start: $(cat "$work/bus.log")"

# has_owner NAME: whether someone owns the name on our bus.
has_owner() {
    dbus-send --bus="$bus" --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:"$1" | grep -q 'boolean true'
}

# standin [--never-answer]: starts the stand-in file manager, recording into $work/shown, and
# waits until it owns its name.
standin() {
    "${xsession_tied[@]}" env DBUS_SESSION_BUS_ADDRESS="$bus" /usr/bin/python3 \
        "$here/file_manager_standin.py" "$@" "$work/shown" >"$work/manager.log" 2>&1 &
    manager_pid=$!
    for _ in $(seq 100); do
        has_owner org.freedesktop.FileManager1 && return 0
        sleep 0.1
    done
    fail "the stand-in file manager did not take its name: $(cat "$work/manager.log")"
}

# standin_gone: ends the stand-in and waits until its name is free.
standin_gone() {
    kill "$manager_pid"
    wait "$manager_pid" 2>/dev/null || true
    manager_pid=""
    for _ in $(seq 100); do
        has_owner org.freedesktop.FileManager1 || return 0
        sleep 0.1
    done
    fail "the stand-in file manager's name stayed taken"
}

step "the stand-in file manager takes its name"
standin

# Two files, one named in Latin-1 (not UTF-8), one with a blank.
program="$work/Program"
start="$work/Start"
mkdir "$program" "$start"
cp "$binary" "$program/trovan"
touch "$start/r"$'\xe4'"kning.txt" "$start/med blank.txt"
printf '%s\r\n' "$start" >"$program/setup.ini"
expected_uris=$(printf 'file://%s/%s\n' "$start" 'med%20blank.txt' "$start" 'r%E4kning.txt' |
    sort)

# The opener records its working folder and arguments, one call a line.
mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
printf '%s|%s\n' "\$PWD" "\$*" >>"$work/opened"
EOF
chmod +x "$work/bin/xdg-open"
path="$work/bin:/usr/local/bin:/usr/bin:/bin"

# search_and_mark_all: the search on Enter, then every entry marked from the list.
search_and_mark_all() {
    main=$(window_named Trovan 30) || fail "the main window \"Trovan\" did not appear"
    local heading
    heading=$(window_region "$main" 250x28+0+0)
    keys "$main" Return
    region_changed "$main" 250x28+0+0 "$heading" 20 || fail "Enter did not show the results"
    window_settled "$main" >/dev/null || fail "the window did not settle after the search"
    click "$main" 60 33 # the first entry
    keys "$main" ctrl+a
}

# program_windows: how many windows of the program are shown.
program_windows() {
    xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null | wc -l
}

# in_menu CHOICE COMMAND...: runs COMMAND, which opens the context menu, waits for the menu and
# presses the keys CHOICE in it (for instance "v", for "&Visa i mapp"); then no window of the
# program but the main window is left.
in_menu() {
    local choice=$1 before
    shift
    before=$(program_windows)
    "$@"
    for _ in $(seq 100); do
        [ "$(program_windows)" -gt "$before" ] && break
        sleep 0.1
    done
    [ "$(program_windows)" -gt "$before" ] || fail "no context menu came up on $*"
    # shellcheck disable=SC2086  # one key or several
    xdotool key --delay 40 $choice
    for _ in $(seq 50); do
        [ "$(program_windows)" = "$before" ] && return 0
        sleep 0.1
    done
    fail "a menu stayed on the screen after \"$choice\": the Menu key opened it twice?"
}

# menu_choose KEY...: opens the context menu with the KEYs and chooses "&Visa i mapp".
menu_choose() {
    in_menu v keys "$main" "$@"
}

# right_click X Y: a right click at X,Y pixels inside the main window's client area.
right_click() {
    xdotool mousemove --window "$main" "$1" "$2" click 3
}

# copied [TYPE]: what the clipboard holds now, as TYPE (text by default).
copied() {
    xclip -o -selection clipboard -t "${1:-UTF8_STRING}"
}

# pointer: a fingerprint of the pointer's picture now.
pointer() {
    /usr/bin/python3 "$here/pointer_shape.py"
}

# leave: "A&vsluta" answered Yes ends the program.
leave() {
    keys "$main" alt+v
    local question
    question=$(window_named 'Avsluta\?' 10) || fail "Alt+V asked nothing"
    keys "$question" Return
    program_ended "$program_pid" 20 || fail "the program did not end"
}

step "the Menu key's \"Visa i mapp\" asks the file manager on the bus"
xsession_launch "$path" DBUS_SESSION_BUS_ADDRESS="$bus" "$program/trovan"
search_and_mark_all
menu_choose Menu
for _ in $(seq 100); do
    [ -e "$work/shown" ] && break
    sleep 0.1
done
[ -e "$work/shown" ] || fail "the file manager was not asked to show anything"
[ "$(head -n 1 "$work/shown")" = "call 1" ] || fail "ShowItems came more than once"
got_uris=$(sed '1d;$d' "$work/shown" | sort)
[ "$got_uris" = "$expected_uris" ] || {
    printf 'expected:\n%s\ngot:\n%s\n' "$expected_uris" "$got_uris" >&2
    fail "ShowItems did not get the two files as file URIs of their bytes"
}
[ "$(tail -n 1 "$work/shown")" = "startup id: " ] || fail "ShowItems: $(tail -n 1 "$work/shown")"
sleep 0.5
[ ! -e "$work/opened" ] || fail "xdg-open ran although the file manager answered"

step "a right click on an entry not marked marks it, and its menu acts on it"
# The entries are 13 pixels high, the first one's middle 31 pixels down the window.
click "$main" 60 31
keys "$main" ctrl+c
first_uri=$(copied text/uri-list)
in_menu k right_click 60 44 # "&Kopiera sökväg" on the second entry
second_uri=$(copied text/uri-list)
[ "$second_uri" != "$first_uri" ] || fail "the right click's menu copied the marked entry"
printf '%s\n' "$expected_uris" | grep -qxF "${second_uri%$'\r'}" ||
    fail "\"Kopiera sökväg\" copied $second_uri, not an entry"
# "&Öppna", the menu's first item, on the first entry, marked no more.
in_menu "Down Return" right_click 60 31
for _ in $(seq 100); do
    [ -e "$work/opened" ] && break
    sleep 0.1
done
[ -e "$work/opened" ] || fail "\"Öppna\" from a right click opened nothing"
case "${first_uri%$'\r'}" in
*med%20blank.txt) first_file="$start/med blank.txt" ;;
*) first_file="$start/r"$'\xe4'"kning.txt" ;;
esac
grep -qxF "/|$first_file" "$work/opened" ||
    fail "\"Öppna\" from a right click opened: $(cat "$work/opened")"
rm "$work/opened"
leave

step "a file manager that never answers is passed over after 2 s, the pointer busy meanwhile"
standin_gone
rm "$work/shown"
standin --never-answer
xsession_launch "$path" DBUS_SESSION_BUS_ADDRESS="$bus" "$program/trovan"
search_and_mark_all
xdotool mousemove --window "$main" 200 120
idle_pointer=$(pointer)
menu_choose Menu
asked_at=$EPOCHREALTIME
busy_seen=""
for _ in $(seq 100); do
    [ -e "$work/opened" ] && break
    [ "$(pointer)" = "$idle_pointer" ] || busy_seen=yes
    sleep 0.05
done
opened_at=$EPOCHREALTIME
[ -e "$work/opened" ] || fail "xdg-open was not started after the file manager's silence"
[ -e "$work/shown" ] || fail "the file manager was not asked"
waited=$(((${opened_at/./} - ${asked_at/./}) / 1000))
if [ "$waited" -lt 1500 ] || [ "$waited" -gt 5000 ]; then
    fail "the file manager was passed over after $waited ms, not about 2000"
fi
[ -n "$busy_seen" ] || fail "the pointer did not show busy while the file manager was waited for"
for _ in $(seq 50); do
    [ "$(pointer)" = "$idle_pointer" ] && break
    sleep 0.1
done
[ "$(pointer)" = "$idle_pointer" ] || fail "the busy pointer stayed after the fallback"
grep -qxF "/|$start" "$work/opened" || fail "xdg-open ran as: $(cat "$work/opened")"
rm "$work/opened"
leave

step "no file manager on the bus: xdg-open opens the files' folder"
standin_gone
xsession_launch "$path" DBUS_SESSION_BUS_ADDRESS="$bus" "$program/trovan"
search_and_mark_all
menu_choose shift+F10
for _ in $(seq 100); do
    [ -e "$work/opened" ] && break
    sleep 0.1
done
[ -e "$work/opened" ] || fail "xdg-open was not started without a file manager"
sleep 0.5
[ "$(cat "$work/opened")" = "/|$start" ] || fail "xdg-open ran as: $(cat "$work/opened")"
leave

step "no session bus at all: xdg-open opens the files' folder"
rm "$work/opened"
xsession_launch "$path" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" "$program/trovan"
search_and_mark_all
menu_choose Menu
for _ in $(seq 100); do
    [ -e "$work/opened" ] && break
    sleep 0.1
done
[ -e "$work/opened" ] || fail "xdg-open was not started without a session bus"
sleep 0.5
[ "$(cat "$work/opened")" = "/|$start" ] || fail "xdg-open ran as: $(cat "$work/opened")"
leave
echo "PASSED"
