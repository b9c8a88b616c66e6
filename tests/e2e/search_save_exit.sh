#!/usr/bin/env bash
# The program binary on a real X server, driven only from outside as a person would: copied
# into a program folder of its own with a setup.ini naming the start folder, it restores that
# folder, takes a typed pattern, searches on Enter, saves the list to lista.txt, has the
# desktop's opener (a stand-in first on PATH) open it, and ends on "A&vsluta" answered Yes,
# writing the start folder back to setup.ini. Skips (77) only when no X server can be started.
#
# Usage: search_save_exit.sh PATH-TO-TROVAN
set -euo pipefail

binary=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/trovan-e2e.XXXXXX")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
xsession_start
xsession_window_manager

# The program folder has a capital letter, which the path of the list that is opened keeps.
program="$work/Program"
mkdir "$program"
cp "$binary" "$program/trovan"

# Only the three .txt files of the start folder itself match: not the subfolder's (subfolders
# are off by default), not the hidden one, not the .log.
start="$work/Start mapp"
mkdir -p "$start/Under"
touch "$start/alfa.txt" "$start/Beta.txt" "$start/Översikt.txt" "$start/gamma.log" \
    "$start/.dold.txt" "$start/Under/delta.txt"
printf '%s\r\n' "$start" >"$program/setup.ini"

# The opener records its working folder and arguments once the program has started it.
mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
{ pwd; echo "\$#"; printf '%s\n' "\$@"; } >"$work/opened.part" && mv "$work/opened.part" "$work/opened"
EOF
chmod +x "$work/bin/xdg-open"

step "start the program on $DISPLAY"
xsession_launch "$work/bin:/usr/local/bin:/usr/bin:/bin" "$program/trovan"
main=$(window_named Trovan 30) || fail "the main window \"Trovan\" did not appear"
eval "$(xdotool getwindowgeometry --shell "$main")"
if [ "$WIDTH" != 422 ] || [ "$HEIGHT" != 348 ]; then
    fail "the main window's client area is ${WIDTH}x$HEIGHT, not 422x348"
fi
# The folder was restored before the window showed; exit must write the file anew.
rm "$program/setup.ini"

step "type the pattern and search with Enter"
click "$main" 352 41 # the pattern box: 65x19 at 320,32
keys "$main" ctrl+a
typed "$main" '*.txt'
# Top left, the option panel shows its heading and the result panel the counter; the pattern
# box with its blinking caret lies outside.
heading=$(window_region "$main" 250x28+0+0)
keys "$main" Return
region_changed "$main" 250x28+0+0 "$heading" 20 || fail "Enter did not show the result panel"
window_settled "$main" >/dev/null || fail "the window did not settle after the search"

step "save the list with \"Spara lista i textfil\""
# The button lies on the result panel; in the option state this spot is inside the folder
# list, where a click saves nothing.
click "$main" 196 268
saved=$(window_named 'Fil sparad' 10) || fail "no \"Fil sparad\" message after saving"
printf '%s\r\n' "$start/alfa.txt" "$start/Beta.txt" "$start/Översikt.txt" >"$work/expected"
cmp "$work/expected" "$program/lista.txt" || {
    echo "lista.txt holds:" >&2
    od -c "$program/lista.txt" >&2 || true
    fail "lista.txt does not hold the three .txt files of the start folder, one per CR LF line"
}
sleep 0.5
[ ! -e "$work/opened" ] || fail "the list was opened before the message was answered"

step "answer the message; the opener opens the list"
keys "$saved" Return
window_gone 'Fil sparad' 10 || fail "the \"Fil sparad\" message stayed after Enter"
for _ in $(seq 100); do
    [ -e "$work/opened" ] && break
    sleep 0.1
done
[ -e "$work/opened" ] || fail "xdg-open was not started after the message"
printf '%s\n' / 1 "$program/lista.txt" >"$work/expected-opened"
cmp "$work/expected-opened" "$work/opened" || {
    echo "xdg-open ran in, with:" >&2
    cat "$work/opened" >&2
    fail "xdg-open was not started in / with lista.txt as its only argument"
}

step "\"A&vsluta\" answered No keeps the program"
keys "$main" alt+v
question=$(window_named 'Avsluta\?' 10) || fail "Alt+V asked nothing"
keys "$question" Escape
window_gone 'Avsluta\?' 10 || fail "the question stayed after Esc"
sleep 0.5
kill -0 "$program_pid" 2>/dev/null || fail "the program ended although the answer was No"
[ ! -e "$program/setup.ini" ] || fail "setup.ini was written although the answer was No"

step "\"A&vsluta\" answered Yes ends the program and saves the start folder"
keys "$main" alt+v
question=$(window_named 'Avsluta\?' 10) || fail "Alt+V asked nothing the second time"
keys "$question" Return
program_ended "$program_pid" 20 || fail "the program did not end after Yes"
[ "$program_status" = 0 ] || fail "the program ended with status $program_status"
printf '%s\r\n' "$start" >"$work/expected-setup"
cmp "$work/expected-setup" "$program/setup.ini" || {
    od -c "$program/setup.ini" >&2 || true
    fail "setup.ini does not name the start folder on one CR LF line"
}
window_gone Trovan 5 || fail "the main window stayed after the program ended"
echo "PASSED"
