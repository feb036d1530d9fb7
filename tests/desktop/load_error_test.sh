#!/bin/sh
# A score that cannot be loaded, chosen through the dialog, ends the program with status 1
# and "Error: " and the reason on standard error, its window still open.
#   load_error_test.sh PLAYER
player=$1
. "$(dirname "$0")/lib.sh"

start_xvfb
no_audio_server
printf 'Lead t120 v99999999999 c\n' >"$WORK/too-loud.mml"
start_player "$player"

open_dialog >/dev/null
enter_path "$WORK/too-loud.mml"
wait_for_exit $APP 10 || fail "the program did not end"
[ "$EXIT_STATUS" = 1 ] || fail "exit status $EXIT_STATUS, not 1"
grep -q "^Error: .*too-loud.mml.*99999999999" "$WORK/player.err" ||
    fail "no error line: $(cat "$WORK/player.err")"
grep "^Error: " "$WORK/player.err"
