#!/bin/sh
# The menu bar from the keyboard, on a virtual X server: F10 highlights "File" where the user
# sees it, Down opens it, Return chooses "MML Open" (the open dialog appears); Escape from
# the popup leaves the menu, and the next keys reach the window again (F10 works at once);
# Alt+F4 ends the program.
#   menu_keys_test.sh PLAYER
player=$1
. "$(dirname "$0")/lib.sh"

# The menu bar's left end, as pixels.
bar_shot() {
    import -window "$WIN" -crop 80x16+0+0 +repage "$WORK/bar.ppm" 2>/dev/null &&
        cksum <"$WORK/bar.ppm"
}

# Waits until the bar looks different from (or, with "same", like) the given shot.
wait_for_bar() { # shot, differs|same
    for _ in $(seq 100); do
        now=$(bar_shot)
        if [ "$2" = same ]; then [ "$now" = "$1" ] && return 0; else
            [ -n "$now" ] && [ "$now" != "$1" ] && return 0; fi
        sleep 0.1
    done
    return 1
}

# Waits until the number of visible windows is above (or, with "at", equal to) $1.
wait_for_windows() { # count, above|at
    if [ "$2" = at ]; then poll_until 100 windows_at "$1"; else poll_until 100 more_windows_than "$1"; fi
}
focus_player() { xdotool windowfocus --sync "$WIN" || fail "cannot focus the window"; }

# Waits for the open dialog to appear and take the keyboard, then closes it with Escape.
dialog_opens_and_closes() { # what failed
    dialog=$(wait_for_window Open) || fail "$1"
    wait_for_focus "$dialog" || fail "the open dialog did not get the keyboard"
    xdotool key Escape
    wait_for_dialog_to_close "Escape did not close the dialog"
}

start_xvfb
start_player "$player"
focus_player
wait_for_focus "$WIN" || fail "the player did not get the keyboard"
plain=$(bar_shot) || fail "no screenshot of the menu bar"
windows=$(visible_windows)

xdotool key F10
wait_for_bar "$plain" differs || fail "F10 did not highlight the menu bar"
echo "F10: 'File' highlighted"
xdotool key Down
wait_for_windows "$windows" above || fail "Down did not open the menu"
xdotool key Return
dialog_opens_and_closes "Return on the first item did not open the dialog"
echo "Down, Return: the open dialog appeared"
wait_for_bar "$plain" same || fail "the menu bar stayed highlighted after the choice"

focus_player
wait_for_focus "$WIN" || fail "the player did not get the keyboard back"
xdotool key F10
wait_for_bar "$plain" differs || fail "F10 did not highlight the menu bar the second time"
xdotool key Down
wait_for_windows "$windows" above || fail "Down did not open the menu the second time"
xdotool key Escape
wait_for_windows "$windows" at || fail "Escape did not close the menu"
wait_for_bar "$plain" same || fail "Escape left the menu bar highlighted"
echo "F10, Down, Escape: menu closed and the bar plain again"
# Nothing is left of the mode: the next key, F10, starts it afresh, and Return chooses.
xdotool key F10
wait_for_bar "$plain" differs || fail "the key after Escape did not reach the window"
xdotool key Down
wait_for_windows "$windows" above || fail "Down did not open the menu after Escape"
xdotool key Return
dialog_opens_and_closes "the dialog did not open after Escape"
echo "after Escape: F10, Down, Return opened the dialog again"

focus_player
wait_for_focus "$WIN" || fail "the player did not get the keyboard back"
xdotool key alt+F4
wait_for_exit $APP 10 || fail "Alt+F4 did not end the program"
[ "$EXIT_STATUS" = 0 ] || fail "exit status $EXIT_STATUS; stderr: $(cat "$WORK/player.err")"
echo "Alt+F4: the program ended with status 0"
