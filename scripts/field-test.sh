#!/bin/bash
# The field test for a person with a real pair of Auralis earbuds. It needs no knowledge of the
# program: it runs the doctor, looks for the earbuds, connects, records a minute of status while
# asking you to take a bud out and put it back, offers a firmware update, and writes one archive
# with everything it saw plus `auralis-ctl report`. Nothing is sent anywhere.
#
#   scripts/field-test.sh [--backend bluez|sim] [--minute SECONDS] [--out FOLDER]
#
# --backend sim tries the same steps against auralis-sim (the output is what a real pair's run is
# compared with). --minute shortens the recording (tests). Answers are read from standard input.
set -u

backend=${AURALIS_BACKEND:-bluez}
minute=60
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --backend) backend=$2; shift 2 ;;
    --minute) minute=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "field-test: unknown argument '$1' (try --help)" >&2; exit 2 ;;
  esac
done

here=$(cd "$(dirname "$0")" && pwd)
if [ -n "${AURALIS_CTL:-}" ]; then ctl=$AURALIS_CTL
elif [ -x "$here/../build/bin/auralis-ctl" ]; then ctl="$here/../build/bin/auralis-ctl"
else ctl=$(command -v auralis-ctl || true)
fi
if [ -z "$ctl" ] || [ ! -x "$ctl" ]; then
  echo "field-test: auralis-ctl not found (build it with make, or install the package)" >&2
  exit 1
fi

stamp=$(date +%Y%m%d-%H%M%S)
[ -n "$out" ] || out="$PWD/auralis-field-test-$stamp"
mkdir -p "$out" || exit 1
chmod 700 "$out"
log="$out/field-test.txt"

say() { printf '%s\n' "$*" | tee -a "$log"; }
ask() {  # ask QUESTION -> the answer in $answer (empty at the end of the input)
  printf '\n%s ' "$1"
  answer=""
  read -r answer || true
  printf '%s %s\n' "$1" "$answer" >>"$log"
}
run() {  # run NAME ARGS...: auralis-ctl with JSON output into NAME.json; its status in $status
  local name=$1; shift
  "$ctl" --backend "$backend" --json "$@" >"$out/$name.json" 2>>"$out/$name.err"
  status=$?
  printf '%s: auralis-ctl %s -> exit %d\n' "$name" "$*" "$status" >>"$log"
}

say "Auralis field test, $(date), backend $backend, $("$ctl" --version)"
say "Everything goes into $out"

say ""
say "1. The doctor checks this computer."
"$ctl" doctor | tee "$out/doctor.txt"
run doctor doctor
if [ "$status" -ne 0 ]; then
  ask "The doctor found failures (see above). Go on anyway? [y/N]"
  case "$answer" in [yY]*) ;; *) say "Stopped after the doctor."; skip=1 ;; esac
fi

address=""
if [ -z "${skip:-}" ]; then
  say ""
  say "2. Open the earbuds' case near the computer. Looking for them for 20 seconds..."
  run scan scan --seconds 20
  mapfile -t found < <(python3 -c '
import json, sys
last = []
for line in open(sys.argv[1]):
    try: event = json.loads(line)
    except ValueError: continue
    if event.get("event") == "devices": last = event["devices"]
seen = set()
for device in last:
    if device["address"] not in seen:
        seen.add(device["address"]); print(device["address"] + " " + device["name"])
' "$out/scan.json")
  if [ ${#found[@]} -eq 0 ]; then
    say "No Auralis earbuds were found."
  elif [ ${#found[@]} -eq 1 ]; then
    address=${found[0]%% *}
    say "Found ${found[0]}"
  else
    i=1; for line in "${found[@]}"; do say "  $i) $line"; i=$((i + 1)); done
    ask "Which pair is yours? [1-${#found[@]}]"
    if [[ "$answer" =~ ^[0-9]+$ ]] && [ "$answer" -ge 1 ] && [ "$answer" -le ${#found[@]} ]; then
      address=${found[$((answer - 1))]%% *}
    fi
  fi
fi

if [ -n "$address" ]; then
  say ""
  say "3. Connecting to $address and reading its status..."
  run status-before status "$address" --seconds 30
  cat "$out/status-before.json" | tee -a "$log"
  [ "$status" -eq 0 ] || say "The connection failed: $(cat "$out/status-before.err")"

  if [ "$status" -eq 0 ]; then
    say ""
    say "4. Recording the earbuds' reports for $minute seconds. Keep both buds in your ears."
    "$ctl" --backend "$backend" --json watch "$address" >"$out/watch.json" 2>"$out/watch.err" &
    watcher=$!
    third=$((minute / 3))
    sleep "$third"; say "   Now take the LEFT bud out of your ear and hold it."
    sleep "$third"; say "   Now put it back in your ear."
    sleep $((minute - 2 * third)); say "   Done."
    kill "$watcher" 2>/dev/null; wait "$watcher" 2>/dev/null
    say "   $(grep -c '"event":"status"' "$out/watch.json") status reports recorded."

    say ""
    say "5. Asking the update server about newer firmware..."
    run fw-check fw check "$address"
    cat "$out/fw-check.json" | tee -a "$log"
    if grep -q '"newer":true' "$out/fw-check.json"; then
      ask "A newer firmware exists. Update the earbuds now (takes minutes; keep them in the open case)? [y/N]"
      case "$answer" in
        [yY]*) say "   Updating..."; run fw-update fw update "$address" --latest
               tail -n 1 "$out/fw-update.json" | tee -a "$log"
               run status-after status "$address" --seconds 60 ;;
        *) say "   No update." ;;
      esac
    fi
  fi
fi

say ""
say "6. Writing the report..."
"$ctl" report "$out/report.tar.gz" | tee -a "$log"
archive="$out.tar.gz"
tar -czf "$archive" -C "$(dirname "$out")" "$(basename "$out")" && chmod 600 "$archive"
say ""
say "Finished. Please attach $archive ($(stat -c %s "$archive") bytes) to your report."
