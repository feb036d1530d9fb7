#!/bin/sh
# Without a display the player says so in one line, names the renderer, and ends with 1.
#   no_display_test.sh PLAYER
player=$1
err=$(mktemp)
trap 'rm -f "$err"' EXIT
env -u DISPLAY -u WAYLAND_DISPLAY "$player" 2>"$err" </dev/null >/dev/null
status=$?
cat "$err"
[ "$status" = 1 ] || { echo "FAIL: exit status $status, not 1" >&2; exit 1; }
[ "$(wc -l <"$err")" = 1 ] || { echo "FAIL: not one line" >&2; exit 1; }
grep -q 'no display' "$err" && grep -q 'marrowtone-render' "$err" ||
    { echo "FAIL: the line does not say what to do" >&2; exit 1; }
# A display that does not answer counts as none, rather than Qt ending the program.
DISPLAY=:4095 "$player" 2>"$err" </dev/null >/dev/null
status=$?
[ "$status" = 1 ] || { echo "FAIL: unreachable display: exit status $status" >&2; exit 1; }
grep -q 'no display' "$err" || { echo "FAIL: unreachable display: $(cat "$err")" >&2; exit 1; }
echo "no display: one line, exit status 1"
