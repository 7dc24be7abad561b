#!/usr/bin/env bash
# The desktop entry, the AppStream metainfo and the icons the build made are valid.
. "$(dirname "$0")/common.sh"
out="$1"
id=com.auralis.AuralisManager

need desktop-file-validate desktop-file-utils
need appstreamcli appstream

desktop-file-validate "$out/$id.desktop" || fail "desktop entry"
grep -q '^Icon=com.auralis.AuralisManager$' "$out/$id.desktop" || fail "the entry names another icon"
grep -q '^Name=Try with virtual earbuds$' "$out/$id.desktop" || fail "no virtual-earbuds action"
grep -q '^StartupWMClass=com.auralis.AuralisManager$' "$out/$id.desktop" ||
  fail "the entry does not name the window class"

# The metainfo names no address that cannot be reached (no made-up homepage or screenshots), so
# the check that fetches every address passes as well as the one that fetches none.
appstreamcli validate --no-net --pedantic "$out/$id.metainfo.xml" || fail "metainfo"
timeout 120 appstreamcli validate --pedantic "$out/$id.metainfo.xml" || fail "metainfo (network)"
! grep -q 'https\?://' "$out/$id.metainfo.xml" || fail "the metainfo names a web address"

for size in 16 24 32 48 64 128 256; do
  png="$out/icons/hicolor/${size}x$size/apps/$id.png"
  [ -f "$png" ] || fail "no ${size}px icon"
  # PNG header: the width and height are big-endian words at bytes 16 and 20.
  read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
    awk '{ print $3 * 256 + $4, $7 * 256 + $8 }')
  [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "$png is ${width}x$height"
done
grep -q '<svg' "$out/icons/$id.svg" || fail "the scalable icon is not an SVG"
echo "desktop entry, metainfo and icons are valid"
