#!/usr/bin/env bash
# A folder of the user's own music, named on the command line and started from
# another folder: four formats at two rates under arbitrary names, played in
# natural order with their tags on the ticker, wrapping at the end, Previous
# over a file that vanished reaching the earlier track. And the options: help,
# and refusals that open no window. Then what is kept between runs (the
# volume, the album last named), the desktop entry's command with two files,
# and --fresh.
source "$(dirname "$0")/common.bash"
start_display

MUSIC="$WORK/My Music"
mkdir -p "$MUSIC" "$WORK/elsewhere"
tone() { sox -n -r "$1" -c 2 "${@:3}" synth 40 sine "$2" vol 0.3; }
tone 44100 330 "$WORK/a.wav"
lame --quiet --tt "First Light" --ta "Aurora" "$WORK/a.wav" "$MUSIC/zz opening.mp3"
tone 48000 440 --add-comment "TITLE=Second Wind" --add-comment "ARTIST=Boreas" "$MUSIC/b-side 2.ogg"
tone 48000 550 --add-comment "TITLE=Third Eye" "$MUSIC/3 flac thing.flac"
tone 44100 660 "$MUSIC/10 - untitled take.wav"
echo "not music" >"$MUSIC/notes.txt"

# The options first: none of these may open a window.
"$ORBA_BIN" --help >"$WORK/help.txt" || fail "--help did not exit 0"
grep -q "Usage: orba" "$WORK/help.txt" || fail "--help printed no usage"
cp "$MUSIC/notes.txt" "$WORK/notes.txt"
for args in "--nonsense" "/no/such/folder" "$WORK/elsewhere" "$WORK/notes.txt"; do
    code=0
    (cd "$WORK/elsewhere" && "$ORBA_BIN" $args) >/dev/null 2>"$WORK/refused.log" || code=$?
    [ "$code" = 2 ] || fail "orba $args exited $code, not 2"
    [ "$(wc -l <"$WORK/refused.log")" = 1 ] || fail "orba $args said $(wc -l <"$WORK/refused.log") lines: $(cat "$WORK/refused.log")"
    ! message_box_shown && ! player_shown || fail "orba $args opened a window"
done
grep -q "notes.txt: not music" "$WORK/refused.log" || fail "a file that is not music was not refused for that"
[ ! -e "$XDG_STATE_HOME/orba/settings" ] || fail "a refused start kept something"
SETTINGS="$XDG_STATE_HOME/orba/settings"

