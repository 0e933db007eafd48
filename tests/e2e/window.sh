#!/usr/bin/env bash
# The window under a real window manager (openbox): a drag on the skin moves
# it, every control still takes its click, its edges size it with the aspect
# kept, ] and [ step its size, and the mouse lands on the same point of the
# player at 1x, 1.5x and 2x.
source "$(dirname "$0")/common.bash"
command -v openbox >/dev/null || fail "openbox missing: run scripts/install-deps.sh test"
SCREEN_W=2560 SCREEN_H=1600
start_display
openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
WM_PID=$!
trap 'kill $WM_PID 2>/dev/null || true; cleanup' EXIT
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
wait_until 60 "openbox to manage the screen" wm_running
# Long enough that no track ends by itself and changes the number meanwhile.
make_short_album 240 1-3
start_orba
answer_box No
wait_until 120 "the player window" player_shown
move_pointer 5 5
wait_faded_in

read -r x0 y0 w0 h0 < <(window_geometry)
[ "$w0 $h0" = "800 600" ] || fail "the window opened at ${w0}x${h0}, not 800x600 (scale 1)"

# A drag on the skin (the top band, no control there) moves the window as
# its title bar would.
at() { [ "$(window_geometry)" = "$*" ]; }
move_pointer $((x0 + 400)) $((y0 + 25))
xdotool mousedown 1
# The hand's pace of a drag (motion events apart in time), not a wait: what
# the drag did is waited for below.
for i in $(seq 1 12); do xdotool mousemove_relative 10 5; sleep 0.05; done
xdotool mouseup 1
wait_until 30 "the window to follow the drag by 120,60" at $((x0 + 120)) $((y0 + 60)) 800 600
move_pointer 5 5

# Each control still takes its click.
NUMBER=100x18+350+360
PAUSE=32x32+136+361
capture "$WORK/first.png"
click 214 378     # next
wait_screen 60 "the track number to change after next" changed_from "$WORK/first.png" $NUMBER 20
click 90 378      # previous
wait_screen 60 "01 again after previous" same_as "$WORK/first.png" $NUMBER 5
capture "$WORK/playing.png"
click 154 378     # play/pause
wait_still 60 "the pause icon to fade out" $PAUSE changed_from "$WORK/playing.png" $PAUSE 50
capture "$WORK/paused.png"
click 154 378
wait_still 60 "the pause icon to come back" $PAUSE changed_from "$WORK/paused.png" $PAUSE 50
read -r x y w h < <(window_geometry)
move_pointer $((x + 700)) $((y + 380))
xdotool mousedown 1
wait_screen 60 "the volume strip to follow the held button" changed_from "$WORK/playing.png" 20x10+690+374 50
xdotool mouseup 1
[ "$(window_geometry)" = "$x $y $w $h" ] || fail "a click on a control moved the window"

