#!/usr/bin/env bash
# Builds the window framework, the controls and their suites as Windows programs and runs
# the suites under Wine on a private virtual X display.
#
#   scripts/windows-tests.sh [--build-only] [CTEST_ARGUMENTS...]
#
# CTEST_ARGUMENTS pick cases, for example: -R WindowsPlayer --repeat until-fail:20
#
# The real target is 32-bit x86 (build-windows). A kernel without 32-bit support cannot
# start 32-bit Wine; there the same sources are also built for 64-bit Windows
# (build-windows64) and those programs run under wine64 instead, so the suites still run
# against Wine's user32 and comctl32.
#
# Everything started here (Xvfb, wineserver) is stopped on exit, and the temporary Wine
# prefix is removed. Needs no standard input.
set -euo pipefail

cd "$(dirname "$0")/.."
ROOT=$PWD
. scripts/wine-session.sh
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
BUILD_ONLY=0
if [[ ${1:-} == --build-only ]]; then
    BUILD_ONLY=1
    shift
fi

log() { printf 'windows-tests: %s\n' "$*" >&2; }

build() { # dir toolchain
    cmake -S "$ROOT" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$2" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARROWTONE_WINDOWS_ONLY=ON >/dev/null
    cmake --build "$1" -j "$JOBS"
}

build build-windows mingw-i686.cmake

if can_run_32bit_wine; then
    RUN_DIR=build-windows
    WINE_CMD=wine
else
    if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || [[ ! -x /usr/lib/wine/wine64 ]]; then
        log "32-bit Wine cannot start here and there is no 64-bit MinGW/wine64 to fall back on"
        exit 1
    fi
    log "32-bit Wine cannot start here (not installed, or the kernel refuses 32-bit programs): running the 64-bit Windows build under wine64"
    build build-windows64 mingw-x86_64.cmake
    RUN_DIR=build-windows64
    WINE_CMD=/usr/lib/wine/wine64
    export WINELOADER=/usr/lib/wine/wine64
fi

((BUILD_ONLY)) && exit 0

# What marrowtone-render --check and --info say natively, for the Windows program to say the
# same under Wine: the native tool (built beside the Windows programs) runs on the scores of
# tests/windows/check-parity, one of them under a name that is not ASCII, by relative names.
log "building the native marrowtone-render for the comparison with the Windows one"
NATIVE="$ROOT/build-windows/native-render"
cmake -S "$ROOT" -B "$NATIVE" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARROWTONE_TESTS=OFF \
    -DMARROWTONE_BENCH=OFF >/dev/null
cmake --build "$NATIVE" -j "$JOBS" --target marrowtone-render >/dev/null
PARITY="$ROOT/$RUN_DIR/check-parity"
rm -rf "$PARITY"
mkdir -p "$PARITY"
cp "$ROOT"/tests/windows/check-parity/*.mml "$PARITY/"
cp "$PARITY/warnings.mml" "$PARITY/$(printf '\303\261o\303\261o-\351\237\263\346\245\275').mml"
(
    cd "$PARITY"
    for score in *.mml; do
        status=0
        "$NATIVE/marrowtone-render" --check --info "$score" >"$score.expected" || status=$?
        echo "$status" >"$score.status"
    done
)

WORK=$(mktemp -d /tmp/marrowtone-wine.XXXXXX)
RECORDER_PID=
cleanup() {
    local status=$?
    if [[ -n $RECORDER_PID ]]; then
        kill "$RECORDER_PID" 2>/dev/null || true
        wait "$RECORDER_PID" 2>/dev/null || true
    fi
    if ((status != 0)) && [[ -f $WORK/pulse.log ]]; then
        log "the audio server's last words:"
        tail -n 40 "$WORK/pulse.log" >&2
    fi
    stop_private_pulse || true
    stop_wine_and_display "${WINEPREFIX:-}"
    rm -rf "$WORK"
    exit "$status"
}
trap cleanup EXIT INT TERM

start_private_display "$WORK" || { log "Xvfb did not start"; exit 1; }

# An audio server of our own that plays at the player's own format; Wine's wave output
# plays into it.
start_private_pulse "$WORK" || { log "no audio server of our own"; exit 1; }
export MARROWTONE_RECORDING="$WORK/recorded.raw"
parec -d marrowtone_test.monitor --format=u8 --rate=11025 --channels=1 --raw \
    >"$MARROWTONE_RECORDING" 2>"$WORK/parec.log" </dev/null &
RECORDER_PID=$!

export WINEPREFIX="$WORK/prefix"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
log "initialising a fresh Wine prefix on display $DISPLAY"
timeout 300 "$WINE_CMD" wineboot -i </dev/null >"$WORK/wineboot.log" 2>&1 || {
    cat "$WORK/wineboot.log" >&2
    log "wineboot failed"
    exit 1
}
# One wineserver for the whole run instead of one per test program.
wineserver -p >/dev/null 2>&1 </dev/null || true

cd "$RUN_DIR"
# CMake 3.25 appends, rather than rewrites, the list of discovered tests when a rebuilt
# suite is discovered again, so every rebuild would run each case once more: start from
# no list, and let ctest discover each suite afresh.
find . -name '*_tests.cmake' -path '*\[*' -delete
ctest --output-on-failure --no-tests=error -j "$JOBS" "$@" </dev/null
