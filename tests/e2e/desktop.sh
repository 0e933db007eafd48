#!/usr/bin/env bash
# The player as a citizen of the desktop, on a private session bus: playerctl
# lists and drives it, Space and the media keys work, a click shorter than a
# frame sent while it is busy still counts, quit signals end it cleanly at any
# point, and with no display it says so and fails at once.
if [ -z "${ORBA_E2E_BUS:-}" ]; then
    export ORBA_E2E_BUS=1
    exec dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/common.bash"
start_display

MUSIC="$WORK/Music"
mkdir -p "$MUSIC" "$WORK/elsewhere"
for n in 1 2 3; do
    sox -n -r 44100 -c 2 "$WORK/t$n.wav" synth 60 sine $((200 * n + 100)) vol 0.3
done
lame --quiet --tt "Alpha Song" --ta "Quartet" "$WORK/t1.wav" "$MUSIC/1.mp3"
lame --quiet --tt "Beta Song" --ta "Quartet" "$WORK/t2.wav" "$MUSIC/2.mp3"
lame --quiet --tt "Gamma Song" --ta "Quartet" "$WORK/t3.wav" "$MUSIC/3.mp3"

# No display: one line and exit code 1, within a second.
code=0
t0=$(date +%s%N)
# (A session as a desktop user has it: XDG_RUNTIME_DIR set, so that the
# Wayland client library looks quietly.)
mkdir -p -m 700 "$WORK/run"
(cd "$WORK" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER XDG_RUNTIME_DIR="$WORK/run" "$ORBA_BIN" "$MUSIC") \
    >/dev/null 2>"$WORK/nodisplay.log" || code=$?
ms=$((($(date +%s%N) - t0) / 1000000))
[ "$code" = 1 ] || fail "without a display the program exited $code"
[ "$(grep -c . "$WORK/nodisplay.log")" = 1 ] || fail "without a display it said: $(cat "$WORK/nodisplay.log")"
grep -q "cannot start" "$WORK/nodisplay.log" || fail "without a display it did not say it cannot start"
[ "$ms" -lt 1000 ] || fail "without a display it took $ms ms to give up"

# The question, twenty starts in a row, each ended by SIGTERM while it is up.
for i in $(seq 20); do
    start_orba_in "$WORK" --
    wait_for 120 message_box_shown || fail "the question did not come on start $i"
    kill -TERM "$ORBA_PID"
    wait_exit 60
    [ "$EXIT_CODE" = 0 ] || fail "SIGTERM with the question up ended the program with $EXIT_CODE (start $i)"
    wait_for 60 bash -c '! xwininfo -name ORBA >/dev/null 2>&1' || fail "the question outlived the program"
done

AUDIO="$WORK/audio.raw"
start_orba_in "$WORK/elsewhere" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$AUDIO" -- --windowed "$MUSIC"
wait_until 120 "the player window" player_shown
move_pointer 900 50
wait_faded_in
wait_for 60 bash -c 'playerctl -l 2>/dev/null | grep -qx orba' || fail "playerctl does not list the player"
[ "$(playerctl -p orba metadata title)" = "Alpha Song" ] || fail "title: $(playerctl -p orba metadata title)"
[ "$(playerctl -p orba metadata artist)" = "Quartet" ] || fail "artist: $(playerctl -p orba metadata artist)"
[ "$(playerctl -p orba status)" = Playing ] || fail "status: $(playerctl -p orba status)"

shot() { screenshot "desktop-$1"; client_area "$ARTIFACTS/desktop-$1.png" "$WORK/$1.png"; }
NUMBER=100x18+350+360
shot first
playerctl -p orba next
expect_playing "2 of 3: Quartet: Beta Song"
wait_screen 60 "the knob to show the second track" changed_from "$WORK/first.png" $NUMBER 20
shot second
[ "$(differing "$WORK/first.png" "$WORK/second.png" $NUMBER)" -gt 20 ] || fail "playerctl next did not change the knob"
wait_for 60 bash -c '[ "$(playerctl -p orba metadata title)" = "Beta Song" ]' || fail "the title did not follow"

quiet_for_a_second() { # prints "loud total" of the next second of sound
    local size
    size=$(stat -c %s "$AUDIO")
    wait_sound "$AUDIO" "$size"
    loud_samples_since "$AUDIO" "$size"
}
playerctl -p orba play-pause
wait_for 60 bash -c '[ "$(playerctl -p orba status)" = Paused ]' || fail "play-pause did not pause"
wait_until 60 "the sound to stop" newest_sound "$AUDIO" quiet
read -r loud total < <(quiet_for_a_second)
[ "$loud" -lt $((total / 50)) ] || fail "sound while paused from the bus ($loud of $total)"
playerctl -p orba play-pause
wait_for 60 bash -c '[ "$(playerctl -p orba status)" = Playing ]' || fail "play-pause did not play"
wait_until 60 "the sound to come back" newest_sound "$AUDIO" loud
read -r loud total < <(quiet_for_a_second)
[ "$loud" -gt $((total / 4)) ] || fail "no sound after play-pause ($loud of $total)"

playerctl -p orba volume 0.3
wait_for 60 bash -c '[ "$(playerctl -p orba volume)" = 0.300000 ]' || fail "volume: $(playerctl -p orba volume)"
wait_screen 60 "the strip to follow the volume" changed_from "$WORK/second.png" 60x10+660+374 50
shot volume
# At 0.85 the strip reaches x 728; at 0.3 it ends near x 624.
[ "$(differing "$WORK/second.png" "$WORK/volume.png" 60x10+660+374)" -gt 50 ] || fail "the strip did not follow the volume"

press space
wait_for 60 bash -c '[ "$(playerctl -p orba status)" = Paused ]' || fail "Space did not pause"
press space
wait_for 60 bash -c '[ "$(playerctl -p orba status)" = Playing ]' || fail "Space did not play again"

press XF86AudioNext
expect_playing "3 of 3: Quartet: Gamma Song"

# A click held under a millisecond while the program is busy (stopped): both
# edges arrive between two frames, and the click still counts.
read -r x y w h < <(window_geometry)
move_pointer $((x + 214)) $((y + 378))
# The pointer seen there before the program stops: its cursor drawn on Next.
wait_screen 60 "the cursor on Next" cursor_at 214 378
kill -STOP "$ORBA_PID"
xdotool mousedown 1 mouseup 1
# A stopped program shows nothing to wait for; a round trip to the server
# does: once it answers, it has handled both edges and queued them for the
# program, which reads them when it runs again.
xdotool getmouselocation >/dev/null
kill -CONT "$ORBA_PID"
expect_playing "1 of 3: Quartet: Alpha Song"
move_pointer 900 50

# SIGTERM while playing: the program ends through its own shutdown, with 0.
kill -TERM "$ORBA_PID"
wait_exit 60
[ "$EXIT_CODE" = 0 ] || fail "SIGTERM while playing ended the program with $EXIT_CODE"
echo "desktop: all checks passed"
