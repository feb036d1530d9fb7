#!/bin/sh
# Real sound, end to end: a score opened through the menu and the open dialog reaches a
# PulseAudio server of the test's own, byte for byte as the renderer makes it, soon after
# the choice, from a client that shows as Marrowtone playing music.
#   sound_test.sh PLAYER RENDERER CHECKER FIRST_SOUND SCORE ARTEFACT_DIR
player=$1
renderer=$2
checker=$3
FIRST_SOUND=$4
score=$(cd "$(dirname "$5")" && pwd)/$(basename "$5")
artefacts=$6
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/audio_lib.sh"
mkdir -p "$artefacts"

start_pulse
start_xvfb
start_player "$player"
hear_score "$score" "$renderer" "$checker" "$artefacts" recorded
check_audio_client "$(basename "$player")"
exit_through_menu
echo "recording: $artefacts/recorded.raw"
