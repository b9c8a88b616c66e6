#!/usr/bin/env bash
# The Debian package as the build makes it, read as Debian's maintainers read one: lintian
# without a single error, warning or informational tag; a hardened program; its file name, its
# files and only those (the program itself in /usr/bin, not the per-user layout's launcher and
# program folder); the fields apt reads and the dependencies as Debian 12 has them; a changelog
# for this version; a copyright file stating the metainfo's licences; manual pages that man
# renders without a warning and finds by language; the icon at every size; and a desktop entry
# and metainfo that validate and agree with each other and with the package.
#
# Usage: deb_contents.sh CPACK BUILD-DIR SOURCE-DIR
set -euo pipefail

cpack=$1
build_dir=$2
source_dir=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/trovan-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

"$cpack" --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log" >&2
    fail "cpack -G DEB failed"
}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=\([0-9]*\.[0-9]*\).*/\1/p' "$build_dir/CMakeCache.txt")
deb="$work/out/trovan_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no package $(basename "$deb"); made: $(ls "$work/out")"

echo "-- lintian: no error, warning or informational tag"
# Root gets a note on standard error that lintian would rather not run as root.
lintian --display-info --fail-on error,warning,info "$deb" >"$work/lintian" 2>"$work/lintian.err" || {
    cat "$work/lintian" "$work/lintian.err" >&2
    fail "lintian failed on $(basename "$deb")"
}
if grep -E '^[EWIX]: ' "$work/lintian"; then
    fail "lintian tags the package"
fi

echo "-- the files, at their places"
dpkg-deb -c "$deb" >"$work/listing"
awk '$1 !~ /^d/ { print $1, $2, $6 }' "$work/listing" | sort >"$work/files"
{
    cat <<LIST
-rwxr-xr-x root/root ./usr/bin/trovan
-rw-r--r-- root/root ./usr/share/applications/trovan.desktop
-rw-r--r-- root/root ./usr/share/doc/trovan/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/trovan/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/trovan.svg
-rw-r--r-- root/root ./usr/share/man/en/man1/trovan.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/trovan.1.gz
-rw-r--r-- root/root ./usr/share/metainfo/se.trovan.trovan.metainfo.xml
LIST
    for size in 16 24 32 48 64 128 256; do
        echo "-rw-r--r-- root/root ./usr/share/icons/hicolor/${size}x$size/apps/trovan.png"
    done
} | sort >"$work/expected-files"
diff -u "$work/expected-files" "$work/files" || fail "the package holds other files than expected"

echo "-- the control fields"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = trovan ] || fail "Package is \"$(field Package)\""
[ "$(field Version)" = "$version" ] || fail "Version is \"$(field Version)\", not $version"
[ -n "$(field Maintainer)" ] || fail "the package names no maintainer"
# Each relation by name, its version constraint left aside.
names() { field "$1" | tr ',' '\n' | sed -e 's/(.*)//' -e 's/^ *//' -e 's/ *$//' | sort -u; }
names Depends >"$work/depends"
names Recommends >"$work/recommends"
# Qt's X11 platform plugin is in libqt6gui6; qt6-qpa-plugins holds only others in Debian 12.
for needed in libqt6core6 libqt6gui6 libqt6widgets6 libmount1 liburing2 fonts-liberation xdg-utils \
    libc6 libstdc++6; do
    grep -qx "$needed" "$work/depends" || fail "Depends lacks $needed: $(field Depends)"
done
! grep -qx qt6-qpa-plugins "$work/depends" || fail "Depends names qt6-qpa-plugins: $(field Depends)"
for recommended in qt6-wayland qt6-translations-l10n; do
    grep -qx "$recommended" "$work/recommends" ||
        fail "Recommends lacks $recommended: $(field Recommends)"
done

echo "-- a hardened program"
root="$work/root"
dpkg-deb -x "$deb" "$root"
program="$root/usr/bin/trovan"
[ "$(head -c 4 "$program" | od -An -c | tr -d ' ')" = '177ELF' ] ||
    fail "/usr/bin/trovan is not a program (a launcher script?)"
