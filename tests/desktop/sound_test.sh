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
start_player "$player"

parec -d marrowtone_test.monitor --format=u8 --rate=11025 --channels=1 --raw \
    >"$artefacts/recorded.raw" 2>"$WORK/parec.err" &
recorder=$!
stop_later $recorder

dialog=$(open_dialog) || exit 1
sleep 0.2
import -window "$dialog" "$artefacts/open-dialog.png" && echo "dialog: $artefacts/open-dialog.png"
enter_path "$score"
# The dialog goes away when it accepts the file; the sound starts right after.
wait_for_dialog_to_close "the dialog did not accept $score"
# Wait until the server has played a little more than what is compared (its silence, 128,
# does not count), then end the program early.
# Meanwhile the window is resized now and then: the sound must go on regardless.
wanted=$(((seconds * 10 + 5) * 11025 / 10))
for i in $(seq 300); do
    heard=$(LC_ALL=C tr -d '\200' <"$artefacts/recorded.raw" | wc -c)
    [ "$heard" -ge "$wanted" ] && break
    case $((i % 10)) in
    3) xdotool windowsize "$WIN" 360 180 ;;
    8) xdotool windowsize "$WIN" 300 128 ;;
    esac
    sleep 0.1
done
[ "$heard" -ge "$wanted" ] || fail "only $heard bytes of sound reached the server in 30 s"

exit_through_menu
kill $recorder 2>/dev/null
wait $recorder 2>/dev/null

"$renderer" "$score" - >"$WORK/rendered.raw" || fail "the renderer failed"
echo "recording: $artefacts/recorded.raw"
"$checker" audio "$artefacts/recorded.raw" "$WORK/rendered.raw" $seconds ||
    fail "the recording does not carry the rendered score"
