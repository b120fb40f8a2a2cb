#!/bin/sh
# The online update as the user runs it, side by side with its anchor in one
# hyperfine run: `lumivale-cli online update` with five slots of 1920x1080
# JPEGs from a loopback server, each written as a 1024x768 catalogue texture,
# against a script doing the same job with curl and ImageMagick, one slot after
# the other (curl -s -o p.jpg URL && convert p.jpg -resize 1024x768! -define
# dds:compression=none p.dds). Then the tool's own split of its time between
# downloading and applying.
# Usage: bench/online.sh [BIN_DIR] [RUNS]   (BIN_DIR defaults to build-release/bin)
set -eu

BIN=$(cd "${1:-build-release/bin}" && pwd)
RUNS=${2:-20}
WORK=$(mktemp -d)
SERVER_PID=
cleanup() {
    [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
export XDG_CACHE_HOME="$WORK/cache" XDG_CONFIG_HOME="$WORK/config"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy
mkdir -p "$WORK/files" "$WORK/game/data" "$WORK/config/Lumivale" "$WORK/anchor"

i=0
while [ $i -lt 5 ]; do
    convert -seed $((i + 1)) -size 1920x1080 plasma:fractal -quality 90 "$WORK/files/p$i.jpg"
    i=$((i + 1))
done
"$BIN/bench_online_server" "$WORK/files" > "$WORK/port" &
SERVER_PID=$!
while [ ! -s "$WORK/port" ]; do sleep 0.05; done
PORT=$(cat "$WORK/port")

# The slots come in through the tool's own import; the anchor gets the same addresses.
{
    printf 'REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\CohLumivale]\r\n'
    i=0
    while [ $i -lt 5 ]; do
        printf '"webName%d"="Zone %d (1024x768)"\r\n' $i $i
        printf '"webPath%d"="texture_library/loading_screens/City_Zones"\r\n' $i
        printf '"webFile%d"="Bench_%d"\r\n"webWidth%d"=" 1024"\r\n"webHeight%d"=" 768"\r\n' $i $i $i $i
        printf '"webLink%d"="http://127.0.0.1:%s/file/p%d.jpg"\r\n' $i "$PORT" $i
        i=$((i + 1))
    done
} > "$WORK/slots.reg"
"$BIN/lumivale-cli" online import "$WORK/slots.reg" > /dev/null
{
    echo 'set -e'
    i=0
    while [ $i -lt 5 ]; do
        echo "curl -s -o $WORK/anchor/p$i.jpg http://127.0.0.1:$PORT/file/p$i.jpg &&" \
            "convert $WORK/anchor/p$i.jpg -resize 1024x768! -define dds:compression=none" \
            "DDS:$WORK/anchor/p$i.dds"
        i=$((i + 1))
    done
} > "$WORK/anchor.sh"

echo "== five slots from loopback: lumivale-cli online update against curl + convert"
hyperfine -N -w 2 -r "$RUNS" \
    -n "lumivale-cli online update (5 slots)" "$BIN/lumivale-cli online update --game $WORK/game" \
    -n "curl + convert (5 slots in a row)" "sh $WORK/anchor.sh"
echo "-- download and apply time as the tool reports them"
i=0
while [ $i -lt 5 ]; do
    "$BIN/lumivale-cli" online update --game "$WORK/game" 2>&1 >/dev/null | grep 'Downloads took'
    i=$((i + 1))
done
