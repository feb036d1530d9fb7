#!/bin/sh
# The player's window on a virtual X server: caption, size, menu bar, status bar with its
# size grip, a resize, and "File", "Exit" ending the program with status 0.
#   window_test.sh PLAYER CHECKER ARTEFACT_DIR
player=$1
checker=$2
artefacts=$3
. "$(dirname "$0")/lib.sh"
mkdir -p "$artefacts"

start_xvfb
start_player "$player"
name=$(xprop -id "$WIN" WM_NAME | sed -n 's/^WM_NAME([^)]*) = "\(.*\)"$/\1/p')
[ "$name" = "Marrowtone" ] || fail "caption is '$name'"
size=$(window_size "$WIN")
[ "$size" = "300x128" ] || fail "window is $size, not 300x128"
echo "window $WIN: caption '$name', $size"

# Shoots the window as $artefacts/NAME.png and reads its status bar: "height top bar grip
# text" into STATUS.
shoot() { # name
    import -window "$WIN" "$artefacts/$1.png" 2>/dev/null &&
        convert "$artefacts/$1.png" "$WORK/$1.ppm" &&
        STATUS=$("$checker" statusbar "$WORK/$1.ppm")
}
# The window's paint has landed once a shot HEIGHT high shows the bar with its grip.
painted() { # name, height
    shoot "$1" || return 1
    read -r h _ b g _ <<EOT
$STATUS
EOT
    [ "$h" = "$2" ] && [ "$g" = 1 ] && [ -n "$b" ] && [ "$b" -ge 10 ] && [ "$b" -le 40 ]
}

poll_until 100 painted window-300x128 128 || shoot window-300x128 || fail "no window screenshot"
import -window root "$artefacts/screen.png" || fail "no screenshot"
echo "screenshot: $artefacts/screen.png (the window alone: $artefacts/window-300x128.png)"
read -r height top bar grip text <<EOT
$STATUS
EOT
echo "status bar: top edge at y=$top of $height, $bar pixels high, grip=$grip, text pixels=$text"
[ "$bar" -ge 10 ] && [ "$bar" -le 40 ] || fail "no status bar along the bottom edge"
[ "$grip" = 1 ] || fail "no size grip in the bottom-right corner"
[ "$text" = 0 ] || fail "the status bar is not empty"

# The menu bar: a click on "File" opens a pop-up window.
before=$(visible_windows)
xdotool mousemove --window "$WIN" 20 8 click 1
poll_until 100 more_windows_than "$before" || fail "clicking the menu bar opened no menu"
import -window root "$artefacts/menu-open.png"
xdotool key Escape
poll_until 100 windows_at "$before" || fail "Escape did not close the menu"

xdotool windowsize "$WIN" 400 300
resized() { [ "$(window_size "$WIN")" = "400x300" ]; }
poll_until 50 resized || fail "the window did not take 400x300"
poll_until 100 painted window-400x300 300 || shoot window-400x300 ||
    fail "no screenshot after the resize"
read -r height2 top2 bar2 grip2 text2 <<EOT
$STATUS
EOT
echo "after resizing to 400x300: status bar top edge at y=$top2 of $height2, grip=$grip2"
[ "$height2" = 300 ] || fail "screenshot is $height2 high"
[ "$bar2" = "$bar" ] || fail "status bar top at $top2, expected $((300 - bar))"
[ "$grip2" = 1 ] || fail "no size grip after the resize"
[ "$text2" = 0 ] || fail "the status bar is not empty after the resize"

exit_through_menu
echo "File, Exit: the program ended with status 0"
