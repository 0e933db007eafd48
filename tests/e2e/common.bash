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
ORBA_ENV=()

cleanup() {
    [ -n "$ORBA_PID" ] && kill -9 "$ORBA_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    # What the program and the display looked like when it went wrong.
    if [ -n "$ORBA_PID" ]; then
        kill -0 "$ORBA_PID" 2>/dev/null && echo "program still running" >&2 || echo "program had ended" >&2
    fi
    [ -s "$WORK/stderr.log" ] && grep -v '^ALSA lib\|XDG_RUNTIME_DIR' "$WORK/stderr.log" | sed 's/^/stderr: /' >&2
    [ -n "${DISPLAY:-}" ] && xwininfo -root -tree 2>/dev/null | grep -E '^ +0x' | head -n 20 | sed 's/^/window: /' >&2
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
            # Ours, not a server of another test still going away there.
            kill -0 "$XVFB_PID" 2>/dev/null || break
            xdpyinfo >/dev/null 2>&1 && kill -0 "$XVFB_PID" 2>/dev/null && return 0
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null || true
    done
    fail "no Xvfb display could be started"
}

# start_orba [extra env assignments...]: runs the program in $WORK.
start_orba() {
    ORBA_ENV=("$@")
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
    if ! wait_for 20 message_box_shown; then
        # SDL's X11 box now and then fails to come up on Xvfb (the program
        # says so on stderr and keeps the window). Shown once more, it must.
        echo "warning: the Fullscreen? box did not appear; starting again" >&2
        grep -h "message box" "$WORK/stderr.log" >&2 || true
        kill -9 "$ORBA_PID" 2>/dev/null || true
        wait "$ORBA_PID" 2>/dev/null || true
        start_orba "${ORBA_ENV[@]}"
        wait_for 20 message_box_shown || fail "the Fullscreen? box did not appear"
    fi
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
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]\n" info:
}

# wait_exit <seconds>: waits for the program to end and sets EXIT_CODE
# ("timeout" if it did not end in time). Not in a subshell: only this shell
# can collect its child's status.
wait_exit() {
    local end=$((SECONDS + $1))
    EXIT_CODE=timeout
    while kill -0 "$ORBA_PID" 2>/dev/null; do
        [ $SECONDS -ge $end ] && return 0
        # A finished child that is not yet collected still answers kill -0.
        [ "$(ps -o stat= -p "$ORBA_PID" 2>/dev/null | cut -c1)" = Z ] && break
        sleep 0.1
    done
    EXIT_CODE=0
    wait "$ORBA_PID" || EXIT_CODE=$?
    ORBA_PID=""
}

# The player's client area (800 x 600) of the whole-screen capture $1 into $2.
client_area() {
    local id x y w h
    read -r x y w h < <(window_geometry)
    convert "$1" -crop "800x600+${x}+${y}" +repage "$2"
}

# mean <file> <w>x<h>+<x>+<y>: mean brightness 0..1 of a region
mean() {
    convert "$1" -crop "$2" +repage -colorspace Gray -format "%[fx:mean]" info:
}

# differing <a> <b> <region>: how many pixels of the region differ
differing() {
    convert "$1" -crop "$3" +repage "$WORK/.diff-a.png"
    convert "$2" -crop "$3" +repage "$WORK/.diff-b.png"
    compare -metric AE -fuzz 2% "$WORK/.diff-a.png" "$WORK/.diff-b.png" null: 2>&1 | awk '{print int($1)}'
}

# click <x> <y>: a left click at client coordinates
click() {
    local x y w h
    read -r x y w h < <(window_geometry)
    xdotool mousemove --sync $((x + $1)) $((y + $2))
    sleep 0.15
    # Held for a tenth of a second, as a person clicks: a press and release
    # inside one frame is never seen as a press.
    xdotool mousedown 1
    sleep 0.25
    xdotool mouseup 1
    sleep 0.4
}

# Short generated tracks in the work folder's Tamm_songs/.
make_short_album() { # make_short_album <seconds> [days a-b]
    local tool="${BUILD_DIR}/tools/album/orba-album"
    [ -x "$tool" ] || fail "album tool missing: $tool"
    "$tool" --out "$WORK/Tamm_songs" --seconds "$1" --days "${2:-1-30}" --jobs 2 >/dev/null
}

# bytes_since <file> <offset>: how many bytes of float samples after the
# offset are not silent (absolute value above 1e-4)
loud_samples_since() {
    python3 - "$1" "$2" <<'PY'
import struct, sys
path, start = sys.argv[1], int(sys.argv[2])
with open(path, 'rb') as f:
    f.seek(start)
    data = f.read()
n = len(data) // 4
vals = struct.unpack('<%df' % n, data[:n * 4])
print(sum(1 for v in vals if abs(v) > 1e-4), n)
PY
}

# press <key>: a real key press (XTEST) into the player's window.
press() {
    local id
    id=$(player_window)
    xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id" 2>/dev/null || true
    sleep 0.1
    # Held for a moment, as a person presses it: a key that goes down and up
    # between two frames is never seen.
    xdotool keydown "$1"
    sleep 0.25
    xdotool keyup "$1"
}

# The track the player last said it started ("ORBA: playing <n> of <m>: TEXT").
playing() { grep "ORBA: playing [0-9]* of" "$WORK/stderr.log" | tail -n 1; }
expect_playing() { # expect_playing "<n> of <m>: TEXT"
    wait_for 5 bash -c "grep 'ORBA: playing [0-9]* of' '$WORK/stderr.log' | tail -n 1 | grep -qF '$1'" ||
        fail "expected 'playing $1', last said: $(playing)"
}

# start_orba_in <folder> [env assignments...] -- [arguments...]: the program
# started from another folder, with arguments.
start_orba_in() {
    local dir=$1
    shift
    local envs=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do envs+=("$1"); shift; done
    [ "${1:-}" = -- ] && shift
    (cd "$dir" && exec env "${envs[@]}" "$ORBA_BIN" "$@") >"$WORK/stdout.log" 2>"$WORK/stderr.log" &
    ORBA_PID=$!
}
