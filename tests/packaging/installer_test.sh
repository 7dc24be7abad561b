#!/usr/bin/env bash
# The per-user installer's own rules, on a small stand-in program tree packed like the real one:
# a prefix with blanks, '&' and quotes in its name gets a desktop entry that starts the programs
# from there; new folders are readable by everyone whatever the umask; a link the user made at
# PREFIX/lib/auralis-manager is replaced but what it pointed at is kept; what killed runs left
# (unpacked copies in the temporary folder, half-staged program folders) goes on the next run.
. "$(dirname "$0")/common.sh"
script="$1"

need makeself makeself
[ -f "$script" ] || skip "no installer script $script (configure with makeself installed)"
export TMPDIR="$scratch/tmpdir"
mkdir -p "$TMPDIR"

# The stand-in tree: programs that only answer --help, and the desktop entry as the build makes it.
stage="$scratch/stage"
mkdir -p "$stage/tree/lib/auralis-manager" "$stage/tree/share/applications"
for program in AuralisManager AuralisManagerUpdateClient auralis-ctl auralis-sim auralis-manager-try; do
  printf '#!/bin/sh\necho "%s $*"\n' "$program" >"$stage/tree/lib/auralis-manager/$program"
  chmod 755 "$stage/tree/lib/auralis-manager/$program"
done
printf '[Desktop Entry]\nType=Application\nExec=AuralisManager\nTryExec=AuralisManager\n%s\n%s\n' \
  '[Desktop Action try-virtual]' 'Exec=auralis-manager-try --flag' \
  >"$stage/tree/share/applications/com.auralis.AuralisManager.desktop"
cp "$script" "$stage/install.sh"
chmod 755 "$stage/install.sh"
installer="$scratch/setup.run"
makeself --quiet --nox11 "$stage" "$installer" "Auralis Manager 0.0.1" ./install.sh >/dev/null 2>&1 ||
  fail "cannot pack the stand-in installer"

install_into() {
  (umask 077 && printf '%s\ny\n' "$1" | "$installer") >"$scratch/install.log" 2>&1 ||
    fail "install into $1: $(cat "$scratch/install.log")"
}

# --- a prefix no shell or desktop would read as one word -------------------------------------
prefix="$scratch/odd \"name\" & \$HOME\\x 100%"
install_into "$prefix"
entry="$prefix/share/applications/com.auralis.AuralisManager.desktop"
# Exec: in double quotes, '"', '$' and '\' escaped by '\', then every '\' doubled; '%' doubled.
quoted="$(printf '%s' "$prefix" | sed -e 's/[\\"`$]/\\&/g' -e 's/\\/\\\\/g' -e 's/%/%%/g')"
grep -qxF "Exec=\"$quoted/bin/AuralisManager\"" "$entry" ||
  fail "the main Exec line does not hold the prefix as one argument: $(grep Exec "$entry")"
grep -qxF "Exec=\"$quoted/bin/auralis-manager-try\" --flag" "$entry" ||
  fail "the action's Exec line lost the prefix or its arguments: $(grep Exec "$entry")"
grep -qxF "TryExec=$(printf '%s' "$prefix" | sed -e 's/\\/\\\\/g')/bin/AuralisManager" "$entry" ||
  fail "TryExec is not the program's path: $(grep TryExec "$entry")"
"$prefix/bin/AuralisManager" >/dev/null || fail "the installed program does not start from $prefix"

# --- umask 077 at install time: folders everyone using the prefix can enter ----------------------
for folder in "$prefix" "$prefix/bin" "$prefix/lib" "$prefix/share/applications" \
  "$prefix/lib/$(readlink "$prefix/lib/auralis-manager")"; do
  [ "$(stat -c %a "$folder")" = 755 ] || fail "$folder is $(stat -c %a "$folder"), not 755"
done

# --- a link of the user's, and leftovers of killed runs -------------------------------------------
prefix="$scratch/home/.local"
mkdir -p "$prefix/lib" "$scratch/mine"
echo keep >"$scratch/mine/precious"
# Relative, as a user makes it: the old installer removed "lib/<link target>" with all in it.
ln -s ../../../mine "$prefix/lib/auralis-manager"
staged="$prefix/lib/auralis-manager-0.0.1.AbC123"
mkdir -p "$staged"
touch "$staged/AuralisManager"
unpacked="$TMPDIR/selfgz424242"
mkdir -p "$unpacked/tree/lib/auralis-manager"
cp "$script" "$unpacked/install.sh"
other="$TMPDIR/selfgz5151"
mkdir -p "$other"
echo theirs >"$other/file"
install_into "$prefix"
[ -f "$scratch/mine/precious" ] || fail "the folder the user's link pointed at lost its files"
current="$(readlink "$prefix/lib/auralis-manager")"
case "$current" in
  auralis-manager-[0-9]*.??????) ;;
  *) fail "the link does not point at a program folder of ours: $current" ;;
esac
[ ! -e "$staged" ] || fail "a half-staged program folder of a killed run is still there"
[ ! -e "$unpacked" ] || fail "an unpacked copy of a killed run is still in $TMPDIR"
[ -f "$other/file" ] || fail "a folder in $TMPDIR that is not an unpacked installer was removed"
[ -z "$(find "$TMPDIR" -mindepth 1 -maxdepth 1 -name 'selfgz*' ! -name selfgz5151)" ] ||
  fail "the installer left its own unpacked copy: $(ls "$TMPDIR")"

# A second installation removes the first's folder, and nothing that is not ours.
install_into "$prefix"
[ ! -e "$prefix/lib/$current" ] || fail "the replaced version's folder is still there"
[ "$(find "$prefix/lib" -mindepth 1 -maxdepth 1 -name 'auralis-manager-*' | wc -l)" = 1 ] ||
  fail "more than one program folder: $(ls "$prefix/lib")"
[ -f "$scratch/mine/precious" ] || fail "a later installation touched the user's folder"

# Uninstalling through a link the user put in place of ours leaves the link's target alone.
"$prefix/lib/auralis-manager/uninstall" >/dev/null || fail "uninstall"
[ -f "$scratch/mine/precious" ] || fail "uninstall touched the user's folder"
left="$(cd "$prefix" && find . -type f -o -type l)"
[ -z "$left" ] || fail "left after uninstall: $left"
echo "installer ok"
