#!/usr/bin/env bash
# Renders the README's screenshots on a private X server (Xvfb): the option state with a
# pattern typed and subfolders on, the result state after searching a small sample tree, the
# result list's context menu on two marked entries, and the about window. The program is driven
# from outside, as a person would, and writes into docs/screenshots/ options.png, results.png,
# context-menu.png and about.png.
#
# Usage: bash scripts/screenshots.sh [BUILD-DIR]   (default: build; build it first)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
binary="${1:-$top/build}/trovan"
[ -x "$binary" ] || {
    echo "No program at $binary: build it first (cmake --build build)." >&2
    exit 1
}
out="$top/docs/screenshots"
mkdir -p "$out"
for tool in xwd convert; do
    command -v "$tool" >/dev/null || {
        echo "$tool is missing: run scripts/install-deps.sh." >&2
        exit 1
    }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/trovan-screenshots.XXXXXX")
# shellcheck source-path=SCRIPTDIR source=../tests/e2e/xsession.sh
source "$top/tests/e2e/xsession.sh"
xsession_start
xsession_window_manager

# The sample tree lies at a fixed, short place, since its path shows in the pictures.
sample=/tmp/trovan-exempel
rm -rf "$sample"
trap 'rm -rf "$sample"; xsession_stop' EXIT
project="$sample/Projekt"
mkdir -p "$project/Rapporter/Utkast" "$project/Bilder"
touch "$project/anteckningar.txt" "$project/budget.ods" "$project/läs mig.txt" \
    "$project/Rapporter/årsrapport 2023.txt" "$project/Rapporter/kvartal 1.txt" \
    "$project/Rapporter/kvartal 2.txt" "$project/Rapporter/Utkast/ny rapport.txt" \
    "$project/Bilder/semester.jpg" "$project/Bilder/karta.png"

mkdir "$work/Program"
cp "$binary" "$work/Program/trovan"
printf '%s\r\n' "$project" >"$work/Program/setup.ini"

# picture WINDOW NAME: the window's client area, as it shows now, without the pointer's hover.
picture() {
    xdotool mousemove 0 0
    window_settled "$1" >/dev/null || fail "the window did not settle for $2"
    xwd -silent -id "$1" | convert xwd:- -strip "$out/$2"
    echo "wrote docs/screenshots/$2"
}

xsession_launch /usr/local/bin:/usr/bin:/bin "$work/Program/trovan"
main=$(window_named Trovan 30) || fail "the main window did not appear"

click "$main" 352 41 # the pattern box
keys "$main" ctrl+a
typed "$main" '*.txt'
click "$main" 266 64 # "Inkludera undermappar"
picture "$main" options.png

heading=$(window_region "$main" 250x28+0+0)
keys "$main" Return
region_changed "$main" 250x28+0+0 "$heading" 20 || fail "Enter did not show the result panel"
picture "$main" results.png

# The context menu is a window of its own, which comes up where the pointer is: its picture is
# laid over the main window's at the spot of the right click.
click "$main" 60 33 # the first entry
xdotool keydown ctrl
click "$main" 60 49 # and the second
xdotool keyup ctrl
xdotool mousemove --window "$main" 150 49 click 3
menu=""
for _ in $(seq 100); do
    menu=$(xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null | grep -vx "$main" |
        head -n 1) || true
    [ -n "$menu" ] && break
    sleep 0.1
done
[ -n "$menu" ] || fail "no context menu after a right click on an entry"
window_settled "$menu" >/dev/null || fail "the context menu did not settle"
xwd -silent -id "$main" | convert xwd:- "$work/main.png"
xwd -silent -id "$menu" | convert xwd:- "$work/menu.png"
convert "$work/main.png" "$work/menu.png" -geometry +150+49 -composite -strip \
    "$out/context-menu.png"
echo "wrote docs/screenshots/context-menu.png"
xdotool key Escape

click "$main" 376 320 # "Om..."
about=$(window_named 'Om\.\.\.' 10) || fail "the about window did not open"
picture "$about" about.png
keys "$about" Return
window_gone 'Om\.\.\.' 10 || fail "the about window stayed open"

click "$main" 196 268 # "Spara lista i textfil"
saved=$(window_named 'Fil sparad' 10) || fail "no \"Fil sparad\" message"
picture "$saved" message-saved.png
keys "$saved" Return
window_gone 'Fil sparad' 10 || fail "the \"Fil sparad\" message stayed"

# The files are gone since the search: the first entry opens nothing and says why.
find "$project" -name '*.txt' -delete
click "$main" 60 33     # the first entry of the result list
click "$main" 348 268   # "Öppna markerad fil"
failed=""
for _ in $(seq 100); do
    failed=$(xdotool search --onlyvisible --name '^Trovan$' | grep -vx "$main" | head -n 1) || true
    [ -n "$failed" ] && break
    sleep 0.1
done
[ -n "$failed" ] || fail "no message for an entry that is no file"
picture "$failed" message-error.png
keys "$failed" Return

keys "$main" alt+v
question=$(window_named 'Avsluta\?' 10) || fail "Alt+V asked nothing"
picture "$question" message-exit.png
keys "$question" Return
program_ended "$program_pid" 20 || fail "the program did not end"
