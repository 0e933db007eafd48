#!/usr/bin/env bash
# The debug panel and the statistics overlay, as a person opens them:
# Up pauses the clocks (so the picture holds still), F1 shows the green panel
# with "s_DisplayStats" and 0.00000, Right sets it to 1, and F1 again hides the
# panel and leaves the grey statistics at the top left.
source "$(dirname "$0")/common.bash"
start_display
mkdir -p "$WORK/Tamm_songs"
# A silent first day: the equaliser then holds still with the clocks, and the
# player does not fall back to an album beside the program.
sox -n -r 44100 -c 2 "$WORK/silence.wav" trim 0 60
lame --quiet "$WORK/silence.wav" "$WORK/Tamm_songs/tamm - day1.mp3"
start_orba
answer_box No
wait_for 20 player_shown || fail "no player window"
sleep 8
read -r X Y W H < <(window_geometry)
xdotool mousemove --sync 5 5
press Up            # pause the clocks: the blob and the ticker stand still
sleep 0.5
screenshot debug-before
client_area "$ARTIFACTS/debug-before.png" "$WORK/before.png"
press F1
sleep 0.5
screenshot debug-panel
client_area "$ARTIFACTS/debug-panel.png" "$WORK/panel.png"

# The panel: black frame and dark green inside at the bottom left.
read -r r g b < <(pixel "$WORK/panel.png" 480 590)
[ "$r" -lt 90 ] && [ "$g" -gt 100 ] && [ "$b" -lt 90 ] || fail "no green panel ($r $g $b)"
read -r r g b < <(pixel "$WORK/panel.png" 5 500)
[ "$r" -lt 20 ] && [ "$g" -lt 20 ] && [ "$b" -lt 20 ] || fail "no black frame round the panel ($r $g $b)"
# White text in the rows: names at x 26, values at x 326.
bright() { # bright <file> <region>: pixels brighter than 85 %
    convert "$1" -crop "$2" +repage -colorspace Gray -threshold 85% -format "%[fx:int(mean*w*h)]" info:
}
[ "$(bright "$WORK/panel.png" 200x24+26+420)" -gt 40 ] || fail "no name in the first row"
[ "$(bright "$WORK/panel.png" 120x24+326+420)" -gt 40 ] || fail "no value in the first row"
[ "$(bright "$WORK/panel.png" 200x24+26+552)" -gt 40 ] || fail "no name in the seventh row"

# Right held: the statistics switch goes to 1.
press Right
sleep 0.3
press F1            # hide the panel
sleep 0.5
screenshot debug-stats
client_area "$ARTIFACTS/debug-stats.png" "$WORK/stats.png"
[ "$(differing "$WORK/before.png" "$WORK/stats.png" 150x20+32+32)" -gt 30 ] || fail "no FPS line"
[ "$(differing "$WORK/before.png" "$WORK/stats.png" 150x20+32+64)" -gt 30 ] || fail "no Total line"
[ "$(differing "$WORK/before.png" "$WORK/stats.png" 250x72+32+100)" -gt 100 ] || fail "no camera lines"
# Nothing else moved: the panel is gone again.
[ "$(differing "$WORK/before.png" "$WORK/stats.png" 480x150+10+420)" -lt 50 ] || fail "the panel did not go"

press Escape
wait_exit 20
[ "$EXIT_CODE" = 0 ] || fail "Escape ended the program with $EXIT_CODE"
echo "debugpanel: all checks passed"
