#!/usr/bin/env bash
# Builds the coverage preset, runs the whole test suite in it and prints the
# line coverage of the core, the command-line program and the sound device
# layer (gcovr; an HTML report is written to build/coverage/coverage.html).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

dir=build/coverage
stop_sound_servers() {
  local d
  for d in "$dir/tests"/pulse "$dir/tests"/pulse-*; do
    [ -d "$d" ] && bash scripts/pulse-null-sink.sh stop "$d" || true
  done
}
trap stop_sound_servers EXIT
cmake --preset coverage >/dev/null
cmake --build --preset coverage -j "$(nproc)"
find "$dir" -name '*.gcda' -delete
ctest --preset coverage -j "$(nproc)" || echo "coverage.sh: some tests failed; coverage is of the run as it went" >&2
filters=(--filter 'src/core/' --filter 'src/cli/' --filter 'src/audio-io/')
gcovr --root . --object-directory "$dir" "${filters[@]}" --exclude-unreachable-branches \
  --print-summary --html "$dir/coverage.html" --txt "$dir/coverage.txt" >/dev/null
for layer in core cli audio-io; do
  printf '%-10s ' "src/$layer"
  gcovr --root . --object-directory "$dir" --filter "src/$layer/" --print-summary 2>/dev/null | grep '^lines:'
done
echo "total:     $(grep -m1 '^TOTAL' "$dir/coverage.txt" || true)"
