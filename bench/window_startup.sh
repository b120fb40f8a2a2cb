#!/bin/sh
# Time from process start to the main window shown and painted once (the
# program ends right after its first paint when LUMIVALE_EXIT_WHEN_SHOWN is set),
# and the randomizer run with empty settings (the game folder from the game's
# registry key, a stand-in launcher), under Xvfb.
# Usage: bench/window_startup.sh [BIN_DIR] [RUNS] [BASELINE_BIN_DIR]
#   BIN_DIR defaults to build/bin; BASELINE_BIN_DIR, when given, times that
#   build's window start and randomizer run in the same hyperfine run.
set -eu

BIN=$(cd "${1:-build/bin}" && pwd)
RUNS=${2:-20}
BASELINE=${3:-}
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

# A game in the Wine prefix, and a stand-in wine that ends at once: without a
# launcher to start, the randomizer run would wait on its message.
mkdir -p "$WINEPREFIX/drive_c/Games/CoH" "$WINEPREFIX/dosdevices" "$WORK/bin"
ln -s ../drive_c "$WINEPREFIX/dosdevices/c:"
touch "$WINEPREFIX/drive_c/Games/CoH/paragonchat.exe"
printf 'WINE REGISTRY Version 2\n\n[Software\\\\Cryptic\\\\Coh] 1\n"Installation Directory"="C:\\\\Games\\\\CoH"\n' \
    > "$WINEPREFIX/user.reg"
printf '#!/bin/sh\nexit 0\n' > "$WORK/bin/wine"
chmod +x "$WORK/bin/wine"

set -- -n "window shown (xcb)" "env LUMIVALE_EXIT_WHEN_SHOWN=1 $BIN/lumivale" \
    -n "randomizer run, empty settings" "env PATH=$WORK/bin:/usr/bin:/bin $BIN/lumivale -randomizer"
if [ -n "$BASELINE" ]; then
    BASE=$(cd "$BASELINE" && pwd)
    set -- "$@" -n "window shown, baseline" "env LUMIVALE_EXIT_WHEN_SHOWN=1 $BASE/lumivale" \
        -n "randomizer run, baseline" "env PATH=$WORK/bin:/usr/bin:/bin $BASE/lumivale -randomizer"
fi
hyperfine -N -w 3 -r "$RUNS" "$@"
