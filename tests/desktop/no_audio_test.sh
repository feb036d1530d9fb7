#!/bin/sh
# Without an audio server the player still opens a score through its dialog, stays silent
# and ends normally.
#   no_audio_test.sh PLAYER SCORE
player=$1
score=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
. "$(dirname "$0")/lib.sh"

start_xvfb
# A server address where nothing listens, and no server started on demand.
PULSE_SERVER="unix:$WORK/no-server"
export PULSE_SERVER
"$player" >"$WORK/player.out" 2>"$WORK/player.err" &
app=$!
stop_later $app
win=$(find_player_window) || fail "no window named Marrowtone appeared: $(cat "$WORK/player.err")"

# Cancelling the dialog changes nothing.
choose_file_menu_item "$win" 1
wait_for_window Open >/dev/null || fail "the open dialog did not appear"
sleep 0.3
xdotool key Escape
for _ in $(seq 50); do
    xdotool search --onlyvisible --name '^Open$' >/dev/null 2>&1 || break
    sleep 0.1
done
xdotool search --onlyvisible --name '^Open$' >/dev/null 2>&1 && fail "Escape did not close the dialog"
kill -0 $app 2>/dev/null || fail "the program ended after a cancelled dialog"

choose_file_menu_item "$win" 1
wait_for_window Open >/dev/null || fail "the open dialog did not appear again"
sleep 0.3
xdotool type --delay 10 "$score"
sleep 0.3
xdotool key Return
sleep 1
kill -0 $app 2>/dev/null || fail "the program ended: $(cat "$WORK/player.err")"
choose_file_menu_item "$win" 2
wait_for_exit $app 10 || fail "the program did not end after File, Exit"
[ "$EXIT_STATUS" = 0 ] || fail "exit status $EXIT_STATUS; stderr: $(cat "$WORK/player.err")"
echo "no audio server: dialog cancelled, then a score opened, silent; File, Exit with status 0"
