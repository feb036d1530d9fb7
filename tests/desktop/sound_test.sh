#!/bin/sh
# Real sound, end to end: a score opened through the menu and the open dialog reaches a
# PulseAudio server of the test's own, byte for byte as the renderer makes it, soon after
# the choice, from a client that shows as Marrowtone playing music.
#   sound_test.sh PLAYER RENDERER CHECKER SCORE ARTEFACT_DIR FIRST_SOUND
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/audio_lib.sh"
audio_test_arguments "$@"

start_player_and_server
hear_score "$score" "$renderer" "$checker" "$artefacts" recorded
check_audio_client "$(basename "$player")"
exit_through_menu
echo "recording: $artefacts/recorded.raw"
