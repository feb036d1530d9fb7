# Shared by the desktop tests of sound, after lib.sh. Sourced, not run.

# The arguments every sound test takes: PLAYER RENDERER CHECKER SCORE ARTEFACT_DIR, then
# optionally the first-sound probe.
audio_test_arguments() {
    player=$1
    renderer=$2
    checker=$3
    score=$(cd "$(dirname "$4")" && pwd)/$(basename "$4")
    artefacts=$5
    FIRST_SOUND=${6:-}
    mkdir -p "$artefacts"
}

# The player on a display of the test's own, with an audio server of the test's own.
start_player_and_server() {
    start_pulse
    start_xvfb
    start_player "$player"
}

# Waits for the open dialog to go away, generously: on a loaded machine the player may take
# its time to take the keys and accept the file.
wait_for_choice() {
    wait_for_dialog_to_close "$1" 300
}

# Stops the test's audio server and waits until it is gone.
stop_pulse() {
    pid=$(cat "$PULSE_RUNTIME_PATH/pid" 2>/dev/null)
    [ -n "$pid" ] || fail "the audio server left no process id"
    kill -0 "$pid" 2>/dev/null || fail "the audio server was not running"
    stop_private_pulse || fail "the audio server did not stop, or another still answers"
}

# Opens SCORE through the menu and the dialog of the player's window WIN and checks that its
# first SECONDS reach the server byte for byte as RENDERER makes them (CHECKER compares).
# With FIRST_SOUND set to the probe, prints the time from Return in the dialog to the first
# sound the server played. Recordings go to ARTEFACTS/NAME.raw.
#   hear_score SCORE RENDERER CHECKER ARTEFACTS NAME
hear_score() {
    seconds=3
    recording="$4/$5.raw"
    parec -d marrowtone_test.monitor --format=u8 --rate=11025 --channels=1 --raw \
        >"$recording" 2>"$WORK/parec.err" &
    recorder=$!
    stop_later $recorder
    if [ -n "$FIRST_SOUND" ]; then
        "$FIRST_SOUND" 30 >"$WORK/first-sound" 2>&1 &
        probe=$!
        stop_later $probe
        for _ in $(seq 100); do
            grep -q listening "$WORK/first-sound" && break
            sleep 0.1
        done
        grep -q listening "$WORK/first-sound" || fail "the probe does not listen: $(cat "$WORK/first-sound")"
    fi
    dialog=$(open_dialog) || exit 1
    import -window "$dialog" "$4/open-dialog.png" 2>/dev/null
    xdotool type --delay 10 "$1"
    chosen=$(date +%s%N)
    xdotool key Return
    wait_for_choice "the dialog did not accept $1"
    if [ -n "$FIRST_SOUND" ]; then
        wait_for_exit $probe 30 || fail "the probe did not end"
        [ "$EXIT_STATUS" = 0 ] || fail "no sound reached the server: $(cat "$WORK/first-sound")"
        heard_at=$(tail -n1 "$WORK/first-sound")
        echo "choice-to-first-sound: $(((heard_at - chosen) / 1000000)) ms (Return in the dialog" \
            "to the first sound the server played; the server is asked to hold 100 ms)"
    fi
    # Wait until the server has played a little more than what is compared (its silence,
    # 128, does not count). Meanwhile the window is resized now and then: the sound must go
    # on regardless.
    wanted=$(((seconds * 10 + 5) * 11025 / 10))
    for i in $(seq 300); do
        heard=$(LC_ALL=C tr -d '\200' <"$recording" | wc -c)
        [ "$heard" -ge "$wanted" ] && break
        case $((i % 10)) in
        3) xdotool windowsize "$WIN" 360 180 ;;
        8) xdotool windowsize "$WIN" 300 128 ;;
        esac
        sleep 0.1
    done
    [ "$heard" -ge "$wanted" ] || fail "only $heard bytes of sound reached the server in 30 s"
    kill $recorder 2>/dev/null
    wait $recorder 2>/dev/null
    "$2" "$1" - >"$WORK/rendered.raw" || fail "the renderer failed"
    "$3" audio "$recording" "$WORK/rendered.raw" $seconds ||
        fail "the recording $recording does not carry the rendered score"
}

# The player's stream as the server lists it: named as the program, with its icon, as music.
check_audio_client() {
    pactl list sink-inputs >"$WORK/sink-inputs" || fail "pactl list sink-inputs"
    for property in 'application.name = "Marrowtone"' 'media.role = "music"' \
        'application.icon_name = "marrowtone"' 'application.id = "marrowtone"'; do
        grep -qF "$property" "$WORK/sink-inputs" ||
            fail "the stream lacks $property: $(cat "$WORK/sink-inputs")"
    done
    binary=$(sed -n 's/.*application.process.binary = "\(.*\)"/\1/p' "$WORK/sink-inputs" | head -n1)
    [ "$binary" = "$1" ] || fail "application.process.binary is '$binary', not '$1'"
    echo "audio client: Marrowtone, icon marrowtone, media.role music, binary $binary"
}
