#!/usr/bin/env bash
# Installing: a fresh configuration installs into the user's own ~/.local unless given a prefix;
# `cmake --install` into a temporary prefix gives the program a folder of its own, a launcher,
# a desktop entry that desktop-file-validate accepts, the icons and the manual pages; the entry's
# command started on a real X server (Xvfb) shows the window, and a search and leaving keep
# setup.ini in the program folder.
# Skips (77) only when no X server can be started.
#
# Usage: install_and_launch.sh CMAKE GENERATOR SOURCE-DIR BUILD-DIR
set -euo pipefail

cmake=$1
generator=$2
source_dir=$3
build_dir=$4
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/trovan-install.XXXXXX")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
xsession_start

step "the default prefix is the user's own ~/.local; a prefix given is kept"
configure() {
    env HOME="$work/home" "$cmake" -S "$source_dir" -B "$1" -G "$generator" "${@:2}" \
        >"$work/configure.log" 2>&1 || {
        cat "$work/configure.log" >&2
        fail "configuring $1 failed"
    }
}
cached_prefix() {
    sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$1/CMakeCache.txt"
}
configure "$work/default"
[ "$(cached_prefix "$work/default")" = "$work/home/.local" ] ||
    fail "without a prefix the install goes to $(cached_prefix "$work/default"), not ~/.local"
configure "$work/given" -DCMAKE_INSTALL_PREFIX="$work/given-prefix"
[ "$(cached_prefix "$work/given")" = "$work/given-prefix" ] ||
    fail "the prefix given was replaced by $(cached_prefix "$work/given")"
configure "$work/given"
[ "$(cached_prefix "$work/given")" = "$work/given-prefix" ] ||
    fail "configuring again replaced the prefix given by $(cached_prefix "$work/given")"

# A prefix with a blank and a dollar sign: the launcher and the entry's command must quote.
prefix="$work/Mitt \$prefix"
step "install into $prefix"
"$cmake" --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1 || {
    cat "$work/install.log" >&2
    fail "cmake --install failed"
}
launcher="$prefix/bin/trovan"
program_folder="$prefix/lib/trovan"
entry="$prefix/share/applications/trovan.desktop"
[ -x "$launcher" ] || fail "no launcher at bin/trovan"
[ -x "$program_folder/trovan" ] || fail "no program at lib/trovan/trovan"
[ -f "$entry" ] || fail "no desktop entry at share/applications/trovan.desktop"
for size in 16 24 32 48 64 128 256; do
    cmp "$source_dir/ui/icons/trovan-$size.png" \
        "$prefix/share/icons/hicolor/${size}x$size/apps/trovan.png" ||
        fail "the ${size}x$size icon in the hicolor theme is not ui/icons/trovan-$size.png"
done
cmp "$source_dir/ui/icons/trovan.svg" "$prefix/share/icons/hicolor/scalable/apps/trovan.svg" ||
    fail "the scalable icon in the hicolor theme is not ui/icons/trovan.svg"
# man looks in share/man beside each bin folder on PATH.
for page in man1/trovan.1.gz en/man1/trovan.1.gz; do
    [ -f "$prefix/share/man/$page" ] || fail "no manual page share/man/$page"
done

step "the desktop entry is valid and names the launcher"
validation=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $validation"
[ -z "$validation" ] || fail "desktop-file-validate complains: $validation"
value() { sed -n "s/^$1=//p" "$entry"; }
[ "$(value Name)" = Trovan ] || fail "Name is \"$(value Name)\""
[ "$(value Icon)" = trovan ] || fail "Icon is \"$(value Icon)\""
[ -n "$(value Comment)" ] || fail "the entry has no Comment"
for category in Utility FileTools; do
    case ";$(value Categories)" in
    *";$category;"*) ;;
    *) fail "Categories \"$(value Categories)\" lack $category" ;;
    esac
done
[ "$(value MimeType)" = "inode/directory;" ] || fail "MimeType is \"$(value MimeType)\""
# The command as a desktop reads it: one quoted argument and the folder's field code, string
# escapes first, then the escapes inside quotes.
exec_value=$(value Exec)
case "$exec_value" in
*' %f') ;;
*) fail "Exec=$exec_value does not end with the folder's field code %f" ;;
esac
command=$(printf '%s' "${exec_value% %f}" | sed -e 's/\\\\/\\/g' -e 's/^"\(.*\)"$/\1/' \
    -e 's/\\\(["`$\\]\)/\1/g')
[ "$command" = "$launcher" ] || fail "Exec=$exec_value does not start $launcher"

step "the entry's command starts the installed program on $DISPLAY"
xsession_launch /usr/local/bin:/usr/bin:/bin "$command"
main=$(window_named Trovan 30) || fail "the launcher showed no window \"Trovan\""
[ "$(readlink -f "/proc/$program_pid/exe")" = "$(readlink -f "$program_folder/trovan")" ] ||
    fail "the window belongs to $(readlink -f "/proc/$program_pid/exe"), not the installed program"

step "a search, then leaving, keeps setup.ini in the program folder"
sleep 1 # the folder list reads the folder it starts in
keys "$main" alt+s
sleep 1
keys "$main" alt+v
question=$(window_named 'Avsluta\?' 10) || fail "Alt+V asked nothing"
keys "$question" Return
program_ended "$program_pid" 20 || fail "the program did not end after Yes"
[ "$program_status" = 0 ] || fail "the program ended with status $program_status"
# One line: the folder searched, which is there.
saved=$(tr -d '\r\n' <"$program_folder/setup.ini") ||
    fail "no setup.ini in the program folder after a search"
[ -d "$saved" ] && [ "$(tail -c 2 "$program_folder/setup.ini" | od -An -c | tr -d ' ')" = '\r\n' ] ||
    fail "setup.ini in the program folder does not name the folder searched on one CR LF line"
echo "PASSED"
