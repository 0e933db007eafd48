#!/usr/bin/env bash
# Builds ORBA, makes the demo album when there is none, and starts the player
# from the folder that holds Tamm_songs/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
bash scripts/make-album.sh build/tools/album/orba-album .
exec ./build/orba
