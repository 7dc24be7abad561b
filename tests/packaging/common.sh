# Shared by the packaging tests: a private scratch folder, skipping, bounded waits.
set -euo pipefail

scratch="$(mktemp -d "${TMPDIR:-/tmp}/auralis-packaging.XXXXXX")"
started_pids=()
cleanup_scratch() {
  local pid
  for pid in "${started_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  chmod -R u+w "$scratch" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup_scratch EXIT

# Every program run by a test keeps its files in the scratch folder.
export HOME="$scratch/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache"
export XDG_STATE_HOME="$HOME/.local/state" XDG_RUNTIME_DIR="$scratch/run"
export AURALIS_CONFIG_DIR="$scratch/config" AURALIS_TEMP_DIR="$scratch/tmp"
export AURALIS_LOG_DIR="$scratch/log"
unset AURALIS_LOCAL_VERSION AURALIS_UPDATE_URL
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$AURALIS_CONFIG_DIR" "$AURALIS_TEMP_DIR" "$AURALIS_LOG_DIR"
chmod 700 "$XDG_RUNTIME_DIR" "$AURALIS_TEMP_DIR"

skip() {
  echo "SKIPPED: $*"
  exit 77
}
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
need() {
  command -v "$1" >/dev/null 2>&1 || skip "needs $1 (Debian package $2)"
}

# wait_until SECONDS COMMAND...: true as soon as COMMAND succeeds, false after SECONDS.
wait_until() {
  local limit=$(($(date +%s%N) + $1 * 1000000000))
  shift
  until "$@"; do
    [ "$(date +%s%N)" -lt "$limit" ] || return 1
    sleep 0.05
  done
}

# The pid of a running process whose executable is $1, if any (one find over /proc, so a
# bounded wait polls cheaply).
pid_of_exe() {
  local found
  found="$(find /proc -mindepth 2 -maxdepth 2 -name exe -lname "$1" 2>/dev/null | head -1)"
  [ -n "$found" ] || return 1
  found="${found#/proc/}"
  echo "${found%/exe}"
}
