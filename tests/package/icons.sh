#!/usr/bin/env bash
# The program's icons in ui/icons: every size the hicolor theme is given, each as large as its
# name says; byte for byte what tools/make_icon draws now; and the SVG, drawn by librsvg, shows
# the same picture as the largest PNG.
#
# Usage: icons.sh MAKE-ICON ICON-FOLDER SCRATCH-FOLDER
set -euo pipefail

make_icon=$1
icons=$2
scratch=$3
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

echo "-- every size, as large as its name says"
for size in 16 24 32 48 64 128 256; do
    picture="$icons/trovan-$size.png"
    [ -f "$picture" ] || fail "no $picture"
    [ "$(identify -format '%wx%h' "$picture")" = "${size}x$size" ] ||
        fail "$picture is $(identify -format '%wx%h' "$picture")"
done
[ -f "$icons/trovan.svg" ] || fail "no scalable icon $icons/trovan.svg"

echo "-- the committed files are what make_icon draws"
rm -rf "$scratch"
mkdir -p "$scratch/drawn"
"$make_icon" "$scratch/drawn"
diff -r "$scratch/drawn" "$icons" ||
    fail "ui/icons is not what make_icon draws (the program_icon target draws it again)"

echo "-- the SVG shows the picture the PNGs show"
rsvg-convert -w 256 -h 256 "$icons/trovan.svg" -o "$scratch/svg-256.png" ||
    fail "librsvg cannot draw trovan.svg"
# Edges are anti-aliased a little differently; a shape out of place or a wrong colour differs
# in thousands of pixels.
differing=$(compare -metric AE -fuzz 10% "$icons/trovan-256.png" "$scratch/svg-256.png" null: 2>&1) ||
    true
[[ "$differing" =~ ^[0-9]+$ ]] || fail "compare: $differing"
[ "$differing" -le 655 ] ||
    fail "the SVG drawn at 256 pixels differs from trovan-256.png in $differing pixels of 65536"
echo "PASSED"
