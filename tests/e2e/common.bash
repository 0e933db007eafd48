# Shared steps of the end-to-end tests: a private Xvfb display, the program
# started in a folder of its own, the start-up question answered, screenshots.
# Sourced by the tests; each test passes the program and the build folder.
#
# Nothing here sleeps for "long enough": after a start, a key or a click the
# tests wait until the screen, the window, the bus, the output or the process
# shows what they check. The limits are generous, for a machine busy with
# other work; when one runs out the test fails naming what never came.
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
# The program's kept settings stay in the test's own folder.
export XDG_STATE_HOME="$WORK/state"

# ended <pid>: the process is gone, or has ended and is not yet collected (a
# child in that state still answers kill -0).
ended() {
    ! kill -0 "$1" 2>/dev/null || [ "$(ps -o stat= -p "$1" 2>/dev/null | cut -c1)" = Z ]
}

cleanup() {
    [ -n "$ORBA_PID" ] && kill -9 "$ORBA_PID" 2>/dev/null || true
    if [ -n "$XVFB_PID" ]; then
        # Gone before the next test starts a server of its own.
        kill "$XVFB_PID" 2>/dev/null || true
        wait_for 30 ended "$XVFB_PID" || kill -9 "$XVFB_PID" 2>/dev/null || true
    fi
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

# wait_for <seconds> <command...>: polls until the command succeeds; false
# when the time runs out.
wait_for() {
    local limit=$1
    shift
    local end=$((SECONDS + limit))
    while :; do
        "$@" >/dev/null 2>&1 && return 0
        [ $SECONDS -lt $end ] || return 1
        sleep 0.1
    done
}

# wait_until <seconds> <what> <command...>: polls until the command succeeds;
# fails the test naming what did not come in time, or at once if the program
# has ended meanwhile.
wait_until() {
    local limit=$1 what=$2
    shift 2
    local end=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        still_running "$what"
        [ $SECONDS -lt $end ] || fail "waited $limit s for $what"
        sleep 0.1
    done
}
# still_running <what>: fails the test if the program it started has ended.
still_running() {
    if [ -n "$ORBA_PID" ] && ended "$ORBA_PID"; then
        fail "the program ended while the test waited for $1"
    fi
}

start_display() {
    # The server takes a free display itself and names it once it accepts
    # connections: no number to guess, and no server of another test, still
    # going away, to be taken for ours.
    : >"$WORK/display"
    Xvfb -displayfd 3 -screen 0 "${SCREEN_W}x${SCREEN_H}x24" -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
    XVFB_PID=$!
    wait_until 120 "Xvfb to name its display" display_named
    [ -s "$WORK/display" ] || fail "Xvfb ended without naming a display"
    DISPLAY=":$(head -n 1 "$WORK/display")"
    export DISPLAY
    wait_until 60 "Xvfb on $DISPLAY to answer" xdpyinfo
}
# A whole line written, or the server gone.
display_named() { [ "$(wc -l <"$WORK/display")" -ge 1 ] || ended "$XVFB_PID"; }

# start_orba [extra env assignments...]: runs the program in $WORK.
start_orba() {
    ORBA_ENV=("$@")
    (cd "$WORK" && exec env "$@" "$ORBA_BIN") >"$WORK/stdout.log" 2>"$WORK/stderr.log" &
    ORBA_PID=$!
}

message_box_shown() { xwininfo -name ORBA >/dev/null 2>&1; }

# The player's window: SDL names its class after the program.
player_window() { xdotool search --onlyvisible --class orba 2>/dev/null | head -n 1; }
player_shown() { [ -n "$(player_window)" ]; }

# The box up and taking keys.
box_ready() { xwininfo -name ORBA 2>/dev/null | grep -q 'Map State: IsViewable'; }
# The box, or the player's window without it: SDL's X11 box now and then
# fails to come up on Xvfb; after three tries the program says so on stderr
# and opens its window.
box_or_window() { box_ready || player_shown; }

answer_box() { # answer_box Yes|No
    wait_until 120 "the Fullscreen? box" box_or_window
    if ! box_ready; then
        # Shown once more, it must.
        echo "warning: the Fullscreen? box did not appear; starting again" >&2
        grep -h "message box" "$WORK/stderr.log" >&2 || true
        kill -9 "$ORBA_PID" 2>/dev/null || true
        wait "$ORBA_PID" 2>/dev/null || true
        start_orba "${ORBA_ENV[@]}"
        wait_until 120 "the Fullscreen? box, the second time" box_ready
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
    EXIT_CODE=timeout
    wait_for "$1" ended "$ORBA_PID" || return 0
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

# changed_pixels <a> <b> <region>: how many pixels of the region differ at all
changed_pixels() {
    convert "$1" -crop "$3" +repage "$WORK/.diff-a.png"
    convert "$2" -crop "$3" +repage "$WORK/.diff-b.png"
    compare -metric AE "$WORK/.diff-a.png" "$WORK/.diff-b.png" null: 2>&1 | awk '{print int($1)}'
}

# capture <file>: the player's client area as the screen shows it now, cut
# as client_area cuts a screenshot.
capture() {
    local x y w h
    read -r x y w h < <(window_geometry)
    import -window root -crop "800x600+${x}+${y}" +repage "$1"
}

# wait_screen <seconds> <what> <test...>: captures the client area until the
# test, given the capture as its last argument, holds.
wait_screen() {
    local limit=$1 what=$2
    shift 2
    wait_until "$limit" "$what" screen_shows "$@"
}
screen_shows() { capture "$WORK/now.png" && "$@" "$WORK/now.png"; }

# Tests for wait_screen, measured as the checks measure.
# changed_from <reference> <region> <n> <file>: more than n pixels differ
changed_from() { [ "$(differing "$1" "$4" "$2")" -gt "$3" ]; }
# same_as <reference> <region> <n> <file>: fewer than n pixels differ
same_as() { [ "$(differing "$1" "$4" "$2")" -lt "$3" ]; }
# drawn <file>: anything but black in the client area
drawn() { awk "BEGIN{exit !($(mean "$1" 800x600+0+0) > 0)}"; }

# The player's look, in client coordinates.
MOVING=800x290+0+62   # the blob on its grid, and the ticker: new in every frame while the clocks run
BAND=780x40+10+5      # the skin's top band: still once the fade from black is over

# wait_still <seconds> <what> <region> <test...>: captures the client area
# until the test holds and the region has come to rest: the same, to the
# pixel, before and after two new frames (the blob moved twice). The second
# of those frames was begun after the first capture was taken, so a fade
# still running would show in it. Only while the clocks run.
wait_still() {
    local limit=$1 what=$2 region=$3 frames=0
    shift 3
    local end=$((SECONDS + limit))
    until capture "$WORK/.still-start.png"; do
        still_running "$what"
        [ $SECONDS -lt $end ] || fail "waited $limit s for $what"
        sleep 0.1
    done
    cp "$WORK/.still-start.png" "$WORK/.still-last.png"
    while :; do
        still_running "$what"
        [ $SECONDS -lt $end ] || fail "waited $limit s for $what"
        capture "$WORK/.still-now.png" || continue
        if [ "$(changed_pixels "$WORK/.still-last.png" "$WORK/.still-now.png" $MOVING)" -gt 0 ]; then
            frames=$((frames + 1))
            cp "$WORK/.still-now.png" "$WORK/.still-last.png"
        fi
        [ $frames -ge 2 ] || continue
        if "$@" "$WORK/.still-last.png" &&
            [ "$(changed_pixels "$WORK/.still-start.png" "$WORK/.still-last.png" "$region")" = 0 ]; then
            return 0
        fi
        cp "$WORK/.still-last.png" "$WORK/.still-start.png"
        frames=0
    done
}

# brighter <region> <level> <file>: the region's mean brightness above the level
brighter() { awk "BEGIN{exit !($(mean "$3" "$1") > $2)}"; }

# wait_faded_in: the player shown at full brightness, the fade from black over.
wait_faded_in() {
    wait_still 120 "the player to fade in fully" $BAND brighter $BAND 0.6
}

# cursor_at <x> <y> <file>: the player's own cursor (a white square in a
# black frame, 16 pixels across) drawn round the client point.
cursor_at() {
    local x=$1 y=$2 seen
    seen=$(convert "$3" -format "%[fx:
        p{$((x - 7)),$y}.intensity + p{$((x + 7)),$y}.intensity +
        p{$x,$((y - 7))}.intensity + p{$x,$((y + 7))}.intensity < 0.1 &&
        p{$x,$y}.intensity > 0.95 &&
        p{$((x - 5)),$((y - 5))}.intensity > 0.95 && p{$((x + 5)),$((y + 5))}.intensity > 0.95 &&
        p{$((x - 5)),$((y + 5))}.intensity > 0.95 && p{$((x + 5)),$((y - 5))}.intensity > 0.95]" info:)
    [ "$seen" = 1 ]
}
no_cursor_at() { ! cursor_at "$@"; }

# wait_drawn <what>: waits until the player has drawn a frame after all that
# was sent to it so far, for when that frame looks like the one before (the
# clocks stopped). Its cursor tells: the pointer goes onto a quiet part of the
# skin until the cursor is drawn there, then back until it has gone again.
PROBE_X=300 PROBE_Y=470
wait_drawn() {
    local mx my x y w h
    read -r mx my < <(pointer)
    read -r x y w h < <(window_geometry)
    move_pointer $((x + PROBE_X)) $((y + PROBE_Y))
    wait_screen 60 "a frame after $1 (the cursor drawn at the probe)" cursor_at $PROBE_X $PROBE_Y
    move_pointer "$mx" "$my"
    wait_screen 60 "a frame after $1 (the cursor gone from the probe)" no_cursor_at $PROBE_X $PROBE_Y
}

# pointer_at <x> <y>: the pointer at that screen point
pointer_at() { [ "$(pointer)" = "$1 $2" ]; }
pointer() { xdotool getmouselocation | sed -E 's/^x:(-?[0-9]+) y:(-?[0-9]+).*/\1 \2/'; }
# move_pointer <x> <y>: the pointer to a screen point, once the server has it
# there (xdotool's own --sync waits many seconds when it is there already).
move_pointer() {
    xdotool mousemove "$1" "$2"
    wait_until 30 "the pointer at $1,$2" pointer_at "$1" "$2"
}

# click <x> <y>: a left click at client coordinates. The player reads where
# the pointer is from the motion before the press, and counts a press that
# came and went between two frames; the caller waits for what it does.
click() {
    local x y w h
    read -r x y w h < <(window_geometry)
    move_pointer $((x + $1)) $((y + $2))
    # Held for a quarter of a second, as a person clicks.
    xdotool mousedown 1
    sleep 0.25
    xdotool mouseup 1
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

# Sound from SDL's disk driver: 44.1 kHz, stereo, floats.
SOUND_SECOND=$((44100 * 2 * 4))
# sound_written <file> <offset>: a second of sound written after the offset
sound_written() { [ "$(stat -c %s "$1")" -ge $(($2 + SOUND_SECOND)) ]; }
# wait_sound <file> <offset>: waits for that second. The driver writes as the
# sound is played, so this is the player's second, not the machine's.
wait_sound() { wait_until 60 "a second of sound after byte $2" sound_written "$1" "$2"; }

# newest_sound <file> quiet|loud: the last tenth of a second written is all
# silent, or more than half of it is not.
newest_sound() {
    python3 - "$1" "$2" <<'PY'
import os, struct, sys
path, want = sys.argv[1], sys.argv[2]
n = 4410 * 2
end = os.path.getsize(path) // 8 * 8
if end < n * 4:
    sys.exit(1)
with open(path, 'rb') as f:
    f.seek(end - n * 4)
    vals = struct.unpack('<%df' % n, f.read(n * 4))
loud = sum(1 for v in vals if abs(v) > 1e-4)
sys.exit(0 if (loud == 0 if want == 'quiet' else loud > n // 2) else 1)
PY
}

focus_player() {
    local id
    id=$(player_window)
    xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id" 2>/dev/null || true
}

# press <key>: a real key press (XTEST) into the player's window. A press that
# came and went between two frames still counts once; the caller waits for
# what it does.
press() {
    focus_player
    # Held for a quarter of a second, as a person presses it.
    xdotool keydown "$1"
    sleep 0.25
    xdotool keyup "$1"
}

# hold_until <key> <seconds> <what> <command...>: the key held down until the
# command succeeds, for what the player does only while a key is down.
hold_until() {
    local key=$1 limit=$2 what=$3
    shift 3
    focus_player
    xdotool keydown "$key"
    wait_until "$limit" "$what" "$@"
    xdotool keyup "$key"
}

# escape_and_wait_exit <seconds>: Escape held until the program ends (it
# looks at the key once a frame, and a short press can fall between two);
# sets EXIT_CODE as wait_exit does.
escape_and_wait_exit() {
    focus_player
    xdotool keydown Escape
    wait_exit "$1"
    xdotool keyup Escape 2>/dev/null || true
}

# The track the player last said it started ("ORBA: playing <n> of <m>: Artist: Title").
playing() { grep "ORBA: playing [0-9]* of" "$WORK/stderr.log" | tail -n 1; }
expect_playing() { # expect_playing "<n> of <m>: TEXT"
    wait_for 60 bash -c "grep 'ORBA: playing [0-9]* of' '$WORK/stderr.log' | tail -n 1 | grep -qF '$1'" ||
        fail "expected 'playing $1' within 60 s, last said: $(playing)"
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
