#!/usr/bin/env bash
# Takes pictures of the main window (with the sample script, in every skin)
# and of every dialog and menu with aurisona-screenshots (tools/screenshots),
# under a virtual X server. The program runs on
# a throw-away data directory, so nothing of the user's setup is touched.
#
#   bash scripts/screenshots.sh [OUTPUT_DIR]     (default: build/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."

out="$(realpath -m "${1:-build/screenshots}")"
cmake --preset default >/dev/null
cmake --build --preset default -j 2 --target aurisona-screenshots

scratch="$(mktemp -d)"
# A private null sink, so that the preview pictures show speech being heard.
pulse=""
if bash scripts/pulse-null-sink.sh start "$scratch/pulse" >/dev/null 2>&1; then
  pulse="unix:$scratch/pulse/native"
fi
trap '[ -n "$pulse" ] && bash scripts/pulse-null-sink.sh stop "$scratch/pulse" >/dev/null 2>&1; rm -rf "$scratch"' EXIT
mkdir -p "$out" "$scratch/home"
env ${pulse:+PULSE_SERVER=$pulse} HOME="$scratch/home" XDG_DATA_HOME="$scratch/home/.local/share" XDG_RUNTIME_DIR="$scratch" \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  ./build/default/tools/screenshots/aurisona-screenshots "$out" >/dev/null
echo "Screenshots in $out:"
ls "$out"
