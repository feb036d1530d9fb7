#!/bin/sh
# marrowtone-render pays for the sound server only when it plays: it links neither
# PulseAudio's client library nor Qt, a render loads neither, and --play without a server
# or without the library says so and ends with status 1.
#   render_sound_library_test.sh RENDERER SCORE NO_PULSE_LIBRARY
renderer=$1
score=$2
no_library=$3
. "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY

ldd "$renderer" >"$WORK/ldd" || fail "ldd $renderer"
grep -Ei 'libpulse|libQt' "$WORK/ldd" && fail "the renderer links the sound server's or Qt's libraries"
LD_DEBUG=files "$renderer" "$score" "$WORK/out.wav" 2>"$WORK/loads" || fail "the render failed"
grep -Ei 'file=[^ ]*(libpulse|libQt)' "$WORK/loads" && fail "a render loaded the sound server's library"

# Says why, after the usual "Error: ", and nothing plays.
expect_no_device() {
    [ "$EXIT_STATUS" = 1 ] || fail "$1: --play ended with $EXIT_STATUS: $(cat "$WORK/play.err")"
    [ "$(cat "$WORK/play.err")" = "Error: cannot play: there is no sound device" ] ||
        fail "$1: $(cat "$WORK/play.err")"
}

no_audio_server
"$renderer" --play --seconds 1 "$score" 2>"$WORK/play.err" &
wait_for_exit $! 30 || fail "--play without a server did not end"
expect_no_device "without a server"

unset PULSE_SERVER
start_pulse
LD_PRELOAD="$no_library" "$renderer" --play --seconds 1 "$score" 2>"$WORK/play.err" &
wait_for_exit $! 30 || fail "--play without the library did not end"
expect_no_device "without the library"
echo "ok: no sound library linked or loaded by a render; --play without a server or library fails cleanly"
