#!/bin/sh
# Runs a program on a virtual X server and a PulseAudio server of its own.
#   with_audio_server.sh PROGRAM [ARGUMENTS...]
. "$(dirname "$0")/lib.sh"
start_pulse
start_xvfb
"$@"
