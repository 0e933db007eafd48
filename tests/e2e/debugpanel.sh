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
wait_until 120 "the player window" player_shown
wait_faded_in
read -r X Y W H < <(window_geometry)
move_pointer 5 5
press Up            # pause the clocks: the blob and the ticker stand still
# A picture that stops changing looks like a slow frame: wait for a frame
# drawn after the key instead.
wait_drawn "Up"
screenshot debug-before
client_area "$ARTIFACTS/debug-before.png" "$WORK/before.png"
press F1
panel_up() { # the green panel in its black frame, as checked below
    local r g b
    read -r r g b < <(pixel "$1" 480 590)
    [ "$r" -lt 90 ] && [ "$g" -gt 100 ] && [ "$b" -lt 90 ] || return 1
    read -r r g b < <(pixel "$1" 5 500)
    [ "$r" -lt 20 ] && [ "$g" -lt 20 ] && [ "$b" -lt 20 ]
}
wait_screen 60 "the debug panel after F1" panel_up
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

# Right held: the statistics switch goes to 1, and the statistics show.
hold_until Right 60 "the statistics with Right held" screen_shows changed_from "$WORK/before.png" 150x20+32+32 30
press F1            # hide the panel
stats_alone() { # the statistics and no panel, as checked below
    changed_from "$WORK/before.png" 150x20+32+32 30 "$1" && changed_from "$WORK/before.png" 150x20+32+64 30 "$1" &&
        changed_from "$WORK/before.png" 250x72+32+100 100 "$1" && same_as "$WORK/before.png" 480x150+10+420 50 "$1"
}
wait_screen 60 "the panel to go after F1, the statistics staying" stats_alone
screenshot debug-stats
client_area "$ARTIFACTS/debug-stats.png" "$WORK/stats.png"
[ "$(differing "$WORK/before.png" "$WORK/stats.png" 150x20+32+32)" -gt 30 ] || fail "no FPS line"
[ "$(differing "$WORK/before.png" "$WORK/stats.png" 150x20+32+64)" -gt 30 ] || fail "no Total line"
[ "$(differing "$WORK/before.png" "$WORK/stats.png" 250x72+32+100)" -gt 100 ] || fail "no camera lines"
# Nothing else moved: the panel is gone again.
[ "$(differing "$WORK/before.png" "$WORK/stats.png" 480x150+10+420)" -lt 50 ] || fail "the panel did not go"

escape_and_wait_exit 60
[ "$EXIT_CODE" = 0 ] || fail "Escape ended the program with $EXIT_CODE"
echo "debugpanel: all checks passed"
