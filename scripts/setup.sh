#!/usr/bin/env bash
# Installs every Debian package Aurisona needs to build, run and test.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh: run as root (it installs Debian packages with apt-get)" >&2
  exit 1
fi

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  # the Debian package: icons drawn from the SVG, and the checks of its test
  dpkg-dev librsvg2-bin lintian appstream libxml2-utils man-db
  # tests and benchmarks
  googletest libgtest-dev libbenchmark-dev
  # line coverage (the coverage preset) and code counts
  gcovr cloc
  # core libraries
  zlib1g-dev libespeak-ng-dev espeak-ng-data libsndfile1-dev libmpg123-dev libmp3lame-dev
  flite1-dev
  # Festival as a library with its HTS US English voice (and text2wave, the command-voice tests)
  festival-dev festival festvox-us-slt-hts
  # eSpeak NG's command-line program: a command voice in the tests
  espeak-ng
  # sound device
  portaudio19-dev libasound2-dev pulseaudio pulseaudio-utils libasound2-plugins
  # a second kind of sound server for the device tests
  pipewire pipewire-pulse wireplumber dbus-daemon
  # desktop application
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev xvfb xauth fonts-noto-cjk shared-mime-info desktop-file-utils
  # loudness measurement (EBU R128)
  libebur128-dev
  # independent decoders and meters used by the tests
  mpg123 lame sox ffmpeg
  # speech recogniser for the intelligibility test
  pocketsphinx pocketsphinx-en-us
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
