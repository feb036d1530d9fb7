#!/bin/sh
# A score that cannot be loaded, chosen through the dialog, ends the program with status 1
# and "Error: " and the reason on standard error, its window still open.
#   load_error_test.sh PLAYER
player=$1
. "$(dirname "$0")/lib.sh"

start_xvfb
PULSE_SERVER="unix:$WORK/no-server"
export PULSE_SERVER
printf 'Lead t120 v99999999999 c\n' >"$WORK/too-loud.mml"
"$player" >"$WORK/player.out" 2>"$WORK/player.err" &
app=$!
stop_later $app
win=$(find_player_window) || fail "no window named Marrowtone appeared: $(cat "$WORK/player.err")"

choose_file_menu_item "$win" 1
wait_for_window Open >/dev/null || fail "the open dialog did not appear"
sleep 0.3
xdotool type --delay 10 "$WORK/too-loud.mml"
sleep 0.3
xdotool key Return
wait_for_exit $app 10 || fail "the program did not end"
[ "$EXIT_STATUS" = 1 ] || fail "exit status $EXIT_STATUS, not 1"
grep -q "^Error: .*too-loud.mml.*99999999999" "$WORK/player.err" ||
    fail "no error line: $(cat "$WORK/player.err")"
grep "^Error: " "$WORK/player.err"
