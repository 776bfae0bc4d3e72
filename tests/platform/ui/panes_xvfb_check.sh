#!/usr/bin/env bash
# `ketra view` on a virtual X display: with View > Show X,Y,Z,Iso Views the current pane's
# title bar is highlighted and a click in another pane moves the mark there; a pick in that
# pane shows the selection colour, a resting pointer there puts the element's text in the
# status bar and a double-click opens its Properties; the overview dock frames the main view
# in red and the frame follows the main view's camera. Usage: panes_xvfb_check.sh KETRA
# SOURCE_DIR [SHOT_DIR]; the screenshots stay in SHOT_DIR when given.
set -uo pipefail
source "$(dirname "$0")/xvfb_viewer.sh"
xvfb_prepare "$1" "$2" "${3:-}" convert compare

xvfb_session <<'SESSION'
start_viewer "$KETRA_VIEWER_MODEL"
# The client area below the menu and tool bars, above the status bar.
cx=$X; cy=$((Y + 50)); cw=$WIDTH; ch=$((HEIGHT - 75))
shot() { sleep 1; import -window root -crop "${cw}x${ch}+${cx}+${cy}" +repage "$SHOTS/$1.png"; }
# Lines "x y r g b" of a shot, optionally only the part x >= $2.
pixels() {
  local text="$SHOTS/$1.txt"  # converted once per shot
  [[ -s $text ]] || convert "$SHOTS/$1.png" -depth 8 txt:- |
    sed -n 's/^\([0-9]*\),\([0-9]*\): *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3 \4 \5/p' >"$text"
  awk -v from="${2:-0}" '$1 >= from' "$text"
}
# The quadrant (0 top left .. 3 bottom right) holding most pixels of the title bars'
# highlight (saturated mid blue), -1 for none.
marked() {
  pixels "$1" | awk -v w="$cw" -v h="$ch" '$5 > 150 && $3 < 90 && $4 > 100 && $4 < 170 {
      q[($1 >= w / 2) + 2 * ($2 >= h / 2)]++ }
    END { best = -1; for (i = 0; i < 4; i++) if (q[i] > 200 && q[i] > q[best]) best = i; print best }'
}
yellow() { pixels "$1" | awk -v w="$cw" -v h="$ch" '$1 >= w / 2 && $2 >= h / 2 && $3 > 150 && $4 > 150 && $5 < 70 { n++ } END { print n + 0 }'; }
red() { pixels "$1" "$2" | awk '$3 > 180 && $4 < 60 && $5 < 60 { n++ } END { print n + 0 }'; }
menu() {
  xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key "alt+$1"; sleep 0.7
  for ((i = 1; i < $2; i++)); do xdotool key Down; done
  xdotool key Return; sleep 0.5
}
keys() { xdotool windowfocus --sync "$window" 2>/dev/null; xdotool key "$1"; sleep 1; }

keys ctrl+4  # View > Show X,Y,Z,Iso Views
shot 1-four
m=$(marked 1-four)
[[ $m -eq 0 ]]
check "four views: the top-left pane is marked current (quadrant $m)" $?
# A pipe pixel (light blue) nearest the middle of the bottom-right pane.
read -r px py < <(pixels 1-four | awk -v w="$cw" -v h="$ch" '
    $1 > w / 2 && $2 > h / 2 + 20 && $5 > 150 && $5 > $3 + 40 && $4 > $3 {
      d = ($1 - w * 3 / 4) ^ 2 + ($2 - h * 3 / 4) ^ 2
      if (best == "" || d < best) { best = d; bx = $1; by = $2 } } END { print bx + 0, by + 0 }')
xdotool mousemove "$((cx + cw - 20))" "$((cy + ch - 20))" click 1
shot 2-activated
m=$(marked 2-activated)
[[ $m -eq 3 ]]
check "a click in the bottom-right pane marks it current (quadrant $m)" $?
menu t 6  # Select By Single Click, in the current pane
xdotool mousemove "$((cx + px))" "$((cy + py))" click 1
shot 3-picked
n=$(yellow 3-picked)
[[ $n -gt 30 ]]
check "a pick at $px,$py in the bottom-right pane shows the selection colour ($n pixels)" $?
# Resting on the pipe there tells about it in the status bar (not the tool's hint it shows over
# that pane's empty corner); a double-click there opens Properties.
status() {
  sleep 1; import -window root -crop "$((WIDTH / 2))x22+$X+$((Y + HEIGHT - 22))" +repage "$SHOTS/$1.png"
}
xdotool mousemove "$((cx + cw - 20))" "$((cy + ch - 20))"; sleep 0.3; xdotool mousemove "$((cx + cw - 21))" "$((cy + ch - 20))"
status 3-hint
xdotool mousemove "$((cx + px + 1))" "$((cy + py))"; sleep 0.3; xdotool mousemove "$((cx + px))" "$((cy + py))"
status 3-hover
n=$(compare -metric AE "$SHOTS/3-hint.png" "$SHOTS/3-hover.png" null: 2>&1 | cut -d' ' -f1)
[[ $n -gt 100 ]]
check "resting on that pipe puts its text in the status bar ($n pixels changed from the hint)" $?
open_properties "it in that pane"
[[ -n "$props" ]] && xdotool windowclose "$props" 2>/dev/null
keys ctrl+4  # back to one view

keys ctrl+shift+v  # View > Overview
shot 4-overview
dock=$((cw - 300))
r4=$(red 4-overview $dock)
[[ $r4 -gt 100 ]]
check "the overview frames the main view in red ($r4 pixels)" $?
menu v 1   # View > Front: the main camera turns
sleep 1
shot 5-front
r5=$(red 5-front $dock)
for s in 4-overview 5-front; do
  convert "$SHOTS/$s.png" -crop "300x${ch}+${dock}+0" +repage "$SHOTS/$s-dock.png"
done
moved=$(compare -metric AE -fuzz 8% "$SHOTS/4-overview-dock.png" "$SHOTS/5-front-dock.png" null: 2>&1 | cut -d' ' -f1)
[[ $r5 -gt 100 && $moved -gt 100 ]]
check "the frame follows the main view ($moved pixels of the overview changed, $r5 red)" $?

stop_viewer
SESSION
