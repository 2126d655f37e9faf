#!/usr/bin/env bash
# Builds Orvi Desktop and runs it. Without a display of its own it runs on a
# virtual one (Xvfb with openbox) and writes a screenshot once the page is up;
# it then keeps running until interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh run
cmake --preset release >/dev/null
cmake --build --preset release

binary="$PWD/build/release/orvi-desktop"
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$binary"
fi

pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT INT TERM

display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$display"
until xdpyinfo >/dev/null 2>&1; do sleep 0.1; done
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
# Openbox names itself before it loads its theme and fonts (on a fresh machine
# that means building the font cache) and takes no window mapped meanwhile; it
# publishes the work area once it is done.
until w=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | awk '/window id/{print $NF}') &&
    [ -n "$w" ] && xprop -id "$w" _NET_WM_NAME 2>/dev/null | grep -q Openbox &&
    xprop -root _NET_WORKAREA 2>/dev/null | grep -q =; do sleep 0.1; done

dbus-run-session -- "$binary" &
pids+=($!)
sleep 8
screenshot="$PWD/build/release/screenshot.png"
import -window root "$screenshot"
echo "Orvi Desktop is running on the virtual display $DISPLAY."
echo "Screenshot: $screenshot"
echo "Press Ctrl+C to stop it."
wait "${pids[-1]}"
