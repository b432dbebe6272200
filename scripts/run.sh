#!/usr/bin/env bash
# Installs what is needed, builds the program and starts the desktop
# application. Without a display it renders the bundled sample script to an
# MP3 file instead.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake --preset default >/dev/null

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  cmake --build --preset default -j "$(nproc)" --target aurisona
  exec ./build/default/src/app/aurisona "$@"
fi

cmake --build --preset default -j "$(nproc)" --target aurisona-cli
out="$PWD/build/aurisona-sample.mp3"
./build/default/src/cli/aurisona-cli render resources/scripts/sample.txt -o "$out"
echo "No display (\$DISPLAY or \$WAYLAND_DISPLAY): the bundled sample script is rendered to: $out"
