#!/usr/bin/env bash
# The finished player as a person uses it: the track number in the knob, next
# and previous with their wrap, play/pause with its icon and its silence, the
# volume groove, and Escape. Sound goes to SDL's disk driver to be checked.
source "$(dirname "$0")/common.bash"
start_display
# Long enough that no track ends by itself during the test; the days the
# clicks reach, and a gap the player skips.
make_short_album 40 1-3
make_short_album 40 29-30
AUDIO="$WORK/audio.raw"
start_orba SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$AUDIO"
answer_box No
wait_until 120 "the player window" player_shown
move_pointer 900 50  # out of the way: the cursor is drawn by the player
# Loading (about 4 s) and the fade from black (about 2 s).
wait_faded_in

shot() { screenshot "player-$1"; client_area "$ARTIFACTS/player-$1.png" "$WORK/$1.png"; }
NUMBER=100x18+350+360   # lower half of the track number, in the opaque bar
PAUSE=32x32+136+361
shot first
[ "$(mean "$WORK/first.png" 800x62+0+0)" != 0 ] || fail "the skin is not showing"

# Sound is playing.
size=$(stat -c %s "$AUDIO")
wait_sound "$AUDIO" "$size"
read -r loud total < <(loud_samples_since "$AUDIO" "$size")
[ "$total" -gt 1000 ] || fail "no audio written"
[ "$loud" -gt $((total / 4)) ] || fail "track 1 is silent ($loud of $total)"

# Each click waits for the number it brings: two clicks between two frames
# would count as one.
click 214 378     # next
wait_screen 60 "the track number to change after next" changed_from "$WORK/first.png" $NUMBER 20
shot next
[ "$(differing "$WORK/first.png" "$WORK/next.png" $NUMBER)" -gt 20 ] || fail "next did not change the track number"
click 90 378      # previous: back to 01
wait_screen 60 "01 again after previous" same_as "$WORK/first.png" $NUMBER 5
click 90 378      # previous: wraps to 30
wait_screen 60 "the track number to wrap after previous on 01" changed_from "$WORK/first.png" $NUMBER 20
shot wrapped
[ "$(differing "$WORK/first.png" "$WORK/wrapped.png" $NUMBER)" -gt 20 ] || fail "previous on 01 did not wrap"
click 214 378     # next: 30 wraps to 01
wait_screen 60 "01 again after next on 30" same_as "$WORK/first.png" $NUMBER 5
shot again
[ "$(differing "$WORK/first.png" "$WORK/again.png" $NUMBER)" -lt 5 ] || fail "next on 30 did not come back to 01"

# Play/pause: the pause icon fades out and the sound stops.
click 154 378
wait_still 60 "the pause icon to fade out" $PAUSE changed_from "$WORK/again.png" $PAUSE 50
shot paused
[ "$(differing "$WORK/again.png" "$WORK/paused.png" $PAUSE)" -gt 50 ] || fail "the pause icon did not go"
wait_until 60 "the sound to stop" newest_sound "$AUDIO" quiet
size=$(stat -c %s "$AUDIO")
wait_sound "$AUDIO" "$size"
read -r loud total < <(loud_samples_since "$AUDIO" "$size")
[ "$total" -gt 1000 ] || fail "no audio written while paused"
[ "$loud" -lt $((total / 50)) ] || fail "sound while paused ($loud of $total)"
click 154 378
wait_still 60 "the pause icon to fade in again" $PAUSE changed_from "$WORK/paused.png" $PAUSE 50
shot resumed
[ "$(differing "$WORK/paused.png" "$WORK/resumed.png" $PAUSE)" -gt 50 ] || fail "the pause icon did not come back"
wait_until 60 "the sound to come back" newest_sound "$AUDIO" loud
size=$(stat -c %s "$AUDIO")
wait_sound "$AUDIO" "$size"
read -r loud total < <(loud_samples_since "$AUDIO" "$size")
[ "$loud" -gt $((total / 4)) ] || fail "no sound after resuming ($loud of $total)"

# Volume: hold the button on the groove halfway, the strip follows.
read -r x y w h < <(window_geometry)
move_pointer $((x + 700)) $((y + 380))
xdotool mousedown 1
wait_screen 60 "the volume strip to follow the held button" changed_from "$WORK/resumed.png" 20x10+690+374 50
capture "$WORK/held.png"
move_pointer $((x + 664)) $((y + 380))
wait_screen 60 "the volume strip to follow the pointer to x 664" changed_from "$WORK/held.png" 30x10+664+374 50
xdotool mouseup 1
move_pointer 900 50
shot volume
# At 0.85 the strip reaches x 728; at 0.5 it ends near x 665.
[ "$(differing "$WORK/resumed.png" "$WORK/volume.png" 20x10+690+374)" -gt 50 ] || fail "the volume strip did not shorten"
[ "$(differing "$WORK/resumed.png" "$WORK/volume.png" 40x10+590+374)" -lt 5 ] || fail "the start of the volume strip changed"

move_pointer $((x + 400)) $((y + 200))
escape_and_wait_exit 60
if [ "$EXIT_CODE" = timeout ]; then
    screenshot player-escape-timeout
    gdb -p "$ORBA_PID" -batch -ex "thread apply all bt 12" >"$ARTIFACTS/escape-stacks.txt" 2>&1 || true
fi
[ "$EXIT_CODE" = 0 ] || fail "Escape ended the player with $EXIT_CODE"
cp "$WORK/first.png" "$ARTIFACTS/player.png"
echo "player: all checks passed"
