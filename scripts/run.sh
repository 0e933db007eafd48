#!/usr/bin/env bash
# Builds the player, makes the demo album beside it (build/Tamm_songs) when
# there is none, and starts it. Arguments go to the player:
#   scripts/run.sh                  the demo album
#   scripts/run.sh ~/Music/Album    a folder of your own
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh run
bash scripts/make-album.sh build/tools/album/orba-album build
exec ./build/orba "$@"
