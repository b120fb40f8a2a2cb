#!/bin/sh
# Whole-command timing of `lumivale-cli texture set --category` over the 23
# Paragon City loading screens (1024 x 768, stored 1024 x 1024) from one
# 1920 x 1080 JPEG, side by side with ImageMagick making the same 23 pictures
# (scaled to 1024 x 768, uncompressed DDS), two at a time on both cores.
# Usage: bench/texture_catalogue.sh [BIN_DIR] [RUNS]   (BIN_DIR defaults to build-release/bin)
set -eu

BIN=$(cd "${1:-build-release/bin}" && pwd)
RUNS=${2:-10}
CLI="$BIN/lumivale-cli"
IM=/usr/bin/convert
[ -x "$IM" ] || IM=$(command -v convert)
CATEGORY="Loading screens: Paragon City"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache"
mkdir -p "$WORK/game" "$WORK/im"

"$IM" -seed 7 -size 1920x1080 plasma:fractal -quality 90 "$WORK/in.jpg"

# The category's base names, as the tool lists them.
"$CLI" texture list | awk -v c="$CATEGORY" '
    /^[^ ]/ { inside = ($0 == c); next }
    inside { n = split($0, f, "\t"); print f[n] }' > "$WORK/names"
[ "$(wc -l < "$WORK/names")" -eq 23 ] || { echo "expected 23 textures in $CATEGORY" >&2; exit 1; }
cat > "$WORK/imagemagick.sh" <<SCRIPT
xargs -P 2 -I NAME "$IM" "$WORK/in.jpg" -resize '1024x768!' -define dds:compression=none "$WORK/im/NAME.dds" < "$WORK/names"
SCRIPT

echo "== 23 loading screens from one 1920x1080 JPEG"
hyperfine -N -w 2 -r "$RUNS" \
    -n "lumivale-cli texture set --category" \
    "$CLI texture set --category '$CATEGORY' $WORK/in.jpg --game $WORK/game" \
    -n "ImageMagick, 23 files, 2 at a time" "sh $WORK/imagemagick.sh"
ls "$WORK/im" | wc -l
