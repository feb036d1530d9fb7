#!/bin/sh
# Runs a program on a virtual X server of its own, with no audio server to reach.
#   with_display.sh PROGRAM [ARGUMENTS...]
. "$(dirname "$0")/lib.sh"
start_xvfb
no_audio_server
"$@"
