#!/usr/bin/env bash
# Processor use and frame rate of the whole player under a private Xvfb
# display (software OpenGL, llvmpipe), playing in its window for SECONDS
# (default 30): alone; then with two busy processes beside it (one per core
# here); then with its window unmapped (hidden), when it should draw nothing
# and rest. The frame rate is the program's own count (ORBA_FRAME_STATS).
#   scripts/cpu.sh [SECONDS]   (after scripts/build.sh; a measurement, not a test)
# Goals: at most 30 % of a core playing alone, at least 50 frames a second
# beside the busy processes, at most 3 % hidden.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
bin=build/orba
[ -x "$bin" ] || { echo "cpu: build first (scripts/build.sh)" >&2; exit 1; }
work=$(mktemp -d)
pid=""
xvfb=""
busy_pids=()
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  for b in "${busy_pids[@]}"; do kill "$b" 2>/dev/null || true; done
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
length=$(( 3 * seconds + 30 ))
sox -n -r 44100 -c 2 "$work/music/noise.wav" synth "$length" pinknoise vol 0.3

XDG_STATE_HOME="$work/state" ORBA_FRAME_STATS=1 SDL_AUDIODRIVER=dummy "$bin" --windowed "$work/music" 2>"$work/stderr.log" &
pid=$!
sleep 12   # loading and the fade in
ticks=$(getconf CLK_TCK)
used() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
# The per cent of one core over $seconds, and the frames a second the
# program counted meanwhile (its five-second reports, averaged).
measure() {
  local a b from
  from=$(wc -l <"$work/stderr.log")
  a=$(used)
  sleep "$seconds"
  b=$(used)
  local fps
  fps=$(tail -n +"$((from + 1))" "$work/stderr.log" |
        awk '/ORBA: frames:/ {s += $7; n++; if ($11 > m) m = $11} END {if (n) printf "%.1f frames a second, longest frame %.1f ms", s / n, m; else print "no frame counted"}')
  echo "$(( (b - a) * 100 / (ticks * seconds) )) % of a core; $fps"
}
alone=$(measure)
for _ in 1 2; do
  sh -c 'while :; do :; done' &
  busy_pids+=($!)
done
loaded=$(measure)
for b in "${busy_pids[@]}"; do kill "$b" 2>/dev/null || true; done
busy_pids=()
win=$(xdotool search --onlyvisible --class orba | head -n 1)
xdotool windowunmap "$win"
sleep 1
hidden=$(measure)
xdotool windowmap "$win"
echo "cpu: playing in its window:      $alone (over $seconds s)"
echo "cpu: beside two busy processes:  $loaded"
echo "cpu: window unmapped:            $hidden"
