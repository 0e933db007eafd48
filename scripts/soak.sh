#!/usr/bin/env bash
# The long soak on a private Xvfb display: scripts/soak.sh [seconds] (default 1800).
# Builds the benchmarks first (build/, as scripts/build.sh leaves it).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1800}
cmake --build build --target bench_soak orba-album >/dev/null
for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null || true' EXIT
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    DISPLAY=":$n" build/bench/bench_soak "$seconds"
    exit $?
done
echo "soak: no free X display number" >&2
exit 1
