# Sourced by every test script that needs a display or an audio server of its own (the
# desktop tests, the Windows suites under Wine, the package test): the one way each is
# started, waited for and stopped. Plain sh, for the desktop tests' sh and the other
# scripts' bash alike (safe under set -eu). Not run on its own.

XVFB_PID=
PULSE_STARTED=no

# Runs the command until it succeeds, at most $1 tenths of a second; 1 if it never did.
poll_until() {
    wait_limit=$1
    shift
    while [ "$wait_limit" -gt 0 ]; do
        if "$@"; then return 0; fi
        sleep 0.1
        wait_limit=$((wait_limit - 1))
    done
    return 1
}

# Starts Xvfb on a free display and exports DISPLAY; the folder $1 keeps its log. The
# number is drawn from a high range: the low ones are where desktops and other tools expect
# their own servers. Returns 1 if no server starts.
start_private_display() {
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        display_number=$(($(od -An -N2 -tu2 /dev/urandom) % 900 + 100))
        if [ -e "/tmp/.X$display_number-lock" ] || [ -e "/tmp/.X11-unix/X$display_number" ]; then
            continue
        fi
        rm -f "$1/display"
        # -displayfd: the server writes its number there once it takes clients.
        # -noreset: between one client leaving and the next arriving, a server that resets
        # refuses connections.
        Xvfb ":$display_number" -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 \
            3>"$1/display" >"$1/xvfb.log" 2>&1 </dev/null &
        XVFB_PID=$!
        poll_until 300 display_named_or_gone "$1" || true
        if grep -qx "$display_number" "$1/display" 2>/dev/null; then
            DISPLAY=":$display_number"
            export DISPLAY
            return 0
        fi
        stop_private_display
    done
    cat "$1/xvfb.log" >&2
    return 1
}

# The server started last has named its display, or has ended (another took the number).
display_named_or_gone() {
    grep -qx "$display_number" "$1/display" 2>/dev/null || ! kill -0 "$XVFB_PID" 2>/dev/null
}

stop_private_display() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}

# Where the audio server in the folder $1 lives, without starting it: a program started now
# looks for the server there (and finds none until start_private_pulse).
private_pulse_environment() {
    PULSE_RUNTIME_PATH="$1/pulse"
    XDG_RUNTIME_DIR="$1/xdg"
    export PULSE_RUNTIME_PATH XDG_RUNTIME_DIR
    mkdir -p "$PULSE_RUNTIME_PATH" "$XDG_RUNTIME_DIR" "$1/pulse-home"
    chmod 700 "$PULSE_RUNTIME_PATH" "$XDG_RUNTIME_DIR"
}

# Starts a PulseAudio server in the folder $1 whose default sink, marrowtone_test, plays
# the player's own format, 8-bit unsigned mono at 11025 Hz: its monitor then records the
# player's bytes unchanged (and 128 wherever nothing plays). Without rewinds: a sink that
# rewinds to mix in a new stream sooner does so behind its monitor's back, which then
# misses the stream's first tenth of a second. Without real-time scheduling, raised
# priority or the CPU limit: run as root, the server takes real-time scheduling for its sink
# and may end itself when a loaded machine holds that thread past its limits, and every
# client after it finds no audio device. Returns 1, with the log, if it does not answer.
start_private_pulse() {
    private_pulse_environment "$1"
    PULSE_STARTED=yes
    if ! HOME="$1/pulse-home" pulseaudio -n --daemonize=yes --exit-idle-time=-1 \
        --realtime=no --high-priority=no --no-cpu-limit=yes \
        --log-target=stderr -L module-native-protocol-unix \
        -L "module-null-sink sink_name=marrowtone_test rate=11025 format=u8 channels=1 norewinds=1" \
        >"$1/pulse.log" 2>&1; then
        cat "$1/pulse.log" >&2
        return 1
    fi
    if ! poll_until 300 pulse_answers; then
        echo "the audio server does not answer" >&2
        return 1
    fi
    pactl set-default-sink marrowtone_test
}

pulse_answers() { pactl info >/dev/null 2>&1; }

# Stops the server and waits until it is gone; 1 if it stays.
stop_private_pulse() {
    [ "$PULSE_STARTED" = yes ] || return 0
    PULSE_STARTED=no
    pulse_pid=$(cat "$PULSE_RUNTIME_PATH/pid" 2>/dev/null || true)
    timeout 5 pactl exit >/dev/null 2>&1 || true
    [ -n "$pulse_pid" ] || return 0
    kill "$pulse_pid" 2>/dev/null || true
    poll_until 100 process_gone "$pulse_pid" || return 1
    if pulse_answers; then return 1; fi
    return 0
}

process_gone() { ! kill -0 "$1" 2>/dev/null; }
