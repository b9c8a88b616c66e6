#!/usr/bin/env bash
# The Debian package as the build makes it: its file name, its files and only those (the
# program itself in /usr/bin, not the per-user layout's launcher and program folder), the
# fields apt reads, the run-time dependencies, and a desktop entry and metainfo that validate
# and agree with each other and with the package.
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

echo "-- the files, at their places"
dpkg-deb -c "$deb" >"$work/listing"
awk '$1 !~ /^d/ { print $1, $2, $6 }' "$work/listing" | sort >"$work/files"
sort >"$work/expected-files" <<LIST
-rwxr-xr-x root/root ./usr/bin/trovan
-rw-r--r-- root/root ./usr/share/applications/trovan.desktop
-rw-r--r-- root/root ./usr/share/icons/hicolor/32x32/apps/trovan.png
-rw-r--r-- root/root ./usr/share/metainfo/se.trovan.trovan.metainfo.xml
LIST
diff -u "$work/expected-files" "$work/files" || fail "the package holds other files than expected"

echo "-- the control fields"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = trovan ] || fail "Package is \"$(field Package)\""
[ "$(field Version)" = "$version" ] || fail "Version is \"$(field Version)\", not $version"
[ -n "$(field Maintainer)" ] || fail "the package names no maintainer"
# Each dependency by name, its version constraint left aside.
field Depends | tr ',' '\n' | sed -e 's/(.*)//' -e 's/^ *//' -e 's/ *$//' | sort -u >"$work/depends"
for needed in libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins fonts-liberation xdg-utils \
    libc6 libstdc++6; do
    grep -qx "$needed" "$work/depends" || fail "Depends lacks $needed: $(field Depends)"
done

echo "-- what the files hold"
root="$work/root"
dpkg-deb -x "$deb" "$root"
[ "$(head -c 4 "$root/usr/bin/trovan" | od -An -c | tr -d ' ')" = '177ELF' ] ||
    fail "/usr/bin/trovan is not a program (a launcher script?)"
# An rpath into the build folder would load that folder's libraries on this machine only.
if readelf -d "$root/usr/bin/trovan" | grep -E 'R(UN)?PATH'; then
    fail "/usr/bin/trovan carries a library search path"
fi
cmp "$source_dir/ui/trovan.png" "$root/usr/share/icons/hicolor/32x32/apps/trovan.png" ||
    fail "the icon is not ui/trovan.png"

entry="$root/usr/share/applications/trovan.desktop"
validation=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $validation"
[ -z "$validation" ] || fail "desktop-file-validate complains: $validation"
value() { sed -n "s/^$1=//p" "$entry"; }
# The program is on PATH; a file manager puts the folder in place of %f.
[ "$(value Exec)" = "trovan %f" ] || fail "Exec is \"$(value Exec)\", not \"trovan %f\""
[ "$(value TryExec)" = trovan ] || fail "TryExec is \"$(value TryExec)\""
[ "$(value MimeType)" = "inode/directory;" ] || fail "MimeType is \"$(value MimeType)\""
[ "$(value Icon)" = trovan ] || fail "Icon is \"$(value Icon)\""

metainfo="$root/usr/share/metainfo/se.trovan.trovan.metainfo.xml"
validation=$(appstreamcli validate --no-net "$metainfo" 2>&1) ||
    fail "appstreamcli validate: $validation"
grep -q 'Validation was successful\.$' <<<"$validation" || fail "appstreamcli validate: $validation"
grep -q '<id>se.trovan.trovan</id>' "$metainfo" || fail "the metainfo's id is not its file's name"
grep -q '<launchable type="desktop-id">trovan.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch trovan.desktop"
grep -q "<release version=\"$version\" date=\"[0-9-]*\"" "$metainfo" ||
    fail "the metainfo's newest release is not $version"
echo "PASSED"
