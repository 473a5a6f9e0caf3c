#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop and a
# package manager will find there: every file in place, the desktop entry and
# the metainfo valid by their own validators, an icon of each size as drawn,
# a manual page that groff reads without a warning and that names every
# option of the tool, and the installed tool running.
#
#   installed_files.sh BUILD_DIR
set -uo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
. "$(dirname "$0")/lib.sh"
read_version "$build"

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
id=org.quillmend.Quillmend
share=$prefix/share

expected=(
  bin/quillmend
  bin/quillmend-cli
  share/applications/$id.desktop
  share/metainfo/$id.metainfo.xml
  share/icons/hicolor/scalable/apps/$id.svg
  share/man/man1/quillmend-cli.1.gz
)
for size in 16 24 32 48 64 128 256 512; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for file in "${expected[@]}"; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
# Nothing else: no test, benchmark or helper program goes with the package.
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
[ "$installed" = "$wanted" ] || fail "installed files differ: $(diff <(echo "$wanted") <(echo "$installed") | grep '^[<>]' | tr '\n' ' ')"

for size in 16 24 32 48 64 128 256 512; do
  png=$share/icons/hicolor/${size}x${size}/apps/$id.png
  file -b "$png" | grep -q "PNG image data, $size x $size," || fail "icon $size: $(file -b "$png")"
done

desktop-file-validate "$share/applications/$id.desktop" || fail "desktop-file-validate"
grep -qx 'Name=Quillmend' "$share/applications/$id.desktop" || fail "desktop entry name"
# The program takes no file from the desktop, so it must not be offered in "Open with".
! grep -q '^MimeType=' "$share/applications/$id.desktop" || fail "desktop entry offers file types"
! grep -q '<mediatype>' "$share/metainfo/$id.metainfo.xml" || fail "metainfo announces file types"
grep -qx 'Categories=Utility;' "$share/applications/$id.desktop" || fail "desktop entry category"
appstreamcli validate --no-net --pedantic "$share/metainfo/$id.metainfo.xml" >"$prefix/appstream.log" 2>&1 \
  || { cat "$prefix/appstream.log"; fail "appstreamcli validate"; }
grep -q "<release version=\"$release\"" "$share/metainfo/$id.metainfo.xml" || fail "metainfo release"

man_page=$prefix/man.1
gzip -dc "$share/man/man1/quillmend-cli.1.gz" >"$man_page" || fail "manual page not gzip"
warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z "$man_page" 2>&1)
[ -z "$warnings" ] || fail "groff: $warnings"
grep -q "^.TH QUILLMEND-CLI 1 .*\"Quillmend $short_version\"" "$man_page" || fail "manual page version"
help=$("$prefix/bin/quillmend-cli" --help)
for option in $(grep -o -- '--[a-z-]*' <<<"$help" | sort -u); do
  grep -q -- "$(sed 's/-/\\\\-/g' <<<"$option")" "$man_page" || fail "manual page lacks $option"
done

version=$("$prefix/bin/quillmend-cli" --version)
[ "$version" = "quillmend-cli $short_version" ] || fail "installed tool says: $version"

echo "${#expected[@]} files checked"
finish installed_files
