# Sourced by the scripts that run Windows programs under Wine: a private virtual display
# and the end of everything started for it. Not run on its own.

. "$(dirname "${BASH_SOURCE[0]}")/test-servers.sh"

# Ends the Wine session of the prefix $1 (if it was made) and the display (if started).
stop_wine_and_display() {
    if [[ -n $1 && -d $1 ]]; then
        WINEPREFIX=$1 timeout 30 wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$1 timeout 30 wineserver -w >/dev/null 2>&1 || true
    fi
    stop_private_display
}
