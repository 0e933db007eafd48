#!/usr/bin/env bash
# The terminal holds only the program's own lines: with no sound device the
# ALSA library's complaints, and with no display the Wayland library's, are
# said once in the program's words. The day album names its tracks there too.
source "$(dirname "$0")/common.bash"

# foreign <log>: the lines that are not the program's own.
foreign() { grep -v '^ORBA: ' "$1" || true; }

# No display at all: SDL tries X11 and Wayland, five times over.
code=0
(cd "$WORK" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR -u SDL_VIDEODRIVER "$ORBA_BIN" --windowed) \
    >/dev/null 2>"$WORK/nodisplay.log" || code=$?
[ "$code" = 1 ] || fail "without a display the program exited $code"
[ -z "$(foreign "$WORK/nodisplay.log")" ] || fail "without a display a library said: $(foreign "$WORK/nodisplay.log")"
grep -q "^ORBA: window: no Wayland display to reach (XDG_RUNTIME_DIR is invalid" "$WORK/nodisplay.log" ||
    fail "without a display the Wayland library's meaning was not said: $(cat "$WORK/nodisplay.log")"
[ "$(grep -c "XDG_RUNTIME_DIR" "$WORK/nodisplay.log")" = 1 ] || fail "the Wayland line was said more than once"

# No sound device: ALSA pointed at a card that is not there, as on a machine
# with none.
start_display
make_short_album 20 1-2
start_orba_in "$WORK" SDL_AUDIODRIVER=alsa ALSA_CARD=99 -- --windowed
wait_until 120 "the player window" player_shown
wait_until 60 "the line on the missing sound device" grep -q "^ORBA: sound: no audio device" "$WORK/stderr.log"
expect_playing "1 of 30: Tamm: Day 1"
escape_and_wait_exit 60
[ "$EXIT_CODE" = 0 ] || fail "Escape ended the program with $EXIT_CODE"
[ -z "$(foreign "$WORK/stderr.log")" ] || fail "with no sound device a library said: $(foreign "$WORK/stderr.log")"
[ "$(grep -c "ALSA" "$WORK/stderr.log")" = 1 ] || fail "the ALSA line was said more than once"
grep -q "^ORBA: sound: no audio device (.*the ALSA library: cannot find card '99'): playing silently" \
    "$WORK/stderr.log" || fail "the ALSA library's meaning was not said: $(grep ALSA "$WORK/stderr.log")"
echo "terminal: all checks passed"
