#!/bin/sh
# A 108-megapixel phone photo (12000x9000 JPEG, about 60 MB) to a loading
# screen: `lumivale-cli screen login` side by side with ImageMagick called as
# an expert calls it (libjpeg's scaled decoding through jpeg:size, then the
# resize) in one hyperfine run, then the peak memory of each
# (/usr/bin/time -v, maximum resident set size).
# Usage: bench/big_photo.sh [BIN_DIR] [RUNS]
set -eu

BIN=$(cd "${1:-build-release/bin}" && pwd)
RUNS=${2:-10}
CLI="$BIN/lumivale-cli"
IM=/usr/bin/convert
[ -x "$IM" ] || IM=$(command -v convert)

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache"
mkdir -p "$WORK/game"

ffmpeg -v error -f lavfi -i gradients=s=12000x9000 -vf noise=alls=25:allf=u -frames:v 1 -q:v 3 "$WORK/big.jpg"
ls -l "$WORK/big.jpg"

OURS="$CLI screen login $WORK/big.jpg --game $WORK/game"
THEIRS="$IM -define jpeg:size=2048x1536 $WORK/big.jpg -resize 1024x768! -define dds:compression=none $WORK/out.dds"
hyperfine -N -w 2 -r "$RUNS" -n lumivale-cli "$OURS" -n imagemagick "$THEIRS"

for command in "$OURS" "$THEIRS"; do
    # shellcheck disable=SC2086
    /usr/bin/time -v $command 2>&1 >/dev/null | sed -n 's/^\tMaximum resident set size (kbytes): /peak kB: /p'
done
