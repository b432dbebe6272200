#!/usr/bin/env bash
# Installs what is needed, builds the program and runs it on the bundled sample script.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target aurisona-cli

echo "Segments of the bundled sample script (resources/scripts/sample.txt):"
./build/default/src/cli/aurisona-cli compile resources/scripts/sample.txt
