#!/usr/bin/env bash
# orba --record on a machine with no display: two short generated days
# recorded from the loading screen to the end of the last; the film's streams,
# frame count and sound length read back with ffprobe; two recordings of the
# same album decode to the same frames; Ctrl-C leaves a playable film; bad
# settings, an unwritable folder and a full disk leave nothing under the name.
source "$(dirname "$0")/common.bash"
unset DISPLAY WAYLAND_DISPLAY

FPS=30
mkdir -p "$WORK/Tamm_songs" "$WORK/out"
sox -n -r 44100 -c 2 "$WORK/d1.wav" synth 2 sine 440 vol 0.5
sox -n -r 44100 -c 2 "$WORK/d2.wav" synth 1.51 sine 660 vol 0.5
lame --quiet "$WORK/d1.wav" "$WORK/Tamm_songs/tamm - day1.mp3"
lame --quiet "$WORK/d2.wav" "$WORK/Tamm_songs/tamm - day2.mp3"
# The tracks' own lengths (lame's delay and padding are cut by the player):
# day 1 whole frames, day 2 ending within one, so the film's end is not a
# frame's.
DAY1=88200 DAY2=66591

record() { # record <file> [options...]: records in the work folder, stderr in record.log
    (cd "$WORK" && "$ORBA_BIN" --record "$@" 2>"$WORK/record.log")
}
probe() { ffprobe -v error "$@"; }
summary() { tr '\r' '\n' <"$WORK/record.log" | grep '^ORBA: recorded' || fail "no summary: $(cat "$WORK/record.log")"; }

# ---- a film of both days
record "$WORK/out/film.mp4" --size 320x240 --fps $FPS || fail "recording failed: $(cat "$WORK/record.log")"
[ -f "$WORK/out/film.mp4" ] || fail "no film"
ls -A "$WORK/out" | grep -q orba-part && fail "temporary file left behind"
tr '\r' '\n' <"$WORK/record.log" | grep -qE '^ *100%  [0-9]+/[0-9]+ frames  [0-9.]+x real time  0:00 left' ||
    fail "no progress line"
read -r frames loading < <(summary | sed -E 's/^ORBA: recorded ([0-9]+) frames \(([0-9]+) of loading\).*/\1 \2/')
[ "$(probe -show_entries stream=codec_type -of csv=p=0 "$WORK/out/film.mp4" | sort | tr '\n' ' ')" = "audio video " ] ||
    fail "streams: $(probe -show_entries stream=codec_type -of csv=p=0 "$WORK/out/film.mp4")"