# Control-flow protection cannot be had: Debian 12's C library start files are not marked.
hardening-check --nocfprotection "$program" >"$work/hardening" 2>&1 || {
    cat "$work/hardening" >&2
    fail "hardening-check finds /usr/bin/trovan lacking"
}
cat "$work/hardening"
readelf -h "$program" | grep -q 'Type: *DYN' || fail "/usr/bin/trovan is not position-independent"
readelf -d "$program" | grep -q 'FLAGS.*BIND_NOW' || fail "/usr/bin/trovan is not bound at start"
! readelf -S -W "$program" | grep -q ' \.comment ' || fail "/usr/bin/trovan has a .comment section"
# An rpath into the build folder would load that folder's libraries on this machine only.
if readelf -d "$program" | grep -E 'R(UN)?PATH'; then
    fail "/usr/bin/trovan carries a library search path"
fi

echo "-- the changelog and the copyright file"
zcat "$root/usr/share/doc/trovan/changelog.gz" >"$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] ||
    fail "the changelog's newest entry is not for $version"
copyright="$root/usr/share/doc/trovan/copyright"
format='Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/'
head -n 1 "$copyright" | grep -qxF "$format" ||
    fail "the copyright file is not in the machine-readable format"
metainfo="$root/usr/share/metainfo/se.trovan.trovan.metainfo.xml"
# licence_of FILES-PATTERN: the License of that Files paragraph.
licence_of() {
    awk -v files="$1" '/^Files: / { here = ($0 == "Files: " files) } here && /^License: / {
        print substr($0, 10); exit }' "$copyright"
}
project=$(sed -n 's:.*<project_license>LicenseRef-\(.*\)</project_license>.*:\1:p' "$metainfo")
[ -n "$project" ] && [ "$(licence_of '*')" = "$project" ] ||
    fail "the copyright file licenses Files: * as \"$(licence_of '*')\"," \
        "the metainfo as \"$project\""
# The metainfo's own licence, MIT, is the one Debian calls Expat.
grep -q '<metadata_license>MIT</metadata_license>' "$metainfo" &&
    [ "$(licence_of usr/share/metainfo/se.trovan.trovan.metainfo.xml)" = Expat ] ||
    fail "the copyright file does not give the metainfo its MIT (Expat) licence"

echo "-- the manual pages"
# man finds trovan(1) in Swedish, and in English for an English locale.
pages="$root/usr/share/man"
[ "$(MANPATH="$pages" man -L sv_SE -w trovan)" = "$pages/man1/trovan.1.gz" ] ||
    fail "man -L sv_SE finds $(MANPATH="$pages" man -L sv_SE -w trovan)"
[ "$(MANPATH="$pages" man -L en_GB -w trovan)" = "$pages/en/man1/trovan.1.gz" ] ||
    fail "man -L en_GB finds $(MANPATH="$pages" man -L en_GB -w trovan)"
options=$(LC_ALL=C.UTF-8 "$program" --help | grep -oE -- '--[a-z]+' | sort -u)
[ -n "$options" ] || fail "trovan --help names no option"
"$program" --bogus >/dev/null 2>&1 && unknown=0 || unknown=$?
check_page() { # PAGE NAME-HEADING EXIT-STATUS-HEADING
    local page=$1
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" \
        >"$work/page" 2>"$work/page.err" ||
        fail "man cannot render $page: $(cat "$work/page.err")"
    [ ! -s "$work/page.err" ] || fail "man warns on $page: $(cat "$work/page.err")"
    grep -q "^$2\$" "$work/page" || fail "$page has no section $2"
    local option file
    for option in $options; do
        grep -q -- "$option" "$work/page" || fail "$page does not describe $option"
    done
    for file in setup.ini lista.txt XDG_DATA_HOME; do
        grep -q "$file" "$work/page" || fail "$page does not say where $file is kept"
    done
    # The statuses section lists 0 and the status of an unknown option.
    sed -n "/^$3\$/,/^[^ ]/p" "$work/page" >"$work/statuses"
    for status in 0 "$unknown"; do
        grep -qE "^ +$status " "$work/statuses" || fail "$page's $3 lacks the status $status"
    done
}
check_page "$pages/man1/trovan.1.gz" NAMN SLUTSTATUS
check_page "$pages/en/man1/trovan.1.gz" NAME 'EXIT STATUS'

