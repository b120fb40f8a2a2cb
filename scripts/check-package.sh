#!/usr/bin/env bash
# Checks the Debian package that `scripts/build.sh package` made: lintian (no
# errors), the desktop entry, the AppStream metadata, both manual pages, and
# the programs of an unpacked copy (catalogue, sound module and Ogg Vorbis
# libraries found from their own folder), run without a display.
#   scripts/check-package.sh [lumivale_VERSION_amd64.deb]
set -euo pipefail
cd "$(dirname "$0")/.."

deb="${1:-$(ls lumivale_*_amd64.deb | tail -n 1)}"
[ -f "$deb" ] || { echo "check-package: no package $deb" >&2; exit 1; }
id=io.github.lumivale.Lumivale
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }
step() { echo "== $*" >&2; }

step "lintian $deb"
lintian --fail-on error --display-level '>=warning' "$deb"

step "unpacked copy"
dpkg-deb -x "$deb" "$work/root"
usr="$work/root/usr"
desktop-file-validate "$usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml"
version="$(dpkg-deb -f "$deb" Version)"
# 1.2.0.7 is shown as "1.2 build 7".
IFS=. read -r major minor _ build <<<"$version"
version_text="$major.$minor build $build"
grep -q "<release version=\"$version\"" "$usr/share/metainfo/$id.metainfo.xml" ||
  fail "the metadata names no release $version"
for size in 16 22 24 32 48 64 128 256; do
  [[ "$(file -b "$usr/share/icons/hicolor/${size}x${size}/apps/$id.png")" == "PNG image data, $size x $size,"* ]] ||
    fail "no ${size}x${size} icon"
done
for page in lumivale lumivale-cli; do
  errors="$(MANPAGER=cat MANWIDTH=80 man --warnings -l "$usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
  [ -z "$errors" ] || fail "man $page: $errors"
  [[ "$(zcat "$usr/share/man/man1/$page.1.gz")" == *$'\n.SH OPTIONS\n'* ]] || fail "man $page lacks the options"
done

# The unpacked programs, with a home of their own and no display.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_CACHE_HOME="$work/home/cache"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$work/game"
mkdir -m 700 "$XDG_RUNTIME_DIR"
step "lumivale --help/--version"
[[ "$("$usr/bin/lumivale" --help)" == "Usage: lumivale "* ]] || fail "lumivale --help"
[[ "$("$usr/bin/lumivale" --version)" == "lumivale $version_text" ]] || fail "lumivale --version"
[[ "$("$usr/bin/lumivale-cli" --version)" == "lumivale-cli $version_text" ]] || fail "lumivale-cli --version"

step "lumivale (the window, offscreen, ends once painted)"
QT_QPA_PLATFORM=offscreen LUMIVALE_EXIT_WHEN_SHOWN=1 timeout 60 "$usr/bin/lumivale" || fail "the window did not start"

step "lumivale-cli texture list"
"$usr/bin/lumivale-cli" texture list >"$work/textures.txt"
[ "$(wc -l <"$work/textures.txt")" -gt 100 ] || fail "texture list printed $(wc -l <"$work/textures.txt") lines"

step "lumivale-cli music"
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=1" -ac 2 -c:a libmp3lame "$work/tone.mp3"
"$usr/bin/lumivale-cli" music "$work/tone.mp3" --game "$work/game" --hero-login >"$work/tracks.txt"
[ -s "$work/tracks.txt" ] || fail "music wrote no track"
while read -r track; do
  ogginfo "$track" >/dev/null || fail "not sound Ogg Vorbis: $track"
done <"$work/tracks.txt"
echo "check-package: $deb passed" >&2
