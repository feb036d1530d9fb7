#!/bin/sh
# No audio server when the player starts (a score chosen then plays silently); once one has
# started, the next score chosen is heard byte for byte.
#   late_server_test.sh PLAYER RENDERER CHECKER SCORE ARTEFACT_DIR
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/audio_lib.sh"
audio_test_arguments "$@"

pulse_environment
start_xvfb
start_player "$player"
pactl info >/dev/null 2>&1 && fail "an audio server answers before the test started one"
open_dialog >/dev/null
enter_path "$score"
wait_for_choice "the dialog did not accept $score without a server"
kill -0 $APP 2>/dev/null || fail "the program ended without a server: $(cat "$WORK/player.err")"

start_pulse
hear_score "$score" "$renderer" "$checker" "$artefacts" recorded
exit_through_menu
echo "no audio server at start, then one started: the next score heard byte for byte"
