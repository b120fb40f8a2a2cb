#!/bin/sh
# Whole-command timing of `lumivale-cli screen login` side by side with its
# anchors on a 1920x1080 JPEG:
#   1. uncompressed: against ImageMagick scaling the picture and writing an
#      uncompressed DDS;
#   2. --compress: against nvcompress alone on the very Targa the tool hands it
#      (both the plain BC1 command and the -fast one the tool uses).
# Usage: bench/texture_screen.sh [BIN_DIR] [RUNS] [BASELINE_BIN_DIR]
#   BIN_DIR defaults to build-texture/bin; BASELINE_BIN_DIR, when given, adds an
#   earlier build's lumivale-cli to the uncompressed run, so that a change is
#   judged against what it replaces on the same machine at the same moment.
set -eu

BIN=$(cd "${1:-build-texture/bin}" && pwd)
RUNS=${2:-30}
BASELINE=${3:-}
CLI="$BIN/lumivale-cli"
# The real ImageMagick binary, not a wrapper script, so it pays no extra shell start.
IM=/usr/bin/convert
[ -x "$IM" ] || IM=$(command -v convert)
NV=$(command -v nvcompress)

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache"
mkdir -p "$WORK/game" "$WORK/fake"

"$IM" -seed 7 -size 1920x1080 plasma:fractal -quality 90 "$WORK/in.jpg"

echo "== uncompressed (1920x1080 JPEG -> 1024x768 picture in a 1024x1024 surface)"
set -- -n lumivale-cli "$CLI screen login $WORK/in.jpg --game $WORK/game" \
    -n imagemagick "$IM $WORK/in.jpg -resize 1024x768! -define dds:compression=none $WORK/im.dds"
if [ -n "$BASELINE" ]; then
    mkdir -p "$WORK/game-baseline"
    set -- "$@" -n baseline "$(cd "$BASELINE" && pwd)/lumivale-cli screen login $WORK/in.jpg --game $WORK/game-baseline"
fi
hyperfine -N -w 3 -r "$RUNS" "$@"

# Catch the Targa the tool writes: a stand-in compressor found on PATH copies it out.
printf '#!/bin/sh\ncp temp_tga.tga "%s/same.tga"\n' "$WORK" > "$WORK/fake/nvcompress"
chmod +x "$WORK/fake/nvcompress"
PATH="$WORK/fake:$PATH" "$CLI" screen login "$WORK/in.jpg" --game "$WORK/game" --compress >/dev/null 2>&1 || true
[ -s "$WORK/same.tga" ] || { echo "could not capture the Targa" >&2; exit 1; }

echo "== compressed (BC1 without mip-maps)"
cd "$WORK"
hyperfine -N -w 2 -r "$RUNS" \
    -n "lumivale-cli --compress" "$CLI screen login $WORK/in.jpg --game $WORK/game --compress" \
    -n "nvcompress -bc1 -nomips" "$NV -bc1 -nomips $WORK/same.tga $WORK/nv.dds" \
    -n "nvcompress -bc1 -fast -nomips" "$NV -bc1 -fast -nomips $WORK/same.tga $WORK/nvfast.dds"
