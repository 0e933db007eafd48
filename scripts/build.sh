#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/.
#   scripts/build.sh run    the player and the album tool only
#   scripts/build.sh test   everything: the player, the tools, tests, benchmarks
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-test}
bash scripts/install-deps.sh "$mode"
if [ "$mode" = run ]; then
  # Without the tests, configuring needs none of the test packages.
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBA_BUILD_TESTS=OFF >/dev/null
  cmake --build build -j"$(nproc)" --target orba orba-album
else
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBA_BUILD_TESTS=ON >/dev/null
  cmake --build build -j"$(nproc)"
fi
