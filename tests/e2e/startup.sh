#!/usr/bin/env bash
# The program as a new user meets it: the question, a centred window, the
# loading screen, Escape; the close button; full screen on Yes.
source "$(dirname "$0")/common.bash"
start_display
placed() { [ "$(window_geometry)" = "$1" ]; }   # placed "x y w h"
sized() { [ "$(window_geometry | cut -d' ' -f3-)" = "$1" ]; }   # sized "w h"

# No: a borderless 800 x 600 window centred on the 1920 x 1080 screen.
start_orba
answer_box No
wait_until 120 "the player window after No" player_shown
wait_until 60 "the window 800 x 600 at 560,240" placed "560 240 800 600"
read -r x y w h < <(window_geometry)
[ "$w" = 800 ] && [ "$h" = 600 ] || fail "window is ${w}x${h}, not 800x600"
[ "$x" = 560 ] && [ "$y" = 240 ] || fail "window at $x,$y, not 560,240"
screenshot startup-window
escape_and_wait_exit 60
[ "$EXIT_CODE" = 0 ] || fail "Escape ended the program with $EXIT_CODE"

# Closing the window ends the program too.
start_orba
answer_box No
wait_until 120 "the player window the second time" player_shown
wait_screen 60 "the loading screen in the window" drawn   # the program is past starting
/usr/bin/python3 "$(dirname "$0")/close_window.py" "$(player_window)"
wait_exit 60
[ "$EXIT_CODE" = 0 ] || fail "closing the window ended the program with $EXIT_CODE"

# Yes: the whole screen.
start_orba
answer_box Yes
wait_until 120 "the player window after Yes" player_shown
wait_until 60 "the window to fill the screen" sized "$SCREEN_W $SCREEN_H"
read -r x y w h < <(window_geometry)
[ "$w" = "$SCREEN_W" ] && [ "$h" = "$SCREEN_H" ] || fail "full screen window is ${w}x${h}"
screenshot startup-fullscreen
escape_and_wait_exit 60
[ "$EXIT_CODE" = 0 ] || fail "Escape in full screen ended the program with $EXIT_CODE"

# No display at all: a clear message and a failure, not a silent success.
code=0
(cd "$WORK" && env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 "$ORBA_BIN") 2>"$WORK/nodisplay.log" || code=$?
[ "$code" != 0 ] || fail "without a display the program reported success"
grep -q "cannot start" "$WORK/nodisplay.log" || fail "without a display nothing was said on stderr"
echo "startup: all checks passed"
