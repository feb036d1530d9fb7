#!/bin/sh
# Without a display the player says so in one line that fits the case, names the renderer
# (here the one built beside it), and ends with 1.
#   no_display_test.sh PLAYER
player=$1
err=$(mktemp)
trap 'rm -f "$err"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
one_line() { # what
    cat "$err"
    [ "$status" = 1 ] || fail "$1: exit status $status, not 1"
    [ "$(wc -l <"$err")" = 1 ] || fail "$1: not one line"
    grep -q 'no display' "$err" || fail "$1: the line does not say there is no display"
    renderer=$(sed -n 's/.* use \([^ ]*marrowtone-render\)$/\1/p' "$err")
    [ -n "$renderer" ] || fail "$1: the line does not name marrowtone-render"
    [ -x "$renderer" ] || fail "$1: $renderer is not the renderer built beside the player"
}

env -u DISPLAY -u WAYLAND_DISPLAY "$player" 2>"$err" </dev/null >/dev/null
status=$?
one_line "no display set"
grep -q 'DISPLAY' "$err" || fail "no display set: the line does not name DISPLAY"

# A display that does not answer counts as none, rather than Qt ending the program, and the
# line says it cannot be reached instead of asking for what is already set.
env -u WAYLAND_DISPLAY DISPLAY=:4095 "$player" 2>"$err" </dev/null >/dev/null
status=$?
one_line "unreachable display"
grep -q ':4095 cannot be reached' "$err" || fail "unreachable display: wrong reason"
grep -q 'set DISPLAY' "$err" && fail "unreachable display: asks to set DISPLAY"

# The same for a Wayland compositor that is not there.
runtime=$(mktemp -d)
env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=wayland-none "$player" 2>"$err" \
    </dev/null >/dev/null
status=$?
rmdir "$runtime"
one_line "unreachable Wayland display"
grep -q 'wayland-none cannot be reached' "$err" || fail "unreachable Wayland display: wrong reason"
echo "no display: one line, exit status 1, in each case"
