# Shared steps of the end-to-end tests: a private Xvfb display, the program
# started in a folder of its own, the start-up question answered, screenshots.
# Sourced by the tests; each test passes the program and the build folder.
set -euo pipefail

ORBA_BIN=${1:?program}
BUILD_DIR=${2:?build folder}
SCREEN_W=${SCREEN_W:-1920}
SCREEN_H=${SCREEN_H:-1080}
WORK=$(mktemp -d "${BUILD_DIR}/e2e-XXXXXX")
ARTIFACTS="${BUILD_DIR}/e2e-artifacts"
mkdir -p "$ARTIFACTS"
XVFB_PID=""
ORBA_PID=""

cleanup() {
    [ -n "$ORBA_PID" ] && kill -9 "$ORBA_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

start_display() {
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 "${SCREEN_W}x${SCREEN_H}x24" -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do
            xdpyinfo >/dev/null 2>&1 && return 0
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null || true
    done
    fail "no Xvfb display could be started"
}

# start_orba [extra env assignments...]: runs the program in $WORK.
start_orba() {
    (cd "$WORK" && exec env "$@" "$ORBA_BIN") >"$WORK/stdout.log" 2>"$WORK/stderr.log" &
    ORBA_PID=$!
}

# wait_for <seconds> <command...>: polls until the command succeeds.
wait_for() {
    local limit=$1
    shift
    local end=$((SECONDS + limit))
    while [ $SECONDS -lt $end ]; do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

message_box_shown() { xwininfo -name ORBA >/dev/null 2>&1; }

# The player's window: SDL names its class after the program.
player_window() { xdotool search --onlyvisible --class orba 2>/dev/null | head -n 1; }
player_shown() { [ -n "$(player_window)" ]; }

answer_box() { # answer_box Yes|No
    wait_for 20 message_box_shown || fail "the Fullscreen? box did not appear"
    local box
    box=$(xwininfo -name ORBA | awk '/Window id:/ {print $4}')
    xdotool windowactivate --sync "$box" 2>/dev/null || xdotool windowfocus "$box" 2>/dev/null || true
    if [ "$1" = No ]; then
        xdotool key --window "$box" Escape
    else
        xdotool key --window "$box" Return
    fi
}

window_geometry() { # prints "x y w h" of the player window
    local id
    id=$(player_window)
    xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}

screenshot() { # screenshot <name>: the whole screen into the artifacts
    import -window root "$ARTIFACTS/$1.png"
}

# pixel <file> <x> <y>: prints "r g b" (0..255)
pixel() {
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:
}

# wait_exit <seconds>: waits for the program to end; prints its exit code.
wait_exit() {
    local end=$((SECONDS + $1))
    while kill -0 "$ORBA_PID" 2>/dev/null; do
        [ $SECONDS -ge $end ] && { echo timeout; return 0; }
        sleep 0.1
    done
    local code=0
    wait "$ORBA_PID" || code=$?
    ORBA_PID=""
    echo "$code"
}
