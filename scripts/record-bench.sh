#!/usr/bin/env bash
# How fast orba --record runs: scripts/record-bench.sh [seconds] records an
# album of two generated tracks (default 10 s each) at 800x600 and at
# 1920x1080, 60 fps, H.264, and prints each run's speed as a multiple of real
# time (show seconds over wall seconds, the loading screen included).
# Needs build/orba (scripts/build.sh), sox and lame. Not a test: it times.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
cmake --build build --target orba >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Tamm_songs"
sox -n -r 44100 -c 2 "$work/a.wav" synth "$seconds" pinknoise vol 0.4
sox -n -r 44100 -c 2 "$work/b.wav" synth "$seconds" sine 220-880 vol 0.4
lame --quiet "$work/a.wav" "$work/Tamm_songs/tamm - day1.mp3"
lame --quiet "$work/b.wav" "$work/Tamm_songs/tamm - day2.mp3"
orba=$(pwd)/build/orba
for size in 800x600 1920x1080; do
    start=$(date +%s.%N)
    (cd "$work" && "$orba" --record "$work/film.mp4" --size "$size" --fps 60 2>"$work/log") ||
        { cat "$work/log" >&2; exit 1; }
    end=$(date +%s.%N)
    frames=$(tr '\r' '\n' <"$work/log" | sed -nE 's/^ORBA: recorded ([0-9]+) frames.*/\1/p')
    python3 - "$size" "$frames" "$start" "$end" "$(stat -c %s "$work/film.mp4")" <<'PY'
import sys
size, frames, start, end, bytes_ = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4]), int(sys.argv[5])
wall = end - start
print(f"{size:>9} 60 fps: {frames} frames ({frames / 60:.1f} s of show) in {wall:.1f} s: "
      f"{frames / 60 / wall:.2f}x real time, {frames / wall:.1f} frames/s, {bytes_ / 1e6:.1f} MB")
PY
done
