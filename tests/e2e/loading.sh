#!/usr/bin/env bash
# The show opening: the loading picture fades in, the bar grows while the
# content loads, black between, then the player fades in from black.
# Screenshots are taken as fast as the display allows and classified.
source "$(dirname "$0")/common.bash"
SCREEN_W=800 SCREEN_H=600   # the window fills the screen: small, fast shots
start_display
mkdir -p "$WORK/Tamm_songs"   # no music needed here
start_orba
answer_box No
wait_until 120 "the player window" player_shown
read -r X Y W H < <(window_geometry)
mkdir -p "$WORK/shots"
# Shots until one shows the player in full, as the classifier below tells it,
# however long loading takes; the newest is looked at once a second.
end=$((SECONDS + 120))
looked=$SECONDS
i=0
# xwd only copies the screen, so the shots come several times a second;
# they are cut to the window and converted afterwards.
while :; do
    shot="$WORK/shots/$(printf %04d $i).xwd"
    xwd -root -silent >"$shot" 2>/dev/null || true
    i=$((i + 1))
    if [ $SECONDS -ne $looked ]; then
        looked=$SECONDS
        band=$(convert "xwd:$shot" -crop "780x40+$((X + 10))+$((Y + 5))" +repage -colorspace Gray -format "%[fx:mean]" info: 2>/dev/null || echo 0)
        awk "BEGIN{exit !($band > 0.6)}" && break
    fi
    [ $SECONDS -lt $end ] || fail "waited 120 s for the player to show in full"
    sleep 0.05  # the capture's pace: shots of the fade, not a wait for it
done
escape_and_wait_exit 60
[ "$EXIT_CODE" = 0 ] || fail "Escape ended the program with $EXIT_CODE"

for f in "$WORK"/shots/*.xwd; do
    convert "xwd:$f" -crop "800x600+${X}+${Y}" +repage "${f%.xwd}.png" 2>/dev/null && rm -f "$f"
done

# Classify every shot: the loading picture's lettering (bright chrome at the
# centre), the bar along the track, the player's light top band.
phase=start; fading_in=0; half_bar=""; black_between=0; player_fading=0; player_full=0
full_title=""
for f in "$WORK"/shots/*.png; do
    title=$(mean "$f" 300x60+250+320)
    band=$(mean "$f" 780x40+10+5)
    whole=$(mean "$f" 800x600+0+0)
    # The bar: white at alpha 96 over the track at rows 522..526.
    bar=$(convert "$f" -crop 718x1+42+524 +repage -colorspace Gray -threshold 30% -format "%[fx:mean]" info:)
    echo "$(basename "$f") title=$title band=$band whole=$whole bar=$bar" >>"$WORK/classify.log"
    if awk "BEGIN{exit !($band > 0.45)}"; then
        # the player's skin: light top band
        if awk "BEGIN{exit !($band > 0.6)}"; then player_full=1; else player_fading=1; fi
        phase=player
    elif awk "BEGIN{exit !($whole < 0.04)}"; then
        [ "$phase" = loading ] && black_between=1
    else
        [ "$phase" = player ] && continue
        phase=loading
        if [ -z "$full_title" ] || awk "BEGIN{exit !($title > $full_title)}"; then full_title=$title; fi
        if awk "BEGIN{exit !($bar > 0.3 && $bar < 0.7)}"; then
            [ -z "$half_bar" ] && { half_bar=$f; cp "$f" "$ARTIFACTS/loading-half.png"; }
        fi
    fi
done
cat "$WORK/classify.log" >"$ARTIFACTS/loading-classify.log"
# Fading in: some shot of the picture well below its full brightness.
while read -r name title rest; do
    t=${title#title=}
    awk "BEGIN{exit !($t > 0.05 && $t < 0.8 * $full_title)}" && { fading_in=1; cp "$WORK/shots/$name" "$ARTIFACTS/loading-fading.png"; break; }
done <"$WORK/classify.log"
[ "$fading_in" = 1 ] || fail "no shot of the loading picture fading in"
[ -n "$half_bar" ] || fail "no shot with the bar about half way"
[ "$black_between" = 1 ] || fail "no black between the loading screen and the player"
[ "$player_fading" = 1 ] || fail "no shot of the player fading in"
[ "$player_full" = 1 ] || fail "the player never showed fully"
echo "loading: $i shots, all phases seen"
