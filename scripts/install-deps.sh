#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Idempotent: packages already present are skipped; runs apt only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config make clang libclang-rt-14-dev
  qt6-base-dev libqt6opengl6-dev
  libepoxy-dev libgl1-mesa-dri libegl-dev libegl-mesa0
  libmagickcore-6.q16-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg
  portaudio19-dev libasound2-dev libjack-jackd2-dev
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev libassimp-dev libtinygltf-dev libxml2-dev
  xvfb xauth fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
