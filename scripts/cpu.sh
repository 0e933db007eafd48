#!/usr/bin/env bash
# Processor use of the whole player under a private Xvfb display (software
# OpenGL): over SECONDS (default 10) while it plays in its window, and while
# its window is unmapped (hidden), when it should draw nothing and rest.
#   scripts/cpu.sh [SECONDS]   (after scripts/build.sh; a measurement, not a test)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
bin=build/orba
[ -x "$bin" ] || { echo "cpu: build first (scripts/build.sh)" >&2; exit 1; }
work=$(mktemp -d)
pid=""
xvfb=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for n in $(seq 150 190); do
  [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  xdpyinfo >/dev/null 2>&1 && break
done
mkdir -p "$work/music"
sox -n -r 44100 -c 2 "$work/music/tone.wav" synth 120 sine 220 sine 330 vol 0.3

SDL_AUDIODRIVER=dummy "$bin" --windowed "$work/music" 2>"$work/stderr.log" &
pid=$!
sleep 12   # loading and the fade in
ticks=$(getconf CLK_TCK)
busy() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
measure() { # prints the per cent of one core over $seconds
  local a b
  a=$(busy)
  sleep "$seconds"
  b=$(busy)
  echo $(( (b - a) * 100 / (ticks * seconds) ))
}
playing=$(measure)
win=$(xdotool search --onlyvisible --class orba | head -n 1)
xdotool windowunmap "$win"
sleep 1
hidden=$(measure)
xdotool windowmap "$win"
echo "cpu: playing in its window: ${playing} % of a core over ${seconds} s"
echo "cpu: window unmapped:       ${hidden} % of a core over ${seconds} s (target: at most 3 %)"
