# Shared by the desktop tests: a private virtual X server, a private audio server, and
# clean-up of everything started, however the test ends. Sourced, not run.

PIDS_TO_STOP=""
PULSE_STARTED=no
WORK=$(mktemp -d "${TMPDIR:-/tmp}/marrowtone-desktop.XXXXXX")

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cleanup() {
    status=$?
    for pid in $PIDS_TO_STOP; do
        kill "$pid" 2>/dev/null
    done
    for pid in $PIDS_TO_STOP; do
        # Give each a moment, then insist.
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    if [ "$PULSE_STARTED" = yes ]; then
        timeout 5 pactl exit >/dev/null 2>&1
        if [ -f "$PULSE_RUNTIME_PATH/pid" ]; then
            pid=$(cat "$PULSE_RUNTIME_PATH/pid" 2>/dev/null)
            [ -n "$pid" ] && kill "$pid" 2>/dev/null
        fi
    fi
    rm -rf "$WORK"
    exit $status
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

stop_later() { PIDS_TO_STOP="$1 $PIDS_TO_STOP"; }

# Starts Xvfb on a free display and exports DISPLAY. The number is drawn from a high range:
# the low ones are where desktops and other tools expect their own servers.
start_xvfb() {
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        n=$(($(od -An -N2 -tu2 /dev/urandom) % 900 + 100))
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        # -noreset: between one client leaving and the next arriving, a server that resets
        # refuses connections.
        Xvfb ":$n" -noreset -nolisten tcp -screen 0 1024x768x24 >"$WORK/xvfb.log" 2>&1 &
        xvfb=$!
        stop_later $xvfb
        for _ in $(seq 100); do
            kill -0 $xvfb 2>/dev/null || break
            if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
                DISPLAY=":$n"
                export DISPLAY
                return 0
            fi
            sleep 0.1
        done
        kill $xvfb 2>/dev/null
        wait $xvfb 2>/dev/null
    done
    fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
}

# Where the test's own audio server lives, without starting it: a program started now looks
# for the server there (and finds none until start_pulse).
pulse_environment() {
    PULSE_RUNTIME_PATH="$WORK/pulse"
    XDG_RUNTIME_DIR="$WORK/xdg"
    HOME="$WORK/home"
    export PULSE_RUNTIME_PATH XDG_RUNTIME_DIR HOME
    mkdir -p "$PULSE_RUNTIME_PATH" "$XDG_RUNTIME_DIR" "$HOME"
    chmod 700 "$PULSE_RUNTIME_PATH" "$XDG_RUNTIME_DIR"
}

# Starts a PulseAudio server of the test's own whose default sink records at 11025 Hz,
# 8-bit unsigned mono, into its monitor source. Without rewinds: a sink that rewinds to mix
# in a new stream sooner does so behind its monitor's back, which then misses the stream's
# first tenth of a second.
start_pulse() {
    pulse_environment
    PULSE_STARTED=yes
    pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target=stderr \
        -L module-native-protocol-unix \
        -L "module-null-sink sink_name=marrowtone_test rate=11025 format=u8 channels=1 norewinds=1" \
        >"$WORK/pulse.log" 2>&1 || fail "pulseaudio did not start: $(cat "$WORK/pulse.log")"
    timeout 10 sh -c 'until pactl info >/dev/null 2>&1; do sleep 0.1; done' ||
        fail "pulseaudio does not answer"
    pactl set-default-sink marrowtone_test || fail "no null sink"
}

# Waits for the player's visible top-level window and prints its id. Generous: a loaded
# machine may take its time to start Qt.
find_player_window() {
    wait_for_window Marrowtone 300
}

# Waits (tenths of a second, 200 unless given) for a visible window with exactly this name.
wait_for_window() {
    for _ in $(seq "${2:-200}"); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Width and height of a window, as "WxH".
window_size() {
    xwininfo -id "$1" | awk '/^  Width:/ {w=$2} /^  Height:/ {h=$2} END {print w "x" h}'
}

# Waits for the process to end (at most $2 seconds) and sets EXIT_STATUS to its status.
wait_for_exit() {
    EXIT_STATUS=""
    for _ in $(seq $(($2 * 10))); do
        if ! kill -0 "$1" 2>/dev/null; then
            wait "$1"
            EXIT_STATUS=$?
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Chooses a command of the "File" menu by mouse on the menu bar, then arrow keys.
choose_file_menu_item() { # window, number of Down presses
    xdotool mousemove --window "$1" 20 8 click 1
    sleep 0.5
    i=0
    while [ "$i" -lt "$2" ]; do
        xdotool key Down
        i=$((i + 1))
    done
    sleep 0.2
    xdotool key Return
}

# Points the audio library at an address where no server listens, so that none is reached
# or started on demand.
no_audio_server() {
    PULSE_SERVER="unix:$WORK/no-server"
    export PULSE_SERVER
}

# Starts the player with its output kept in $WORK; sets APP to its process and WIN to its
# window.
start_player() {
    "$1" >"$WORK/player.out" 2>"$WORK/player.err" &
    APP=$!
    stop_later $APP
    WIN=$(find_player_window) || fail "no window named Marrowtone appeared: $(cat "$WORK/player.err")"
}

# "File", "MML Open": waits for the open dialog and prints its id.
open_dialog() {
    choose_file_menu_item "$WIN" 1
    dialog=$(wait_for_window Open) || fail "the open dialog did not appear"
    sleep 0.3
    echo "$dialog"
}

# Types a path into the open dialog and accepts it.
enter_path() {
    xdotool type --delay 10 "$1"
    sleep 0.3
    xdotool key Return
}

# Waits for the open dialog to go away (tenths of a second, 50 unless given); fails with the
# message if it stays.
wait_for_dialog_to_close() {
    for _ in $(seq "${2:-50}"); do
        xdotool search --onlyvisible --name '^Open$' >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "$1"
}

# "File", "Exit": the player must end with status 0.
exit_through_menu() {
    choose_file_menu_item "$WIN" 2
    wait_for_exit $APP 10 || fail "the program did not end after File, Exit"
    [ "$EXIT_STATUS" = 0 ] || fail "exit status $EXIT_STATUS; stderr: $(cat "$WORK/player.err")"
}
