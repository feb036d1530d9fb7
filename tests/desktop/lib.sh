# Shared by the desktop tests: a private virtual X server, a private audio server, and
# clean-up of everything started, however the test ends. Sourced, not run.

. "$(dirname "$0")/../../scripts/test-servers.sh"

PIDS_TO_STOP=""
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
        poll_until 10 process_gone "$pid" || kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    stop_private_pulse
    stop_private_display
    rm -rf "$WORK"
    exit $status
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

stop_later() { PIDS_TO_STOP="$1 $PIDS_TO_STOP"; }

start_xvfb() {
    start_private_display "$WORK" || fail "Xvfb did not start"
}

# Where the test's own audio server lives, without starting it: a program started now looks
# for the server there (and finds none until start_pulse). Its home is the test's too.
pulse_environment() {
    private_pulse_environment "$WORK"
    HOME="$WORK/home"
    export HOME
    mkdir -p "$HOME"
}

start_pulse() {
    pulse_environment
    start_private_pulse "$WORK" || fail "no audio server of the test's own"
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

# The number of visible windows, open menus among them.
visible_windows() { xdotool search --onlyvisible --name '' 2>/dev/null | wc -l; }
more_windows_than() { [ "$(visible_windows)" -gt "$1" ]; }
windows_at() { [ "$(visible_windows)" -eq "$1" ]; }
visible_window_ids() { xdotool search --onlyvisible --name '' 2>/dev/null | sort; }
a_window_since() { visible_window_ids | comm -13 "$1" - | grep -q .; }

# Waits until the window has the keyboard: a key sent before goes elsewhere.
wait_for_focus() {
    poll_until 100 has_focus "$1"
}
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

# Chooses a command of the "File" menu by mouse on the menu bar, then arrow keys. The keys
# wait for the menu to open: before, they would go to the window itself.
choose_file_menu_item() { # window, number of Down presses
    # A window that was not there before, not merely one more: a dialog that has just
    # closed may still be going away while the menu comes.
    # A click that lands while the window is still busy with the dialog's end may be lost:
    # it is made again, only while no menu has come.
    visible_window_ids >"$WORK/windows-before-menu"
    attempt=0
    until [ "$attempt" -ge 3 ]; do
        xdotool mousemove --window "$1" 20 8 click 1
        poll_until 50 a_window_since "$WORK/windows-before-menu" && break
        attempt=$((attempt + 1))
    done
    [ "$attempt" -lt 3 ] || fail "clicking the menu bar opened no menu"
    i=0
    while [ "$i" -lt "$2" ]; do
        xdotool key Down
        i=$((i + 1))
    done
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
    wait_for_focus "$dialog" || fail "the open dialog did not get the keyboard"
    echo "$dialog"
}

# Types a path into the open dialog and accepts it.
enter_path() {
    xdotool type --delay 10 "$1"
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
