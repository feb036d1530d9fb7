# Sourced by the scripts that run Windows programs under Wine: whether 32-bit Wine starts,
# a private virtual display and the end of everything started for it. Not run on its own.

. "$(dirname "${BASH_SOURCE[0]}")/test-servers.sh"

# Ends the Wine session of the prefix $1 (if it was made) and the display (if started).
stop_wine_and_display() {
    if [[ -n $1 && -d $1 ]]; then
        WINEPREFIX=$1 timeout 30 wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$1 timeout 30 wineserver -w >/dev/null 2>&1 || true
    fi
    stop_private_display
}

# Whether this machine can start 32-bit Wine. The `wine` command alone says nothing: without
# 32-bit Wine it falls back on wine64. The loader itself is a 32-bit program: if it cannot
# print its version, 32-bit Wine is missing or the kernel refuses 32-bit executables.
can_run_32bit_wine() {
    [[ -x /usr/lib/wine/wine ]] || return 1
    local probe status=0
    probe=$(mktemp -d)
    (cd "$probe" && timeout 30 /usr/lib/wine/wine --version) >/dev/null 2>&1 || status=1
    rm -rf "$probe"
    return $status
}
