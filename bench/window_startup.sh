#!/bin/sh
# Time from process start to the main window shown and painted once (the
# program ends right after its first paint when LUMIVALE_EXIT_WHEN_SHOWN is set),
# and the randomizer run with empty settings, under Xvfb.
# Usage: bench/window_startup.sh [BIN_DIR] [RUNS]   (BIN_DIR defaults to build/bin)
set -eu

BIN=$(cd "${1:-build/bin}" && pwd)
RUNS=${2:-20}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"; [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null' EXIT
export XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache" WINEPREFIX="$WORK/wine"
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

if [ -z "${DISPLAY:-}" ]; then
    Xvfb :97 -screen 0 1280x1024x24 >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=:97
    sleep 1
fi

hyperfine -N -w 3 -r "$RUNS" \
    -n "window shown (xcb)" "env LUMIVALE_EXIT_WHEN_SHOWN=1 $BIN/lumivale" \
    -n "randomizer run, empty settings" "$BIN/lumivale -randomizer"
