#!/usr/bin/env bash
# `cmake --install` under a scratch prefix: the layout, the programs run from there and find
# their resources beside themselves (also after the whole prefix moved), the manual pages and
# the bash completion.
. "$(dirname "$0")/common.sh"
build="$1"
bin="$2"
id=com.auralis.AuralisManager
programs=(AuralisManager AuralisManagerUpdateClient auralis-ctl auralis-sim)

[ -x "$bin/auralis-appshots" ] || skip "needs auralis-appshots (build it first)"
cmake --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" ||
  fail "cmake --install: $(cat "$scratch/install.log")"
prefix="$scratch/prefix"
app="$prefix/lib/auralis-manager"

for program in "${programs[@]}"; do
  [ "$(readlink "$prefix/bin/$program")" = "../lib/auralis-manager/$program" ] ||
    fail "bin/$program is not a relative link into lib/auralis-manager"
  [ -x "$app/$program" ] || fail "no $program in $app"
  "$prefix/bin/$program" --help >"$scratch/help.txt" 2>&1 || fail "$program --help"
  grep -qi usage "$scratch/help.txt" || fail "$program --help says no usage"
done
[ -f "$app/res/strings/en-US.json" ] || fail "no string tables"
[ -f "$app/OpenSourceAnnouncement_Auralis_1.0_Win.html" ] || fail "no licence page"
[ -x "$app/auralis-manager-try" ] || fail "no auralis-manager-try"
[ "$(readlink "$prefix/bin/auralis-manager-try")" = ../lib/auralis-manager/auralis-manager-try ] ||
  fail "no link to auralis-manager-try, which the menu's virtual-earbuds action starts"
[ ! -e "$app/res/Gallery" ] || fail "the widget gallery's samples were installed"
for file in "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml" \
  "share/icons/hicolor/scalable/apps/$id.svg" "share/icons/hicolor/48x48/apps/$id.png" \
  share/bash-completion/completions/auralis-ctl share/doc/auralis-manager/copyright; do
  [ -f "$prefix/$file" ] || fail "no $file"
done
if command -v txt2man >/dev/null; then
  for program in "${programs[@]}"; do
    zcat "$prefix/share/man/man1/$program.1.gz" | grep -q "^\.TH $program 1" ||
      fail "no manual page for $program"
  done
  # Rendered as a reader sees them: every entry on a line of its own, examples one per line.
  if command -v man >/dev/null; then
    render() { MANWIDTH=100 man -l "$prefix/share/man/man1/$1.1.gz" 2>/dev/null; }
    for entry in 'status ADDRESS \[--seconds N\]' 'doctor \[ADDRESS\]' 'report \[FILE\]' \
      'auralis-ctl fw info firmware.bin' 'auralis-ctl doctor'; do
      render auralis-ctl | grep -q "^ *$entry\$" || fail "auralis-ctl(1): '$entry' runs into another line"
    done
    for program in auralis-sim AuralisManagerUpdateClient; do
      render "$program" | grep -q '^ *--log-level LEVEL$' ||
        fail "$program(1): --log-level runs into another entry"
    done
  fi
fi

# The installed tree moves as a whole: the programs still find what lies beside them.
mv "$prefix" "$scratch/moved"
prefix="$scratch/moved"
app="$prefix/lib/auralis-manager"
printf 'firmware image' >"$scratch/image.bin"
"$prefix/bin/auralis-ctl" fw pack "$scratch/fw.bin" 1="$scratch/image.bin" >/dev/null ||
  fail "fw pack"
"$prefix/bin/auralis-ctl" --json fw info "$scratch/fw.bin" >"$scratch/info.json" || fail "fw info"
grep -q '"valid":true' "$scratch/info.json" || fail "fw info: $(cat "$scratch/info.json")"

# The screens drawn from the installed pictures and texts only: the picture-drawing tool runs
# from inside the installed folder, so the resources it finds are the installed ones.
cp "$bin/auralis-appshots" "$app/"
AURALIS_LANG=en-US "$app/auralis-appshots" "$scratch/shots" >"$scratch/shots.log" 2>&1 ||
  fail "auralis-appshots on the installed tree: $(tail -5 "$scratch/shots.log")"
rm "$app/auralis-appshots"
ls "$scratch/shots"/*.png >/dev/null 2>&1 || fail "no screens drawn"
if grep -qi "cannot load\|not found\|missing" "$scratch/shots.log"; then
  fail "resources missing in the installed tree: $(grep -i 'cannot load\|not found\|missing' "$scratch/shots.log" | head -3)"
fi

# Tab after auralis-ctl: commands, then the firmware sub-commands.
completion=/usr/share/bash-completion/bash_completion
if [ -f "$completion" ]; then
  complete_words() {
    bash -c '. "$1"; . "$2"; shift 2
      COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
      _auralis_ctl auralis-ctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
      printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" \
      "$prefix/share/bash-completion/completions/auralis-ctl" "$@"
  }
  [ "$(complete_words auralis-ctl "" | sort | tr '\n' ' ')" = "check doctor fw report scan status unpair watch " ] ||
    fail "commands: $(complete_words auralis-ctl "")"
  [ "$(complete_words auralis-ctl fw "" | sort | tr '\n' ' ')" = "check info pack update " ] ||
    fail "fw commands: $(complete_words auralis-ctl fw "")"
  [ "$(complete_words auralis-ctl --backend "")" = $'bluez\nsim' ] || fail "backends"
  # A level after --log-level, and the command after it still completes.
  [ "$(complete_words auralis-ctl --log-level "" | tr '\n' ' ')" = "debug info notice warning error off " ] ||
    fail "log levels: $(complete_words auralis-ctl --log-level "")"
  [ "$(complete_words auralis-ctl --log-level debug sc)" = scan ] ||
    fail "command after --log-level: $(complete_words auralis-ctl --log-level debug sc)"
  # Addresses come from bluetoothctl's paired devices, Auralis earbuds only.
  mkdir -p "$scratch/fakebin"
  cat >"$scratch/fakebin/bluetoothctl" <<'FAKE'
#!/bin/sh
[ "$*" = "devices Paired" ] || exit 1
echo "Device 70:5A:B6:01:4F:2A Auralis+ (4F2A)"
echo "Device 11:22:33:44:55:66 Kitchen speaker"
FAKE
  chmod +x "$scratch/fakebin/bluetoothctl"
  [ "$(PATH="$scratch/fakebin:$PATH" complete_words auralis-ctl status "")" = 70:5A:B6:01:4F:2A ] ||
    fail "addresses: $(PATH="$scratch/fakebin:$PATH" complete_words auralis-ctl status "")"
  [ "$(PATH="$scratch/fakebin:$PATH" complete_words auralis-ctl fw update 70:5A:B6:01:4F:2A --)" = $'--latest\n--seconds' ] ||
    fail "fw update options"
  [ "$(complete_words auralis-ctl fw check 70:5A:B6:01:4F:2A --)" = --seconds ] || fail "fw check options"
  [ "$(PATH="$scratch/fakebin:$PATH" complete_words auralis-ctl doctor "")" = 70:5A:B6:01:4F:2A ] ||
    fail "doctor addresses"
fi
echo "install tree ok"
