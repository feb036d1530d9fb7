#!/bin/sh
# Without an audio server the player still opens a score through its dialog, stays silent
# and ends normally.
#   no_audio_test.sh PLAYER SCORE
player=$1
score=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
. "$(dirname "$0")/lib.sh"

start_xvfb
no_audio_server
start_player "$player"

# Cancelling the dialog changes nothing.
open_dialog >/dev/null
xdotool key Escape
wait_for_dialog_to_close "Escape did not close the dialog"
kill -0 $APP 2>/dev/null || fail "the program ended after a cancelled dialog"

open_dialog >/dev/null
enter_path "$score"
wait_for_dialog_to_close "the dialog did not accept $score"
kill -0 $APP 2>/dev/null || fail "the program ended: $(cat "$WORK/player.err")"
exit_through_menu
echo "no audio server: dialog cancelled, then a score opened, silent; File, Exit with status 0"
