#!/usr/bin/env bash
# `ketra view` on a virtual X display: a pick with Tools > Select By Single Click, then a
# window with Tools > Select By Window, each must show the selection colour (yellow) in the
# view; Show > Hide Selected must take the selected elements away and Show All bring them
# back; Render > Lights (off) must leave the faces unshaded. Usage:
# selection_xvfb_check.sh KETRA SOURCE_DIR [SHOT_DIR]; the screenshots stay in SHOT_DIR when given.
set -uo pipefail
source "$(dirname "$0")/xvfb_viewer.sh"
xvfb_prepare "$1" "$2" "${3:-}" convert

xvfb_session <<'SESSION'
start_viewer "$KETRA_VIEWER_MODEL"
# The view: the client area less the menu bar, tool bar and status bar.
view_area
shot() { sleep 1; import -window root "$SHOTS/$1.png"; }
# Pixels of the view in the selection colour (bright yellow, shaded or not).
yellow() { pixels "$1" | awk '$3 > 150 && $4 > 150 && $5 < 70 { n++ } END { print n + 0 }'; }
# Item n (counted from 1, separators skipped) of the menu with mnemonic $1, by the keyboard.
menu() {
  xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key "alt+$1"; sleep 1
  for ((i = 1; i < $2; i++)); do xdotool key Down; done
  xdotool key Return; sleep 0.5
}
tool() { menu t "$1"; }
# Pixels of the view that are not the white background, and the colours the view holds.
drawn() { pixels "$1" | awk '!($3 > 240 && $4 > 240 && $5 > 240) { n++ } END { print n + 0 }'; }
colours() { pixels "$1" | awk '{ print $3, $4, $5 }' | sort -u | wc -l; }

shot 1-opened
n=$(yellow 1-opened)
[[ $n -lt 20 ]]
check "nothing is drawn in the selection colour at first ($n pixels)" $?

# A pixel of a pipe (light blue: blue well above red) near the middle of the view to click.
read -r px py < <(pipe_pixel 1-opened)
tool 6  # Select By Single Click
xdotool mousemove "$((vx + px))" "$((vy + py))" click 1
shot 2-clicked
clicked=$(yellow 2-clicked)
[[ $clicked -gt 30 ]]
check "a click on a pipe at $px,$py draws it in the selection colour ($clicked pixels)" $?

tool 7  # Select By Window
xdotool mousemove "$((vx + 20))" "$((vy + 20))" mousedown 1
for step in 1 2 3 4 5 6 7 8 9 10; do
  xdotool mousemove "$((vx + 20 + step * (vw - 40) / 10))" "$((vy + 20 + step * (vh - 40) / 10))"
done
xdotool mouseup 1
shot 3-window
windowed=$(yellow 3-window)
[[ $windowed -gt $((clicked * 3)) ]]
check "a window round the plant selects its elements ($windowed pixels in the selection colour)" $?

menu s 11  # Show > Hide Selected
shot 4-hidden
hidden=$(drawn 4-hidden); before=$(drawn 1-opened)
[[ $(yellow 4-hidden) -lt 20 && $hidden -lt $((before / 4)) ]]
check "Hide Selected takes the selected elements away ($hidden of $before pixels left)" $?
menu s 13  # Show > Show All
shot 5-shown
shown=$(drawn 5-shown)
[[ $shown -gt $((before * 3 / 4)) ]]
check "Show All brings them back ($shown pixels drawn, $before at first)" $?

menu r 7  # Render > Lights (off)
shot 6-unlit
lit=$(colours 5-shown); unlit=$(colours 6-unlit)
[[ $unlit -lt $((lit / 2)) ]]
check "Lights off draws the faces unshaded ($unlit colours, $lit lit)" $?

stop_viewer
SESSION
