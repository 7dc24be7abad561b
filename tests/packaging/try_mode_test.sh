#!/usr/bin/env bash
# "Try with virtual earbuds" across an update: the program hands over to the update client and
# closes; whatever carries on with the virtual earbuds' socket in its environment (the client,
# the installer, the program they start again) still finds them, and they stop only after it.
. "$(dirname "$0")/common.sh"
try="$1"
bin="$2"

[ -x "$bin/auralis-sim" ] || skip "needs auralis-sim (build it first)"
folder="$scratch/app"
mkdir -p "$folder"
cp "$try" "$folder/auralis-manager-try"
chmod 755 "$folder/auralis-manager-try"
ln -s "$(readlink -f "$bin/auralis-sim")" "$folder/auralis-sim"
# The program as it behaves when the user accepts an update: it starts the next program (here
# one that looks for the earbuds' socket a moment later) and closes at once.
cat >"$folder/AuralisManager" <<EOS
#!/bin/sh
setsid sh -c 'sleep 2; if [ -S "\$AURALIS_SIM_SOCKET" ]; then echo there; else echo gone; fi \
  > "$scratch/after-update"; echo "\$AURALIS_SIM_SOCKET" > "$scratch/socket"' </dev/null >/dev/null 2>&1 &
exit 0
EOS
chmod 755 "$folder/AuralisManager"

begin=$(date +%s)
"$folder/auralis-manager-try" >"$scratch/try.out" 2>&1 || fail "auralis-manager-try: $(cat "$scratch/try.out")"
end=$(date +%s)
[ "$(cat "$scratch/after-update" 2>/dev/null)" = there ] ||
  fail "the program started by the update found no virtual earbuds ($(cat "$scratch/after-update" 2>/dev/null))"
[ $((end - begin)) -ge 2 ] || fail "auralis-manager-try ended before the program the update started"
[ ! -e "$(cat "$scratch/socket")" ] || fail "the virtual earbuds were not stopped at the end"
echo "try mode ok"
