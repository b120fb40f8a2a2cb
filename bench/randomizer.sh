#!/bin/sh
# The randomizer's two timed jobs, each side by side with its anchor in one
# hyperfine run:
#   1. a folder pass of 200 different 1920x1080 JPEGs into a pool
#      (`lumivale-cli pool add login FOLDER`) against ImageMagick doing the same
#      job on both cores (mogrify, 25 pictures per call, two calls at a time);
#   2. `lumivale -randomizer` with two pools of 1000 files each and a stand-in
#      launcher, process start to exit, against the same with no pools, and
#      with two pools of one file each (what the pools' size costs). Each run
#      starts with the disk written back (`sync`), as game starts minutes
#      apart do; without it every run would also pay for the previous run's
#      8 MB still on their way to the disk.
# Usage: bench/randomizer.sh [BIN_DIR] [RUNS]   (BIN_DIR defaults to build-release/bin)
set -eu

BIN=$(cd "${1:-build-release/bin}" && pwd)
RUNS=${2:-10}
IM=/usr/bin/convert
[ -x "$IM" ] || IM=$(command -v convert)
MOGRIFY=$(command -v mogrify)

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache" XDG_CONFIG_HOME="$WORK/config" QT_QPA_PLATFORM=offscreen
mkdir -p "$WORK/pictures" "$WORK/game" "$WORK/im"

echo "== making 200 different 1920x1080 JPEGs"
i=1
while [ $i -le 200 ]; do
    "$IM" -seed $i -size 1920x1080 plasma:fractal -quality 90 "$WORK/pictures/p$i.jpg"
    i=$((i + 1))
done

echo "== folder pass: 200 pictures into a pool"
hyperfine -N -w 1 -r "$RUNS" --export-json "$WORK/pool.json" \
    -p "rm -rf $WORK/game/Lumivale" \
    -n lumivale-cli "$BIN/lumivale-cli pool add login $WORK/pictures --game $WORK/game" \
    -p "rm -rf $WORK/im/*" \
    -n imagemagick "sh -c 'cd $WORK/pictures && ls *.jpg | xargs -P2 -n 25 $MOGRIFY -path $WORK/im -resize 1024x768! -format dds -define dds:compression=none'"

echo "== randomizer start: two pools of 1000 files each against none"
# Two Wine prefixes, each with the game registered in the game's own key, so
# that the settings can stay empty: the game folder comes from the registry.
for run in full one empty; do
    mkdir -p "$WORK/$run/drive_c/Games/CoH" "$WORK/$run/dosdevices" "$WORK/config-$run"
    ln -s ../drive_c "$WORK/$run/dosdevices/c:"
    touch "$WORK/$run/drive_c/Games/CoH/paragonchat.exe"
    printf 'WINE REGISTRY Version 2\n\n[Software\\\\Cryptic\\\\Coh] 1\n"Installation Directory"="C:\\\\Games\\\\CoH"\n' \
        > "$WORK/$run/user.reg"
done
GAME="$WORK/full/drive_c/Games/CoH"
mkdir -p "$GAME/Lumivale/RandomHL" "$GAME/Lumivale/RandomHC" "$WORK/bin"
head -c 4194432 /dev/zero > "$WORK/pool.dds"
i=1
while [ $i -le 1000 ]; do
    cp "$WORK/pool.dds" "$GAME/Lumivale/RandomHL/p$i.jpg.dds"
    cp "$WORK/pool.dds" "$GAME/Lumivale/RandomHC/p$i.jpg.dds"
    i=$((i + 1))
done
ONE="$WORK/one/drive_c/Games/CoH"
mkdir -p "$ONE/Lumivale/RandomHL" "$ONE/Lumivale/RandomHC"
cp "$WORK/pool.dds" "$ONE/Lumivale/RandomHL/p1.jpg.dds"
cp "$WORK/pool.dds" "$ONE/Lumivale/RandomHC/p1.jpg.dds"
# The stand-in launcher ends at once; the program never waits for it anyway.
printf '#!/bin/sh\nexit 0\n' > "$WORK/bin/wine"
chmod +x "$WORK/bin/wine"
hyperfine -N -w 3 -r $((RUNS * 4)) -p sync --export-json "$WORK/start.json" \
    -n "two pools of 1000" "env PATH=$WORK/bin:/usr/bin:/bin XDG_CONFIG_HOME=$WORK/config-full WINEPREFIX=$WORK/full $BIN/lumivale -randomizer" \
    -n "two pools of 1" "env PATH=$WORK/bin:/usr/bin:/bin XDG_CONFIG_HOME=$WORK/config-one WINEPREFIX=$WORK/one $BIN/lumivale -randomizer" \
    -n "empty settings" "env PATH=$WORK/bin:/usr/bin:/bin XDG_CONFIG_HOME=$WORK/config-empty WINEPREFIX=$WORK/empty $BIN/lumivale -randomizer"

echo "== medians"
for json in "$WORK/pool.json" "$WORK/start.json"; do
    python3 -c 'import json, sys
for r in json.load(open(sys.argv[1]))["results"]:
    print("%-20s median %8.1f ms" % (r["command"], r["median"] * 1000))' "$json"
done