AUDIO="$WORK/audio.raw"
(cd "$WORK/elsewhere" && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$AUDIO" "$ORBA_BIN" --windowed "$MUSIC") \
    >"$WORK/stdout.log" 2>"$WORK/stderr.log" &
ORBA_PID=$!
wait_until 120 "the player window" player_shown
move_pointer 900 50
wait_faded_in   # loading and the fade from black

grep -q "ORBA: playing 4 tracks from $MUSIC" "$WORK/stderr.log" || fail "the album folder was not named"
expect_playing "1 of 4: Third Eye"

shot() { screenshot "own-$1"; client_area "$ARTIFACTS/own-$1.png" "$WORK/$1.png"; }
NUMBER=100x18+350+360
shot first
size=$(stat -c %s "$AUDIO")
wait_sound "$AUDIO" "$size"
read -r loud total < <(loud_samples_since "$AUDIO" "$size")
[ "$total" -gt 1000 ] && [ "$loud" -gt $((total / 4)) ] || fail "track 1 is not heard ($loud of $total)"

click 214 378
expect_playing "2 of 4: 10 - untitled take"
wait_screen 60 "the knob to show the second track" changed_from "$WORK/first.png" $NUMBER 20
shot second
[ "$(differing "$WORK/first.png" "$WORK/second.png" $NUMBER)" -gt 20 ] || fail "the knob did not change"
click 214 378
expect_playing "3 of 4: Boreas: Second Wind"
size=$(stat -c %s "$AUDIO")
wait_sound "$AUDIO" "$size"
read -r loud total < <(loud_samples_since "$AUDIO" "$size")
[ "$loud" -gt $((total / 4)) ] || fail "the 48 kHz Ogg track is not heard ($loud of $total)"
click 214 378
expect_playing "4 of 4: Aurora: First Light"
click 214 378
expect_playing "1 of 4: Third Eye"
wait_screen 60 "the knob to come back to 01" same_as "$WORK/first.png" $NUMBER 5
shot wrapped
[ "$(differing "$WORK/first.png" "$WORK/wrapped.png" $NUMBER)" -lt 5 ] || fail "next after 04 did not come back to 01"

# Track 3 vanishes; Previous from 1 wraps to 4, then skips 3 backwards to 2.
rm "$MUSIC/b-side 2.ogg"
click 90 378
expect_playing "4 of 4: Aurora: First Light"
click 90 378
expect_playing "2 of 4: 10 - untitled take"
wait_screen 60 "the knob to show 02 again" same_as "$WORK/second.png" $NUMBER 5
shot back
[ "$(differing "$WORK/second.png" "$WORK/back.png" $NUMBER)" -lt 5 ] || fail "Previous over the gap did not show 02"
grep -q "ORBA: track: .*b-side 2.ogg: cannot be opened" "$WORK/stderr.log" || fail "the vanished track was not named"

# Two steps down: kept once the volume stands still, with the album named.
grep -qxF "album = $MUSIC" "$SETTINGS" || fail "the named album was not kept: $(cat "$SETTINGS" 2>&1)"
focus_player
xdotool key minus minus
wait_until 60 "the volume to be kept" grep -qx "volume = 0.75" "$SETTINGS"
escape_and_wait_exit 60
[ "$EXIT_CODE" = 0 ] || fail "Escape ended the player with $EXIT_CODE"

# The desktop entry's own command, as a file manager runs it, with two files
# from two folders: they play in the order given.
tone 44100 880 "$WORK/b.wav"
lame --quiet --tt "Café Song" "$WORK/b.wav" "$WORK/elsewhere/1 café.mp3"
read -ra exec_words < <(sed -n 's/^Exec=//p' "$(dirname "$0")/../../share/orba.desktop")
[ "${exec_words[0]}" = orba ] || fail "the desktop entry runs ${exec_words[*]}"
args=()
for word in "${exec_words[@]:1}"; do
    if [ "$word" = %F ]; then
        args+=("$MUSIC/10 - untitled take.wav" "$WORK/elsewhere/1 café.mp3")
    else
        args+=("$word")
    fi
done
# The question answered ahead (options may follow the files).
start_orba_in "$WORK/elsewhere" SDL_AUDIODRIVER=dummy -- "${args[@]}" --windowed
wait_until 120 "the player window" player_shown
expect_playing "1 of 2: 10 - untitled take"
grep -q "ORBA: playing 2 tracks" "$WORK/stderr.log" || fail "two files did not make an album of two"
click 214 378
expect_playing "2 of 2: Café Song"
escape_and_wait_exit 60

# Nothing named: the album last given plays, at the volume it was left at.
start_orba_in "$WORK/elsewhere" SDL_AUDIODRIVER=dummy -- --windowed
wait_until 120 "the player window" player_shown
expect_playing "1 of 2: 10 - untitled take"
escape_and_wait_exit 60
grep -qx "volume = 0.75" "$SETTINGS" || fail "the volume was not kept across runs: $(cat "$SETTINGS")"

# Fresh: the defaults, and nothing kept.
start_orba_in "$WORK/elsewhere" SDL_AUDIODRIVER=dummy -- --windowed --fresh
wait_until 120 "the player window" player_shown
wait_until 60 "the default album's notice" grep -q "ORBA: playing the album in\|ORBA: no album to play" "$WORK/stderr.log"
escape_and_wait_exit 60
[ ! -e "$SETTINGS" ] || fail "--fresh kept: $(cat "$SETTINGS")"
echo "ownmusic: all checks passed"
