#!/bin/sh
# The music conversion's two timed jobs, each side by side with FFmpeg's own
# libvorbis at the same quality (-q:a 4 is quality 0.4) in one hyperfine run:
#   1. one 3-minute 44.1 kHz stereo MP3 into the heroes login tracks
#      (`lumivale-cli music song.mp3 --game DIR --hero-login`) against
#      `ffmpeg -i song.mp3 -c:a libvorbis -q:a 4 out.ogg`; then the two output sizes;
#   2. the random mode with 8 different 1-minute MP3s into 8 BoomBox tracks
#      against the same 8 FFmpeg conversions one after another.
# Usage: bench/music.sh [BIN_DIR] [RUNS]   (BIN_DIR defaults to build-release/bin)
set -eu

BIN=$(cd "${1:-build-release/bin}" && pwd)
RUNS=${2:-5}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache" XDG_CONFIG_HOME="$WORK/config"
mkdir -p "$WORK/game" "$WORK/random" "$WORK/ff"

# Music-like material: a chord whose notes move, a beat and some noise, so the
# encoder has real work (a pure tone would flatter both sides).
music() { # seconds seed output
    ffmpeg -v error -y -f lavfi -i "aevalsrc=0.18*sin(2*PI*(196+$2*7)*t*(1+0.002*sin(2*PI*0.3*t)))+0.12*sin(2*PI*(247+$2*5)*t)+0.1*sin(2*PI*294*t+sin(2*PI*3*t))+0.25*exp(-12*mod(t\,0.5))*sin(2*PI*60*t)|0.15*sin(2*PI*(196+$2*7)*t)+0.13*sin(2*PI*(330+$2*3)*t)+0.1*sin(2*PI*392*t+sin(2*PI*2*t))+0.25*exp(-12*mod(t\,0.5))*sin(2*PI*60*t):s=44100:d=$1" \
        -f lavfi -i "anoisesrc=d=$1:c=pink:a=0.05:r=44100:seed=$2" \
        -filter_complex "[1]aformat=channel_layouts=mono,pan=stereo|c0=c0|c1=c0[n];[0][n]amix=inputs=2:normalize=0" \
        -c:a libmp3lame -b:a 192k "$3"
}

echo "== making a 3-minute MP3 and 8 different 1-minute MP3s"
music 180 1 "$WORK/song.mp3"
i=1
while [ $i -le 8 ]; do
    music 60 $((i + 1)) "$WORK/random/track$i.mp3"
    i=$((i + 1))
done

echo "== one 3-minute MP3 into the heroes login tracks"
hyperfine -N -w 1 -r "$RUNS" \
    -p "rm -rf $WORK/game/data $WORK/game/Lumivale" \
    -n lumivale-cli "$BIN/lumivale-cli music $WORK/song.mp3 --game $WORK/game --hero-login" \
    -n ffmpeg "ffmpeg -v error -y -i $WORK/song.mp3 -c:a libvorbis -q:a 4 $WORK/out.ogg"
# The prepare step cleared the game folder before the last run: one more for the size.
rm -rf "$WORK/game/data" "$WORK/game/Lumivale"
"$BIN/lumivale-cli" music "$WORK/song.mp3" --game "$WORK/game" --hero-login >/dev/null 2>&1
ours=$(stat -c %s "$WORK/game/data/sound/Ogg/FrontEnd/H_music1_loop.ogg")
theirs=$(stat -c %s "$WORK/out.ogg")
echo "output size: lumivale-cli $ours bytes, ffmpeg $theirs bytes ($(awk "BEGIN{printf \"%+.2f\", ($ours-$theirs)*100/$theirs}") %)"

echo "== random mode: 8 different 1-minute MP3s into 8 BoomBox tracks"
cat > "$WORK/ffmpeg8.sh" <<SCRIPT
for f in $WORK/random/*.mp3; do
    ffmpeg -v error -y -i "\$f" -c:a libvorbis -q:a 4 "$WORK/ff/\$(basename "\$f" .mp3).ogg" || exit 1
done
SCRIPT
hyperfine -N -w 1 -r "$RUNS" \
    -p "rm -rf $WORK/game/data $WORK/game/Lumivale" \
    -n "lumivale-cli --random" "$BIN/lumivale-cli music $WORK/random --random --game $WORK/game --boombox 1 --boombox 2 --boombox 3 --boombox 4 --boombox 5 --boombox 6 --boombox 7 --boombox 8" \
    -n "8 x ffmpeg, one after another" "sh $WORK/ffmpeg8.sh"
