#!/usr/bin/env bash
# Runs AuralisManager against the virtual earbuds of auralis-sim (its demo neighbourhood) and
# stops the sim when the program closes. Usage: scripts/run.sh [BUILD_DIR] [program arguments]
set -euo pipefail

build="${1:-build}"
shift || true
bin="$build/bin"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "make run: no display (DISPLAY and WAYLAND_DISPLAY are unset)." >&2
  echo "Run it on a desktop, or on a virtual display:  xvfb-run -a make run" >&2
  exit 1
fi

# A private folder for the sim's socket, removed afterwards with everything in it.
folder="$(mktemp -d "${TMPDIR:-/tmp}/auralis-run.XXXXXX")"
socket="$folder/auralis-sim.sock"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$folder"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The demo's update server sends firmware at a pace a user can watch (about 2.5 s for the
# demo packages) instead of in a blink.
here="$(cd "$(dirname "$0")" && pwd)"
"$bin/auralis-sim" --demo --scenario "$here/demo-pace.json" --socket "$socket" \
  >"$folder/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
  [ -S "$socket" ] && break
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    echo "make run: auralis-sim did not start:" >&2
    cat "$folder/sim.log" >&2
    exit 1
  fi
  sleep 0.1
done
[ -S "$socket" ] || { echo "make run: auralis-sim's socket did not appear" >&2; exit 1; }

echo "make run: virtual earbuds on $socket; $(grep -m1 'update server' "$folder/sim.log" || true)"
update_url="$(grep -m1 -o 'http://127.0.0.1:[0-9]*' "$folder/sim.log" || true)"
status=0
AURALIS_BACKEND=sim AURALIS_SIM_SOCKET="$socket" \
  AURALIS_UPDATE_URL="${AURALIS_UPDATE_URL:-$update_url}" \
  "$bin/AuralisManager" "$@" || status=$?

# When the user accepted a newer program version, the window closed to hand over to the update
# client, which downloads from the sim's update server and runs the installer, which may start
# the program again: keep the sim until none of them runs any more. Only the processes this run
# started count: they (and what they start) carry this run's private sim socket in their
# environment, which no other user's or session's process has (and other users' environments
# cannot be read at all). The installer in between counts too: the client may end before the
# installer has started the program again.
ours_running() {
  grep -qzxsF "AURALIS_SIM_SOCKET=$socket" /proc/[0-9]*/environ 2>/dev/null
}
while ours_running; do
  sleep 0.5
done
exit "$status"
