#!/usr/bin/env bash
# Installs what is needed, builds the project in the normal and the sanitizer
# presets and runs the whole test suite in both.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)
# The sound device tests play into a private PulseAudio server with a null sink,
# which CTest starts (scripts/pulse-null-sink.sh) before them and stops after
# them; stop those servers here too, should a run be interrupted.
stop_sound_servers() {
  local p d
  for p in default asan; do
    for d in "build/$p/tests"/pulse "build/$p/tests"/pulse-*; do
      [ -d "$d" ] && bash scripts/pulse-null-sink.sh stop "$d" || true
    done
  done
}
trap stop_sound_servers EXIT
for preset in default asan; do
  echo "== preset $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
