#!/usr/bin/env bash
# The program as a new user meets it: the question, a centred window, the
# loading screen, Escape; the close button; full screen on Yes.
source "$(dirname "$0")/common.bash"
start_display

# No: a borderless 800 x 600 window centred on the 1920 x 1080 screen.
start_orba
answer_box No
wait_for 20 player_shown || fail "no player window after No"
sleep 1
read -r x y w h < <(window_geometry)
[ "$w" = 800 ] && [ "$h" = 600 ] || fail "window is ${w}x${h}, not 800x600"
[ "$x" = 560 ] && [ "$y" = 240 ] || fail "window at $x,$y, not 560,240"
screenshot startup-window
press Escape
wait_exit 20
[ "$EXIT_CODE" = 0 ] || fail "Escape ended the program with $EXIT_CODE"

# Closing the window ends the program too.
start_orba
answer_box No
wait_for 20 player_shown || fail "no player window the second time"
sleep 0.5
/usr/bin/python3 "$(dirname "$0")/close_window.py" "$(player_window)"
wait_exit 20
[ "$EXIT_CODE" = 0 ] || fail "closing the window ended the program with $EXIT_CODE"

# Yes: the whole screen.
start_orba
answer_box Yes
wait_for 20 player_shown || fail "no player window after Yes"
sleep 1
read -r x y w h < <(window_geometry)
[ "$w" = "$SCREEN_W" ] && [ "$h" = "$SCREEN_H" ] || fail "full screen window is ${w}x${h}"
screenshot startup-fullscreen
press Escape
wait_exit 20
[ "$EXIT_CODE" = 0 ] || fail "Escape in full screen ended the program with $EXIT_CODE"

# No display at all: a clear message and a failure, not a silent success.
code=0
(cd "$WORK" && env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 "$ORBA_BIN") 2>"$WORK/nodisplay.log" || code=$?
[ "$code" != 0 ] || fail "without a display the program reported success"
grep -q "cannot start" "$WORK/nodisplay.log" || fail "without a display nothing was said on stderr"
echo "startup: all checks passed"
