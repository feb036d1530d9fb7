#!/bin/sh
# Two players under a window manager that places windows (openbox): the program leaves the
# place to it, so the second window does not land exactly on the first.
#   placement_test.sh PLAYER
player=$1
. "$(dirname "$0")/lib.sh"

# Upper-left corner of a window on the screen, as "X,Y".
window_position() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x "," y}'
}

# Visible windows named Marrowtone, one id a line.
players() { xdotool search --onlyvisible --name '^Marrowtone$' 2>/dev/null; }

start_xvfb
HOME="$WORK/home"
export HOME
mkdir -p "$HOME"
openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
stop_later $!
# The window manager is up once it has announced itself on the root window.
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
    fail "openbox did not start: $(cat "$WORK/openbox.log")"
no_audio_server

"$player" >"$WORK/first.out" 2>"$WORK/first.err" &
stop_later $!
first=$(find_player_window) || fail "the first window did not appear: $(cat "$WORK/first.err")"
first_at=$(window_position "$first")

"$player" >"$WORK/second.out" 2>"$WORK/second.err" &
stop_later $!
second=""
for _ in $(seq 300); do
    second=$(players | grep -v "^$first\$" | head -n1)
    [ -n "$second" ] && break
    sleep 0.1
done
[ -n "$second" ] || fail "the second window did not appear: $(cat "$WORK/second.err")"
# The window manager may still be moving it into place: wait for a position that holds.
second_at=""
for _ in $(seq 50); do
    now=$(window_position "$second")
    [ "$now" = "$second_at" ] && break
    second_at=$now
    sleep 0.1
done
echo "first window at $first_at, second at $second_at"
[ "$first_at" != "$second_at" ] || fail "both windows at $first_at"
