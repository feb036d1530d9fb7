#!/bin/sh
# Real sound, end to end: a score opened through the menu and the open dialog reaches a
# PulseAudio server of the test's own, byte for byte as the renderer makes it.
#   sound_test.sh PLAYER RENDERER CHECKER SCORE ARTEFACT_DIR
player=$1
renderer=$2
checker=$3
score=$(cd "$(dirname "$4")" && pwd)/$(basename "$4")
artefacts=$5
. "$(dirname "$0")/lib.sh"
mkdir -p "$artefacts"
seconds=3

start_pulse
start_xvfb
"$player" >"$WORK/player.out" 2>"$WORK/player.err" &
app=$!
stop_later $app
win=$(find_player_window) || fail "no window named Marrowtone appeared: $(cat "$WORK/player.err")"

parec -d marrowtone_test.monitor --format=u8 --rate=11025 --channels=1 --raw \
    >"$artefacts/recorded.raw" 2>"$WORK/parec.err" &
recorder=$!
stop_later $recorder

choose_file_menu_item "$win" 1
dialog=$(wait_for_window Open) || fail "the open dialog did not appear"
sleep 0.5
import -window "$dialog" "$artefacts/open-dialog.png" && echo "dialog: $artefacts/open-dialog.png"
xdotool type --delay 10 "$score"
sleep 0.3
xdotool key Return
# The dialog goes away when it accepts the file; the sound starts right after.
for _ in $(seq 50); do
    xdotool search --onlyvisible --name '^Open$' >/dev/null 2>&1 || break
    sleep 0.1
done
xdotool search --onlyvisible --name '^Open$' >/dev/null 2>&1 && fail "the dialog did not accept $score"
# Wait until the server has played a little more than what is compared (its silence, 128,
# does not count), then end the program early.
# Meanwhile the window is resized now and then: the sound must go on regardless.
wanted=$(((seconds * 10 + 5) * 11025 / 10))
for i in $(seq 300); do
    heard=$(LC_ALL=C tr -d '\200' <"$artefacts/recorded.raw" | wc -c)
    [ "$heard" -ge "$wanted" ] && break
    case $((i % 10)) in
    3) xdotool windowsize "$win" 360 180 ;;
    8) xdotool windowsize "$win" 300 128 ;;
    esac
    sleep 0.1
done
[ "$heard" -ge "$wanted" ] || fail "only $heard bytes of sound reached the server in 30 s"

choose_file_menu_item "$win" 2
wait_for_exit $app 10 || fail "the program did not end after File, Exit"
[ "$EXIT_STATUS" = 0 ] || fail "exit status $EXIT_STATUS; stderr: $(cat "$WORK/player.err")"
kill $recorder 2>/dev/null
wait $recorder 2>/dev/null

"$renderer" "$score" - >"$WORK/rendered.raw" || fail "the renderer failed"
echo "recording: $artefacts/recorded.raw"
"$checker" audio "$artefacts/recorded.raw" "$WORK/rendered.raw" $seconds ||
    fail "the recording does not carry the rendered score"
