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

# Let the first paint land before the screenshot.
sleep 0.5
import -window root "$artefacts/screen.png" || fail "no screenshot"
import -window "$WIN" "$artefacts/window-300x128.png" || fail "no window screenshot"
echo "screenshot: $artefacts/screen.png (the window alone: $artefacts/window-300x128.png)"
convert "$artefacts/window-300x128.png" "$WORK/first.ppm"
read -r height top bar grip text <<EOT
$("$checker" statusbar "$WORK/first.ppm")
EOT
echo "status bar: top edge at y=$top of $height, $bar pixels high, grip=$grip, text pixels=$text"
[ "$bar" -ge 10 ] && [ "$bar" -le 40 ] || fail "no status bar along the bottom edge"
[ "$grip" = 1 ] || fail "no size grip in the bottom-right corner"
[ "$text" = 0 ] || fail "the status bar is not empty"

# The menu bar: a click on "File" opens a pop-up window.
before=$(xdotool search --onlyvisible --name '' 2>/dev/null | wc -l)
xdotool mousemove --window "$WIN" 20 8 click 1
sleep 0.5
after=$(xdotool search --onlyvisible --name '' 2>/dev/null | wc -l)
[ "$after" -gt "$before" ] || fail "clicking the menu bar opened no menu"
import -window root "$artefacts/menu-open.png"
xdotool key Escape
sleep 0.3

xdotool windowsize "$WIN" 400 300
for _ in $(seq 50); do
    [ "$(window_size "$WIN")" = "400x300" ] && break
    sleep 0.1
done
[ "$(window_size "$WIN")" = "400x300" ] || fail "the window did not take 400x300"
sleep 0.5
import -window "$WIN" "$artefacts/window-400x300.png" || fail "no screenshot after the resize"
convert "$artefacts/window-400x300.png" "$WORK/second.ppm"
read -r height2 top2 bar2 grip2 text2 <<EOT
$("$checker" statusbar "$WORK/second.ppm")
EOT
echo "after resizing to 400x300: status bar top edge at y=$top2 of $height2, grip=$grip2"
[ "$height2" = 300 ] || fail "screenshot is $height2 high"
[ "$bar2" = "$bar" ] || fail "status bar top at $top2, expected $((300 - bar))"
[ "$grip2" = 1 ] || fail "no size grip after the resize"
[ "$text2" = 0 ] || fail "the status bar is not empty after the resize"

exit_through_menu
echo "File, Exit: the program ended with status 0"
