#!/usr/bin/env bash
# Installs what is needed, builds the program and renders the bundled sample
# script to an MP3 file.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target aurisona-cli

out="$PWD/build/aurisona-sample.mp3"
./build/default/src/cli/aurisona-cli render resources/scripts/sample.txt -o "$out"
echo "The bundled sample script is rendered to: $out"
