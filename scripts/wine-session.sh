# Sourced by the scripts that run Windows programs under Wine: a private virtual display
# and the end of everything started for it. Not run on its own.

XVFB_PID=

# Starts Xvfb on a free display (it picks the number and writes it into a pipe in the
# folder $1) and exports DISPLAY; returns 1 if it does not start.
start_private_display() {
    mkfifo "$1/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$1/display" \
        >"$1/xvfb.log" 2>&1 </dev/null &
    XVFB_PID=$!
    local number=
    read -r -t 30 number <"$1/display" || true
    if [[ -z $number ]]; then
        cat "$1/xvfb.log" >&2
        return 1
    fi
    export DISPLAY=":$number"
}

# Ends the Wine session of the prefix $1 (if it was made) and the display (if started).
stop_wine_and_display() {
    if [[ -n $1 && -d $1 ]]; then
        WINEPREFIX=$1 timeout 30 wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$1 timeout 30 wineserver -w >/dev/null 2>&1 || true
    fi
    if [[ -n $XVFB_PID ]]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
}
