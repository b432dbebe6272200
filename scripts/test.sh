#!/usr/bin/env bash
# Installs what is needed, builds the project in the normal and the sanitizer
# presets and runs the whole test suite in both.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)
for preset in default asan; do
  echo "== preset $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