counted=$(probe -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$WORK/out/film.mp4")
[ "$counted" = "$frames" ] || fail "the film holds $counted frames, the recorder wrote $frames"
# The show's length: the loading screen, then the days back to back (day 1
# ends on a frame, so day 2 starts on the next); the picture runs to the end
# of the frame in which day 2 ends, the sound to its last sample.
shown=$(( loading * 44100 / FPS + DAY1 + DAY2 ))
[ "$loading" -gt 0 ] && [ "$frames" = $(( (shown * FPS + 44099) / 44100 )) ] ||
    fail "frame count $frames with $loading of loading, $shown samples of show"
audio=$(probe -select_streams a:0 -show_entries stream=duration -of csv=p=0 "$WORK/out/film.mp4")
# The MP4's edit list cuts AAC's priming and padding: the duration to the sample.
python3 -c "import sys; sys.exit(0 if abs($audio * 44100 - $shown) < 0.5 else 1)" ||
    fail "sound lasts $audio s, the show $shown samples"
# The sound starts with the first day, not before: silence through the loading screen.
silence_end=$(ffmpeg -v info -i "$WORK/out/film.mp4" -af silencedetect=n=-50dB:d=0.1 -f null - 2>&1 |
    grep -o 'silence_end: [0-9.]*' | head -n 1 | cut -d' ' -f2)
python3 -c "import sys; sys.exit(0 if abs($silence_end - $loading / $FPS) < 0.03 else 1)" ||
    fail "the first day is heard at $silence_end s, the player opened at $loading / $FPS s"

# ---- the same album again: the same frames
record "$WORK/out/again.mp4" --size 320x240 --fps $FPS || fail "second recording failed"
ffmpeg -v error -i "$WORK/out/film.mp4" -map 0:v -f framemd5 "$WORK/a.md5"
ffmpeg -v error -i "$WORK/out/again.mp4" -map 0:v -f framemd5 "$WORK/b.md5"
cmp -s <(grep -v '^#' "$WORK/a.md5") <(grep -v '^#' "$WORK/b.md5") || fail "two recordings differ"

# ---- one day only, lossless
record "$WORK/out/day2.mkv" --size 160x120 --fps $FPS --days 2-2 --lossless || fail "lossless: $(cat "$WORK/record.log")"
[ "$(probe -show_entries stream=codec_name -of csv=p=0 "$WORK/out/day2.mkv" | tr '\n' ' ')" = "ffv1 flac " ] ||
    fail "lossless codecs: $(probe -show_entries stream=codec_name -of csv=p=0 "$WORK/out/day2.mkv")"
read -r frames2 loading2 < <(summary | sed -E 's/^ORBA: recorded ([0-9]+) frames \(([0-9]+) of loading\).*/\1 \2/')
[ "$frames2" = $((loading2 + 46)) ] || fail "day 2 alone: $frames2 frames with $loading2 of loading"
# FLAC has no padding: the decoded sound is the show's, sample for sample.
samples=$(ffmpeg -v error -i "$WORK/out/day2.mkv" -map 0:a -f s16le - | wc -c)
[ "$samples" = $(( (loading2 * 44100 / FPS + DAY2) * 4 )) ] ||
    fail "day 2 alone: $((samples / 4)) samples of sound with $loading2 frames of loading"

# ---- Ctrl-C: a playable film up to the last frame written. A minute-long
# day, interrupted once frames are being written (small films record in a
# fraction of real time, so a fixed wait could outlast the show).
mkdir -p "$WORK/long"
sox -n -r 44100 -c 2 "$WORK/long/minute.wav" synth 60 sine 330 vol 0.5
(cd "$WORK" && exec "$ORBA_BIN" --record "$WORK/out/cut.mkv" --size 160x120 --fps $FPS "$WORK/long" \
    2>"$WORK/record.log") &
pid=$!
writing() { tr '\r' '\n' <"$WORK/record.log" | grep -qE '^ *[0-9]+%  [1-9][0-9]*/'; }
wait_until 120 "the recording to write frames" writing
kill -INT "$pid"
wait "$pid" || fail "interrupted recording exited $?: $(cat "$WORK/record.log")"
read -r cut _ < <(summary | sed -E 's/^ORBA: recorded ([0-9]+) frames \(([0-9]+) of loading\).*/\1 \2/')
[ "$cut" -gt 0 ] && [ "$cut" -lt $((60 * FPS)) ] || fail "interrupted at $cut frames"
counted=$(probe -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$WORK/out/cut.mkv")
[ "$counted" = "$cut" ] || fail "the interrupted film holds $counted frames of $cut"

# ---- refusals: one line, exit 2, nothing written
for args in "$WORK/out/x.avi" "$WORK/out/x.mp4 --size 0x0" "$WORK/out/x.mp4 --size 100000x600" \
    "$WORK/out/x.mp4 --size 321x240" "$WORK/out/x.mp4 --fps 0" "$WORK/out/x.mp4 --fps 1000" \
    "$WORK/out/x.mp4 --days 3-4" "$WORK/out/x.mp4 --days 2-31" "$WORK/out/x.mp4 --lossless"; do
    code=0
    record $args || code=$?
    [ "$code" = 2 ] || fail "--record $args exited $code, not 2"
    # One line of refusal (after the album's own line, for days it does not have).
    [ "$(grep -vc '^ORBA: playing' "$WORK/record.log")" = 1 ] || fail "--record $args said: $(cat "$WORK/record.log")"
    [ ! -e "$WORK/out/x.avi" ] && [ ! -e "$WORK/out/x.mp4" ] || fail "--record $args wrote a file"
done

# ---- failures on the way: exit 1, one line, no film, an old film untouched
code=0
record "$WORK/no/such/folder/x.mp4" --size 160x120 || code=$?
[ "$code" = 1 ] && [ "$(grep -vc '^ORBA: playing' "$WORK/record.log")" = 1 ] || fail "unwritable folder: $code: $(cat "$WORK/record.log")"
echo "old film" >"$WORK/out/full.mkv"
code=0
(ulimit -f 100 && record "$WORK/out/full.mkv" --size 320x240 --lossless) || code=$?
[ "$code" = 1 ] || fail "a full disk exited $code: $(cat "$WORK/record.log")"
tr '\r' '\n' <"$WORK/record.log" | grep -q '^orba: cannot write' || fail "a full disk said: $(cat "$WORK/record.log")"
[ "$(cat "$WORK/out/full.mkv")" = "old film" ] || fail "the old film was overwritten"
ls -A "$WORK/out" | grep -q orba-part && fail "temporary file left behind after a full disk"
echo "PASS"
