#!/bin/sh
# Sound that follows the server: the player's audio server stops for 10 s while the player
# runs (a score chosen meanwhile plays silently), then starts again, and the next score
# chosen is heard byte for byte.
#   server_restart_test.sh PLAYER RENDERER CHECKER SCORE ARTEFACT_DIR
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/audio_lib.sh"
audio_test_arguments "$@"

start_player_and_server
hear_score "$score" "$renderer" "$checker" "$artefacts" before

stop_pulse
stopped=$(date +%s)
open_dialog >/dev/null
enter_path "$score"
wait_for_choice "the dialog did not accept $score without a server"
kill -0 $APP 2>/dev/null || fail "the program ended without a server: $(cat "$WORK/player.err")"
# The outage itself lasts 10 s (what is tested, not a wait for something to happen).
while [ $(($(date +%s) - stopped)) -lt 10 ]; do sleep 0.5; done

start_pulse
hear_score "$score" "$renderer" "$checker" "$artefacts" after
exit_through_menu
echo "server stopped for 10 s and started again: the next score heard byte for byte"
