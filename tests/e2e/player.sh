#!/usr/bin/env bash
# The finished player as a person uses it: the track number in the knob, next
# and previous with their wrap, play/pause with its icon and its silence, the
# volume groove, and Escape. Sound goes to SDL's disk driver to be checked.
source "$(dirname "$0")/common.bash"
start_display
make_short_album 8
AUDIO="$WORK/audio.raw"
start_orba SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$AUDIO"
answer_box No
wait_for 20 player_shown || fail "no player window"
# Loading (about 4 s) and the fade from black (about 2 s).
sleep 9
xdotool mousemove --sync 900 50  # out of the way: the cursor is drawn by the player
sleep 0.5

shot() { screenshot "player-$1"; client_area "$ARTIFACTS/player-$1.png" "$WORK/$1.png"; }
NUMBER=100x18+350+360   # lower half of the track number, in the opaque bar
PAUSE=32x32+136+361
shot first
[ "$(mean "$WORK/first.png" 800x62+0+0)" != 0 ] || fail "the skin is not showing"

# Sound is playing.
size=$(stat -c %s "$AUDIO")
sleep 1
read -r loud total < <(loud_samples_since "$AUDIO" "$size")
[ "$total" -gt 1000 ] || fail "no audio written"
[ "$loud" -gt $((total / 4)) ] || fail "track 1 is silent ($loud of $total)"

click 214 378     # next
shot next
[ "$(differing "$WORK/first.png" "$WORK/next.png" $NUMBER)" -gt 20 ] || fail "next did not change the track number"
click 90 378      # previous: back to 01
click 90 378      # previous: wraps to 30
shot wrapped
[ "$(differing "$WORK/first.png" "$WORK/wrapped.png" $NUMBER)" -gt 20 ] || fail "previous on 01 did not wrap"
click 214 378     # next: 30 wraps to 01
sleep 1.2         # the description fades out and back
shot again
[ "$(differing "$WORK/first.png" "$WORK/again.png" $NUMBER)" -lt 5 ] || fail "next on 30 did not come back to 01"

# Play/pause: the pause icon fades out and the sound stops.
click 154 378
sleep 0.5
shot paused
[ "$(differing "$WORK/again.png" "$WORK/paused.png" $PAUSE)" -gt 50 ] || fail "the pause icon did not go"
size=$(stat -c %s "$AUDIO")
sleep 1
read -r loud total < <(loud_samples_since "$AUDIO" "$size")
[ "$total" -gt 1000 ] || fail "no audio written while paused"
[ "$loud" -lt $((total / 50)) ] || fail "sound while paused ($loud of $total)"
click 154 378
sleep 0.5
shot resumed
[ "$(differing "$WORK/paused.png" "$WORK/resumed.png" $PAUSE)" -gt 50 ] || fail "the pause icon did not come back"
size=$(stat -c %s "$AUDIO")
sleep 1
read -r loud total < <(loud_samples_since "$AUDIO" "$size")
[ "$loud" -gt $((total / 4)) ] || fail "no sound after resuming ($loud of $total)"

# Volume: hold the button on the groove halfway, the strip follows.
read -r x y w h < <(window_geometry)
xdotool mousemove --sync $((x + 700)) $((y + 380))
xdotool mousedown 1
sleep 0.3
xdotool mousemove --sync $((x + 664)) $((y + 380))
sleep 0.3
xdotool mouseup 1
xdotool mousemove --sync 900 50
sleep 0.4
shot volume
# At 0.85 the strip reaches x 728; at 0.5 it ends near x 665.
[ "$(differing "$WORK/resumed.png" "$WORK/volume.png" 20x10+690+374)" -gt 50 ] || fail "the volume strip did not shorten"
[ "$(differing "$WORK/resumed.png" "$WORK/volume.png" 40x10+590+374)" -lt 5 ] || fail "the start of the volume strip changed"

press Escape
wait_exit 20
[ "$EXIT_CODE" = 0 ] || fail "Escape ended the player with $EXIT_CODE"
cp "$WORK/first.png" "$ARTIFACTS/player.png"
echo "player: all checks passed"
