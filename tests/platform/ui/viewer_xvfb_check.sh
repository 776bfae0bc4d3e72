#!/usr/bin/env bash
# `ketra view` driven like a user on a virtual X display: opens the sample plant, then a
# left drag (the current tool, orbit), the wheel (zoom), a middle drag (pan), a right click (the
# context menu) and an arrow key (orbit), then Ctrl+4 (four views), Ctrl+B (the segment
# browser) and keys in its tree that select an item, with a screenshot of the whole screen
# after each. Checks that each step changed the picture as it should. Usage:
# viewer_xvfb_check.sh KETRA SOURCE_DIR [SHOT_DIR]; the screenshots stay in SHOT_DIR when given.
set -uo pipefail
source "$(dirname "$0")/xvfb_viewer.sh"
xvfb_prepare "$1" "$2" "${3:-}" compare

xvfb_session <<'SESSION'
start_viewer "$KETRA_VIEWER_MODEL"
cx=$((X + WIDTH / 2))
cy=$((Y + HEIGHT / 2))
shot() { sleep 1; import -window root "$SHOTS/$1.png"; }
# Pixels that differ between two screenshots (a small fuzz hides anti-aliasing noise).
differ() { compare -metric AE -fuzz 5% "$SHOTS/$1.png" "$SHOTS/$2.png" null: 2>&1 | cut -d' ' -f1; }

shot 1-opened
xdotool mousemove "$cx" "$cy" mousedown 1
for step in 1 2 3 4 5 6 7 8 9 10; do xdotool mousemove "$((cx + step * 15))" "$((cy + step * 5))"; done
xdotool mouseup 1
shot 2-left-drag
xdotool mousemove "$cx" "$cy" click --repeat 3 --delay 100 4
shot 3-wheel
xdotool mousemove "$cx" "$cy" mousedown 2
for step in 1 2 3 4 5 6 7 8 9 10; do xdotool mousemove "$((cx - step * 10))" "$((cy - step * 8))"; done
xdotool mouseup 2
shot 4-middle-drag
xdotool mousemove "$cx" "$cy" click 3
shot 5-right-click
xdotool key Escape
xdotool mousemove "$cx" "$cy" key Right
shot 6-right-arrow

kill -0 "$viewer" 2>/dev/null
running=$?
check "the viewer is still running after the mouse and keys ($(cat "$WORK/viewer.err"))" $running
grep -q '^viewer: drawing' "$WORK/viewer.err"
check "the viewer says how it draws" $?
colours=$(convert "$SHOTS/1-opened.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" -unique-colors txt:- | wc -l)
[[ $colours -gt 100 ]]
check "the window shows the shaded model ($colours colours)" $?
n=$(differ 1-opened 2-left-drag)
[[ $n -gt 1000 ]]
check "a left drag moves the camera ($n pixels changed)" $?
n=$(differ 2-left-drag 3-wheel)
[[ $n -gt 1000 ]]
check "the wheel zooms ($n pixels changed)" $?
n=$(differ 3-wheel 4-middle-drag)
[[ $n -gt 1000 ]]
check "a middle drag pans ($n pixels changed)" $?
n=$(differ 4-middle-drag 5-right-click)
[[ $n -gt 2000 ]]
check "a right click opens the context menu ($n pixels changed)" $?
n=$(differ 5-right-click 6-right-arrow)
[[ $n -gt 1000 ]]
check "the right arrow orbits (and Escape closed the menu; $n pixels changed)" $?

# Four views, the segment browser and a selection made in its tree.
xdotool key ctrl+4
shot 7-four-views
n=$(differ 6-right-arrow 7-four-views)
[[ $n -gt 20000 ]]
check "Ctrl+4 shows four views ($n pixels changed)" $?
# The four panes: each quarter of the client area draws the model (many colours).
for pane in "0 0" "1 0" "0 1" "1 1"; do
  set -- $pane
  px=$((X + $1 * WIDTH / 2 + WIDTH / 8)); py=$((Y + 100 + $2 * (HEIGHT - 150) / 2))
  c=$(convert "$SHOTS/7-four-views.png" -crop "$((WIDTH / 4))x$(((HEIGHT - 150) / 4))+${px}+${py}" -unique-colors txt:- | wc -l)
  [[ $c -gt 20 ]]
  check "pane $1,$2 shows the model ($c colours)" $?
done
xdotool key ctrl+b
shot 8-browser
n=$(differ 7-four-views 8-browser)
[[ $n -gt 5000 ]]
check "Ctrl+B opens the segment browser ($n pixels changed)" $?
# The tree has the keys (the model is current): the library's include, opened, its first
# kind (pipes), opened, and its first element.
for key in Down Right Down Right Down; do xdotool key $key; sleep 0.5; done
shot 9-selected
# The panes right of the dock: only the views' own pixels count here.
crop="$((WIDTH * 7 / 10 - 10))x$((HEIGHT - 120))+$((X + WIDTH * 3 / 10))+$((Y + 70))"
convert "$SHOTS/8-browser.png" -crop "$crop" "$WORK/a.png"
convert "$SHOTS/9-selected.png" -crop "$crop" "$WORK/b.png"
n=$(compare -metric AE -fuzz 5% "$WORK/a.png" "$WORK/b.png" null: 2>&1 | cut -d' ' -f1)
[[ $n -gt 50 ]]
check "an item chosen in the tree is highlighted in the views ($n pixels of the panes changed)" $?
stop_viewer
SESSION
