#!/usr/bin/env bash
# Installs every Debian package Lumivale needs to build, run, test, benchmark and package.
# Quiet and quick when everything is already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-image-formats-plugins libgl-dev
  libvorbis-dev libogg-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  libnvtt-bin libstb-dev libexpected-dev nettle-dev libjpeg62-turbo-dev libyaml-cpp-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdg-utils xdg-user-dirs desktop-file-utils imagemagick vorbis-tools ffmpeg hyperfine
  # https downloads (Qt loads libssl at run time; the system's certificate authorities);
  # openssl makes the tests' certificates, curl is the download benchmark's anchor.
  libssl3 ca-certificates openssl curl
  # The Debian package: icons, manual pages, building and checking it.
  librsvg2-bin help2man gzip man-db dpkg-dev file lintian appstream
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