echo "-- the icon at every size, as ui/icons has it"
for size in 16 24 32 48 64 128 256; do
    cmp "$source_dir/ui/icons/trovan-$size.png" \
        "$root/usr/share/icons/hicolor/${size}x$size/apps/trovan.png" ||
        fail "the ${size}x$size icon is not ui/icons/trovan-$size.png"
done
cmp "$source_dir/ui/icons/trovan.svg" "$root/usr/share/icons/hicolor/scalable/apps/trovan.svg" ||
    fail "the scalable icon is not ui/icons/trovan.svg"

echo "-- the desktop entry"
entry="$root/usr/share/applications/trovan.desktop"
validation=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $validation"
[ -z "$validation" ] || fail "desktop-file-validate complains: $validation"
value() { sed -n "s/^$1=//p" "$entry"; }
# The program is on PATH; a file manager puts the folder in place of %f.
[ "$(value Exec)" = "trovan %f" ] || fail "Exec is \"$(value Exec)\", not \"trovan %f\""
[ "$(value TryExec)" = trovan ] || fail "TryExec is \"$(value TryExec)\""
[ "$(value MimeType)" = "inode/directory;" ] || fail "MimeType is \"$(value MimeType)\""
[ "$(value Icon)" = trovan ] || fail "Icon is \"$(value Icon)\""
# Found from a menu's search in English and in Swedish.
for key in Name GenericName Comment Keywords 'Name\[sv\]' 'GenericName\[sv\]' 'Comment\[sv\]' \
    'Keywords\[sv\]'; do
    [ -n "$(value "$key")" ] || fail "the desktop entry has no $key"
done
for word in find search; do
    [[ ";$(value Keywords)" == *";$word;"* ]] || fail "Keywords \"$(value Keywords)\" lack $word"
done
for word in hitta sök; do
    [[ ";$(value 'Keywords\[sv\]')" == *";$word;"* ]] ||
        fail "Keywords[sv] \"$(value 'Keywords\[sv\]')\" lack $word"
done

echo "-- the metainfo"
validation=$(appstreamcli validate --pedantic --no-net "$metainfo" 2>&1) ||
    fail "appstreamcli validate: $validation"
[ "$validation" = "✔ Validation was successful." ] ||
    fail "appstreamcli validate --pedantic: $validation"
grep -q '<id>se.trovan.trovan</id>' "$metainfo" || fail "the metainfo's id is not its file's name"
grep -q '<launchable type="desktop-id">trovan.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch trovan.desktop"
grep -q '<developer_name>' "$metainfo" || fail "the metainfo names no developer"
for element in name summary keyword; do
    grep -q "<$element>" "$metainfo" || fail "the metainfo has no English <$element>"
    grep -q "<$element xml:lang=\"sv\">" "$metainfo" ||
        fail "the metainfo has no Swedish <$element>"
done
# The newest release is this version, and says what it brought.
sed -n '/<releases>/,/<\/release>/p' "$metainfo" >"$work/release"
grep -q "<release version=\"$version\" date=\"[0-9-]*\">" "$work/release" ||
    fail "the metainfo's newest release is not $version"
grep -q '<description>' "$work/release" || fail "the metainfo's release $version has no description"
grep -q "<summary>$(value Comment)</summary>" "$metainfo" ||
    fail "the desktop entry's Comment is not the metainfo's summary"
echo "PASSED"
