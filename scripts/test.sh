#!/usr/bin/env bash
# Builds ORBA and runs every test: unit, OpenGL on Mesa, the sound layer on
# generated files, and the real program under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh test
cd build
# End-to-end tests run alone (RUN_SERIAL): they own the X display and the sound.
ctest --output-on-failure -j2
bash ../scripts/sanitize.sh   # ASan+UBSan: every test program; TSan: sound and music disk
bash ../scripts/fuzz.sh 60    # each fuzz target for 60 s
