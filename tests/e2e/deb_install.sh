#!/usr/bin/env bash
# The Debian package installed into this machine with apt-get, as a user would, and started
# from its desktop entry on a real X server (Xvfb) under openbox, the way a file manager's
# "Open with Trovan" starts it: the entry's command with %f replaced by a folder. Alt+S
# searches that folder, the save button's click writes lista.txt and the desktop's opener (a
# stand-in first on PATH) opens it, Alt+V answered Yes ends the program. An install in /usr
# keeps both files in $XDG_DATA_HOME/trovan and writes nothing in /usr.
#
# It installs into the machine rather than unpacking into a scratch root: only there does the
# program really run from /usr/bin, and apt-get resolves the declared dependencies. So it needs
# root (as in CI, on a throwaway machine), refuses to replace an installed trovan, and removes
# the package again at exit. Skips (77) when not run as root, and when no X server can be
# started.
#
# Usage: deb_install.sh CPACK BUILD-DIR
set -euo pipefail

cpack=$1
build_dir=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
[ "$(id -u)" = 0 ] ||
    skip "installing the package into the machine needs root; CI runs this test as root"
work=$(mktemp -d "${TMPDIR:-/tmp}/trovan-deb-install.XXXXXX")
xsession_start
xsession_window_manager

dpkg-query -W -f='${Status}' trovan 2>/dev/null | grep -q 'ok installed' &&
    fail "a trovan package is installed already; remove it first (dpkg -r trovan)"
for stray in /usr/bin/trovan /usr/bin/setup.ini /usr/bin/lista.txt; do
    [ ! -e "$stray" ] || fail "$stray exists already"
done

installed=""
xsession_cleanup() {
    [ -n "$installed" ] || return 0
    # A program that wrote beside itself must not leave its files behind.
    rm -f /usr/bin/setup.ini /usr/bin/lista.txt
    dpkg -r trovan >"$work/remove.log" 2>&1 || {
        cat "$work/remove.log" >&2
        echo "FAILED: dpkg -r trovan" >&2
        return 1
    }
}

step "make the package"
"$cpack" --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log" >&2
    fail "cpack -G DEB failed"
}
debs=("$work"/out/trovan_*.deb)
if [ ${#debs[@]} != 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "cpack made no single trovan_*.deb"
fi

step "install it with apt-get"
installed=yes
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${debs[0]}" \
    >"$work/install.log" 2>&1 || {
    cat "$work/install.log" >&2
    fail "apt-get install of $(basename "${debs[0]}") failed"
}
entry=/usr/share/applications/trovan.desktop
[ -f "$entry" ] || fail "no desktop entry at $entry"
touch "$work/installed"

# The folder a file manager hands over: a blank in its name, a few files. With the default
# pattern and without subfolders, the visible files of the folder itself are listed.
folder="$work/Mapp från filhanteraren"
mkdir -p "$folder/Under"
touch "$folder/alfa.txt" "$folder/Beta.txt" "$folder/gamma.log" "$folder/Översikt.txt" \
    "$folder/.dold.txt" "$folder/Under/delta.txt"

# The entry's command as a desktop runs it: its words, %f replaced by the folder.
read -r -a words <<<"$(sed -n 's/^Exec=//p' "$entry")"
command=()
for word in "${words[@]}"; do
    case "$word" in
    %f) command+=("$folder") ;;
    %*) fail "Exec has the field code $word, which a file manager would fill otherwise" ;;
    *) command+=("$word") ;;
    esac
done
[ ${#command[@]} -ge 2 ] || fail "Exec=${words[*]} passes no folder"

# The opener records its argument once the program has started it.
mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<EOF2
#!/bin/sh
printf '%s\n' "\$@" >"$work/opened.part" && mv "$work/opened.part" "$work/opened"
EOF2
chmod +x "$work/bin/xdg-open"

data="$work/data"
files="$data/trovan"
step "start ${command[*]} on $DISPLAY"
xsession_launch "$work/bin:/usr/local/bin:/usr/bin:/bin" env XDG_DATA_HOME="$data" "${command[@]}"
main=$(window_named Trovan 30) || fail "the main window \"Trovan\" did not appear"
[ "$(readlink -f "/proc/$program_pid/exe")" = /usr/bin/trovan ] ||
    fail "the window belongs to $(readlink -f "/proc/$program_pid/exe"), not /usr/bin/trovan"
eval "$(xdotool getwindowgeometry --shell "$main")"
if [ "$WIDTH" != 422 ] || [ "$HEIGHT" != 348 ]; then
    fail "the main window's client area is ${WIDTH}x$HEIGHT, not 422x348"
fi

step "Alt+S searches the folder"
heading=$(window_region "$main" 250x28+0+0)
keys "$main" alt+s
region_changed "$main" 250x28+0+0 "$heading" 20 || fail "Alt+S did not show the result panel"
window_settled "$main" >/dev/null || fail "the window did not settle after the search"

step "save the list with a click on \"Spara lista i textfil\""
click "$main" $((136 + 121 / 2)) $((256 + 25 / 2)) # the button: 121x25 at 136,256
saved=$(window_named 'Fil sparad' 10) || fail "no \"Fil sparad\" message after saving"
keys "$saved" Return
window_gone 'Fil sparad' 10 || fail "the \"Fil sparad\" message stayed after Enter"
printf '%s\r\n' "$folder/alfa.txt" "$folder/Beta.txt" "$folder/gamma.log" \
    "$folder/Översikt.txt" >"$work/expected"
[ -f "$files/lista.txt" ] || fail "no lista.txt in \$XDG_DATA_HOME/trovan"
cmp "$work/expected" "$files/lista.txt" || {
    echo "lista.txt holds:" >&2
    od -c "$files/lista.txt" >&2 || true
    fail "lista.txt does not hold the folder's four visible files, one per CR LF line"
}
for _ in $(seq 100); do
    [ -e "$work/opened" ] && break
    sleep 0.1
done
[ -e "$work/opened" ] || fail "xdg-open was not started after the message"
[ "$(cat "$work/opened")" = "$files/lista.txt" ] ||
    fail "xdg-open was given \"$(cat "$work/opened")\", not $files/lista.txt"

step "Alt+V answered Yes ends the program and keeps the folder"
keys "$main" alt+v
question=$(window_named 'Avsluta\?' 10) || fail "Alt+V asked nothing"
keys "$question" Return
program_ended "$program_pid" 20 || fail "the program did not end after Yes"
[ "$program_status" = 0 ] || fail "the program ended with status $program_status"
printf '%s\r\n' "$folder" >"$work/expected-setup"
[ -f "$files/setup.ini" ] || fail "no setup.ini in \$XDG_DATA_HOME/trovan"
cmp "$work/expected-setup" "$files/setup.ini" || {
    od -c "$files/setup.ini" >&2 || true
    fail "setup.ini does not name the searched folder on one CR LF line"
}

step "nothing was written in /usr"
written=$(find /usr -xdev -newer "$work/installed" -print 2>/dev/null | head -n 20)
[ -z "$written" ] || fail "written in /usr while the program ran: $written"
echo "PASSED"
