#!/bin/sh
# Runs a command on a private X display (Xvfb) inside a private D-Bus session, where the
# accessibility bus and registry start on first use, with a private home and runtime folder.
# usage: run-under-session.sh COMMAND [ARG...]
# Exits 77 (a skip to ctest) when Xvfb, dbus-run-session or pyatspi is missing.
set -eu
for tool in Xvfb dbus-run-session; do
    command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is missing" >&2; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    { echo "skipped: python3-pyatspi is missing" >&2; exit 77; }
scratch=$(mktemp -d)
wm=""
trap 'kill $wm "$xvfb" 2>/dev/null || true; rm -rf "$scratch"' EXIT INT TERM
mkdir -p "$scratch/home" "$scratch/run"
chmod 700 "$scratch/run"
exec 3>"$scratch/display"
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 100); do
    [ -s "$scratch/display" ] && break
    sleep 0.05
done
display=$(cat "$scratch/display")
[ -n "$display" ] || { echo "Xvfb did not start" >&2; exit 1; }
# A window manager, as on a desktop: it decides the focus as users see it (on a bare X server
# every new window would take it).
if command -v openbox >/dev/null 2>&1; then
    HOME="$scratch/home" DISPLAY=":$display" openbox --sm-disable >/dev/null 2>&1 &
    wm=$!
    for _ in $(seq 1 100); do
        DISPLAY=":$display" xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break
        sleep 0.05
    done
fi
HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" XDG_CONFIG_HOME="$scratch/home/.config" \
    XDG_DATA_HOME="$scratch/home/.local/share" XDG_CACHE_HOME="$scratch/home/.cache" \
    DISPLAY=":$display" NO_AT_BRIDGE=1 SDL_VIDEO_X11_XRANDR=0 \
    dbus-run-session -- "$@"
