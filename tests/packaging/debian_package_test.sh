#!/usr/bin/env bash
# The Debian package: made by CPack (dependencies by dpkg-shlibdeps), free of lintian errors,
# installed by dpkg into a scratch root, its programs run from there, then purged leaving
# nothing behind.
. "$(dirname "$0")/common.sh"
build="$1"
bin="$2"

need dpkg-deb dpkg
need dpkg-shlibdeps dpkg-dev
need cpack cmake
[ -x "$bin/auralis-appshots" ] || skip "needs auralis-appshots (build it first)"

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  fail "cpack: $(tail -20 "$scratch/cpack.log")"
deb="$(ls "$scratch"/out/*.deb)"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

fields="$(dpkg-deb -f "$deb" Package Section Depends)"
echo "$fields"
grep -q '^Section: sound$' <<<"$fields" || fail "section"
for library in libsdl2 libcairo2 libpango libcurl; do
  grep -q "$library" <<<"$fields" || fail "Depends lacks $library (dpkg-shlibdeps)"
done
contents="$(dpkg-deb -c "$deb")"
grep -q '\./usr/share/doc/auralis-manager/copyright$' <<<"$contents" || fail "no copyright"

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 ||
    fail "lintian: $(cat "$scratch/lintian.log")"
  grep '^E:' "$scratch/lintian.log" && fail "lintian errors"
  echo "lintian: $(grep -c '^W:' "$scratch/lintian.log" || true) warnings"
else
  echo "lintian not installed (Debian package lintian): not checked"
fi

root="$scratch/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg_root() {
  dpkg --root="$root" --log=/dev/null --force-not-root --force-depends \
    --force-script-chrootless "$@"
}
dpkg_root -i "$deb" >"$scratch/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$scratch/dpkg.log")"

usr="$root/usr"
for program in AuralisManager AuralisManagerUpdateClient auralis-ctl auralis-sim; do
  "$usr/bin/$program" --help >/dev/null 2>&1 || fail "installed $program --help"
done
printf 'firmware image' >"$scratch/image.bin"
"$usr/bin/auralis-ctl" fw pack "$scratch/fw.bin" 1="$scratch/image.bin" >/dev/null || fail "fw pack"
info="$("$usr/bin/auralis-ctl" --json fw info "$scratch/fw.bin")" || fail "fw info"
grep -q '"valid":true' <<<"$info" || fail "fw info: $info"
cp "$bin/auralis-appshots" "$usr/lib/auralis-manager/"
AURALIS_LANG=en-US "$usr/lib/auralis-manager/auralis-appshots" "$scratch/shots" \
  >"$scratch/shots.log" 2>&1 || fail "appshots on the installed package: $(tail -5 "$scratch/shots.log")"
rm "$usr/lib/auralis-manager/auralis-appshots"
ls "$scratch/shots"/*.png >/dev/null || fail "no screens drawn"

dpkg_root -P auralis-manager >"$scratch/dpkg.log" 2>&1 || fail "dpkg -P: $(cat "$scratch/dpkg.log")"
left="$(cd "$root" && find . -mindepth 1 ! -path './var' ! -path './var/lib' \
  ! -path './var/lib/dpkg' ! -path './var/lib/dpkg/*')"
[ -z "$left" ] || fail "left behind after purge: $left"
echo "package installed, run and purged cleanly"
