#!/bin/sh
# marrowtone-render --play on real sound without a display: the rendering reaches a
# PulseAudio server of the test's own byte for byte, Ctrl+C ends it at once, and a server
# that goes away ends it with an error.
#   render_play_test.sh RENDERER CHECKER SCORE ARTEFACT_DIR
renderer=$1
checker=$2
score=$3
artefacts=$4
. "$(dirname "$0")/lib.sh"
mkdir -p "$artefacts"
seconds=3
unset DISPLAY WAYLAND_DISPLAY

# The program's stream is on the server.
playing() { pactl list short sink-inputs 2>/dev/null | grep -q .; }

start_pulse
parec -d marrowtone_test.monitor --format=u8 --rate=11025 --channels=1 --raw \
    >"$artefacts/recorded.raw" 2>"$WORK/parec.err" &
recorder=$!
stop_later $recorder

# The whole rendering plays, then the program ends by itself.
"$renderer" --play --seconds $seconds "$score" >"$WORK/play.out" 2>"$WORK/play.err" &
player=$!
stop_later $player
wait_for_exit $player 30 || fail "--play did not end after its $seconds seconds"
[ "$EXIT_STATUS" = 0 ] || fail "--play ended with $EXIT_STATUS: $(cat "$WORK/play.err")"
[ -s "$WORK/play.out" ] && fail "--play wrote to standard output: $(cat "$WORK/play.out")"
# Not a terminal: nothing to tell, neither the 'Playing' line nor the progress.
[ -s "$WORK/play.err" ] && fail "--play told a file: $(cat "$WORK/play.err")"

# The server has played everything once the program has ended; the recorder may still
# hold some of it.
wanted=$((seconds * 11025 * 95 / 100))
for _ in $(seq 100); do
    heard=$(LC_ALL=C tr -d '\200' <"$artefacts/recorded.raw" | wc -c)
    [ "$heard" -ge "$wanted" ] && break
    sleep 0.1
done
kill $recorder 2>/dev/null
wait $recorder 2>/dev/null
"$renderer" --seconds $seconds "$score" - >"$WORK/rendered.raw" || fail "the renderer failed"
echo "recording: $artefacts/recorded.raw"
"$checker" audio "$artefacts/recorded.raw" "$WORK/rendered.raw" $seconds ||
    fail "the recording does not carry the rendered score"

# Ctrl+C during a minute of sound: status 130 at once.
"$renderer" --play "$score" >"$WORK/play.out" 2>"$WORK/play.err" &
player=$!
stop_later $player
poll_until 100 playing || fail "--play did not start: $(cat "$WORK/play.err")"
kill -INT $player
wait_for_exit $player 5 || fail "--play did not end within 5 s of Ctrl+C: $(cat "$WORK/play.err")"
[ "$EXIT_STATUS" = 130 ] || fail "Ctrl+C ended --play with $EXIT_STATUS: $(cat "$WORK/play.err")"
# Ended by the program itself, its sound stopped, not by the signal.
grep -q "^Stopped\.$" "$WORK/play.err" || fail "no clean stop: $(cat "$WORK/play.err")"

# The server ends while --play plays: an error of its own status, not a quiet success.
"$renderer" --play --seconds 8 "$score" >"$WORK/play.out" 2>"$WORK/play.err" &
player=$!
stop_later $player
poll_until 100 playing || fail "--play did not start: $(cat "$WORK/play.err")"
stop_private_pulse || fail "the audio server did not stop"
wait_for_exit $player 30 || fail "--play did not end when the server went"
[ "$EXIT_STATUS" = 4 ] || fail "a lost server ended --play with $EXIT_STATUS: $(cat "$WORK/play.err")"
grep -q "^Error: the sound was lost" "$WORK/play.err" || fail "no word of the lost sound: $(cat "$WORK/play.err")"
echo "ok"