# The bottom right corner sizes the window, its aspect kept.
move_pointer $((x + w - 2)) $((y + h - 2))
xdotool mousedown 1
for i in $(seq 1 10); do xdotool mousemove_relative 30 5; sleep 0.05; done
xdotool mouseup 1
grown() { read -r _ _ gw _ < <(window_geometry); [ "$gw" -gt 900 ]; }
wait_until 30 "the window to grow by its corner" grown
read -r x y w h < <(window_geometry)
off=$((3 * w - 4 * h)); off=${off#-}
[ "$off" -le 4 ] || fail "sized by the corner to ${w}x${h}: not 4:3"

# ] and [ step by quarters of 800x600, from any size onto the steps.
sized() { read -r _ _ sw sh < <(window_geometry); [ "$sw $sh" = "$1 $2" ]; }
step() { # step ]|[ : one step, waiting for the size it must give
    local sw q
    read -r _ _ sw _ < <(window_geometry)
    if [ "$1" = "]" ]; then q=$((sw / 200 + 1)); press bracketright; else q=$(((sw + 199) / 200 - 1)); press bracketleft; fi
    wait_until 30 "$((200 * q))x$((150 * q)) after $1 at width $sw" sized $((200 * q)) $((150 * q))
}
step "]"
step "["
while read -r _ _ sw _ < <(window_geometry) && [ "$sw" -lt 1200 ]; do step "]"; done
while read -r _ _ sw _ < <(window_geometry) && [ "$sw" -gt 1200 ]; do step "["; done

# The mouse at 1.5x and 2x: the player's cursor is drawn round the point of
# the 800x600 space the pointer is on, and a click on next lands on next.
grab() { # grab <file>: the whole client area at its size
    local gx gy gw gh
    read -r gx gy gw gh < <(window_geometry)
    import -window root -crop "${gw}x${gh}+${gx}+${gy}" +repage "$1"
}
cursor_scaled() { # cursor_scaled <x> <y> <scale>: the cursor round that client pixel
    local cx=$1 cy=$2 s=$3 seen
    grab "$WORK/scaled.png" || return 1
    seen=$(convert "$WORK/scaled.png" -format "%[fx:
        p{$cx - 7.5*$s, $cy}.intensity < 0.1 && p{$cx + 7*$s, $cy}.intensity < 0.1 &&
        p{$cx, $cy - 7.5*$s}.intensity < 0.1 && p{$cx, $cy + 7*$s}.intensity < 0.1 &&
        p{$cx, $cy}.intensity > 0.95 &&
        p{$cx - 5*$s, $cy - 5*$s}.intensity > 0.95 && p{$cx + 5*$s, $cy + 5*$s}.intensity > 0.95]" info:)
    [ "$seen" = 1 ]
}
number_changed() { # number_changed <scale> <reference>
    grab "$WORK/now-scaled.png" || return 1
    convert "$WORK/now-scaled.png" -filter point -resize 800x600! "$WORK/now-1x.png"
    [ "$(differing "$2" "$WORK/now-1x.png" $NUMBER)" -gt 20 ]
}
for scale in 1.5 2; do
    want_w=$(awk "BEGIN{print 800*$scale}")
    want_h=$(awk "BEGIN{print 600*$scale}")
    wait_until 30 "${want_w}x${want_h}" sized "$want_w" "$want_h"
    read -r x y w h < <(window_geometry)
    px=$(awk "BEGIN{print int(300*$scale)}")
    py=$(awk "BEGIN{print int(470*$scale)}")
    move_pointer $((x + px)) $((y + py))
    wait_until 60 "the cursor at 300,470 of the player at ${scale}x" cursor_scaled "$px" "$py" "$scale"
    move_pointer 5 5
    grab "$WORK/before.png"
    convert "$WORK/before.png" -filter point -resize 800x600! "$WORK/before-1x.png"
    click "$(awk "BEGIN{print int(214*$scale)}")" "$(awk "BEGIN{print int(378*$scale)}")"
    move_pointer 5 5
    wait_until 60 "next to take a click at ${scale}x" number_changed "$scale" "$WORK/before-1x.png"
    [ "$scale" = 2 ] || { step "]"; step "]"; }
done
screenshot window-2x

# QUIT still ends the program.
click 48 154
wait_exit 60
[ "$EXIT_CODE" = 0 ] || fail "QUIT at 2x: exit code $EXIT_CODE"
# The place is remembered: the next start opens where the window was left,
# at its size; a place no screen shows opens in the middle at 800x600.
kept=$(grep '^window' "$XDG_STATE_HOME/orba/settings" 2>/dev/null | sed -E 's/^[^=]*= *//' || true)
read -r left_x left_y _ _ <<<"$kept" || true
[ -n "${left_x:-}" ] || fail "no window place kept: $(cat "$XDG_STATE_HOME/orba/settings" 2>&1)"
start_orba
answer_box No
wait_until 120 "the player window again" player_shown
wait_until 60 "the window where it was left, 1600x1200" at "$left_x" "$left_y" 1600 1200
escape_and_wait_exit 60
sed -i -E 's/^(window *= *)-?[0-9]+ /\19000 /' "$XDG_STATE_HOME/orba/settings"
grep -q '^window *= *9000 ' "$XDG_STATE_HOME/orba/settings" || fail "could not move the kept place off screen"
start_orba
answer_box No
wait_until 120 "the player window a third time" player_shown
wait_until 60 "the window in the middle at 800x600, its kept place being off screen" at \
    $(((SCREEN_W - 800) / 2)) $(((SCREEN_H - 600) / 2)) 800 600
escape_and_wait_exit 60
echo "PASS window"
