#!/usr/bin/env bash
# The whole live update: an installed copy's update client downloads the installer the build
# made from auralis-sim's update server, the installer replaces the copy in one step and the new
# version starts. Then an installer that fails halfway: the old version stays and still starts.
. "$(dirname "$0")/common.sh"
build="$1"
bin="$2"
version="$3"
installer="$bin/AuralisManagerSetup-$version.run"

need makeself makeself
[ -f "$installer" ] || skip "no per-user installer $installer (build the target auralis_installer)"
export AURALIS_WINDOW_BACKEND=headless AURALIS_BACKEND=sim
export AURALIS_SIM_SOCKET="$scratch/sim.sock"

# An installed copy, put there by the installer's interactive mode.
prefix="$scratch/home/.local"
printf '%s\ny\n' "$prefix" | "$installer" >"$scratch/first-install.log" 2>&1 ||
  fail "interactive install: $(cat "$scratch/first-install.log")"
old="$(readlink "$prefix/lib/auralis-manager")"
case "$old" in
  auralis-manager-"$version".*) ;;
  *) fail "the installed copy is not a versioned folder: $old" ;;
esac
[ -x "$prefix/bin/AuralisManager" ] || fail "no AuralisManager in $prefix/bin"
entry="$prefix/share/applications/com.auralis.AuralisManager.desktop"
grep -qxF "Exec=\"$prefix/bin/AuralisManager\"" "$entry" &&
  grep -qxF "Exec=\"$prefix/bin/auralis-manager-try\"" "$entry" ||
  fail "the menu entry does not start the per-user copy: $(grep Exec "$entry")"

# The update server serves the installer the build made.
"$bin/auralis-sim" --socket "$AURALIS_SIM_SOCKET" --installer "$installer" >"$scratch/sim.out" 2>&1 &
started_pids+=($!)
wait_until 30 grep -q 'update server: http' "$scratch/sim.out" || fail "auralis-sim: $(cat "$scratch/sim.out")"
url="$(grep -m1 -o 'http://127.0.0.1:[0-9]*' "$scratch/sim.out")"

new_version_running() {
  local target
  target="$(readlink "$prefix/lib/auralis-manager")"
  [ "$target" != "$old" ] && new_pid="$(pid_of_exe "$prefix/lib/$target/AuralisManager")"
}
begin=$(date +%s%N)
"$prefix/bin/AuralisManagerUpdateClient" /v 1.0.1 \
  /u "$url/app/download/LumoraAuralisManagerSetup-1.0.1.sh" >"$scratch/client.out" 2>&1 &
started_pids+=($!)
wait_until 120 new_version_running ||
  fail "the new version did not start: $(cat "$scratch/client.out"; tail -20 "$AURALIS_LOG_DIR"/*.log)"
end=$(date +%s%N)
started_pids+=("$new_pid")
echo "live update: $(((end - begin) / 1000000)) ms from the update client's start to the new version running"; [ -n "${KEEP_LOG:-}" ] && cp -r "$AURALIS_LOG_DIR" "$KEEP_LOG"
[ ! -e "$prefix/lib/$old" ] || fail "the old version's folder is still there"
kill "$new_pid"

# An installer whose new programs do not run: it stops before the switch.
current="$(readlink "$prefix/lib/auralis-manager")"
"$installer" --noexec --target "$scratch/broken" >/dev/null 2>&1 || fail "cannot unpack the installer"
head -c 4096 "$bin/auralis-ctl" >"$scratch/broken/tree/lib/auralis-manager/auralis-ctl"
makeself --quiet --nox11 "$scratch/broken" "$scratch/broken.run" "broken" ./install.sh >/dev/null 2>&1 ||
  fail "cannot pack the broken installer"
if AURALIS_INSTALL_FOLDER="$(readlink -f "$prefix/lib/auralis-manager")" \
  "$scratch/broken.run" '/z"liveupdate"' >"$scratch/broken.log" 2>&1; then
  fail "the broken installer reported success"
fi
grep -q "installed version is unchanged" "$scratch/broken.log" || fail "$(cat "$scratch/broken.log")"
[ "$(readlink "$prefix/lib/auralis-manager")" = "$current" ] || fail "the broken installer switched"
[ "$(ls -d "$prefix"/lib/auralis-manager-* | wc -l)" = 1 ] || fail "a half-installed folder is left"
"$prefix/bin/AuralisManager" >"$scratch/old.out" 2>&1 &
started_pids+=($!)
wait_until 30 pid_of_exe "$prefix/lib/$current/AuralisManager" >/dev/null ||
  fail "the old version does not start"
kill "${started_pids[-1]}"

# Removing the per-user copy leaves nothing in the prefix but the program's own user files.
"$prefix/lib/auralis-manager/uninstall" >/dev/null || fail "uninstall"
left="$(cd "$prefix" && find . -type f -o -type l | grep -v '^./state/' || true)"
[ -z "$left" ] || fail "left after uninstall: $left"
empty="$(find "$prefix/share" "$prefix/lib" -mindepth 1 -type d -empty)"
[ -z "$empty" ] || fail "empty folders left after uninstall: $empty"
downloaded="$(ls "$AURALIS_TEMP_DIR" "$XDG_CACHE_HOME/AuralisManager" 2>/dev/null | grep Lumora || true)"
[ -z "$downloaded" ] || fail "downloaded installer left after uninstall: $downloaded"
echo "live update ok"
