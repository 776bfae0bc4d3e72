#!/usr/bin/env bash
# `ketra view` on a virtual X display, as a user reads it: the pointer resting on a pipe puts
# that element's text in the status bar (the status bar's message area changes from the tool's
# hint to something else), a double-click opens the Properties window, and the tool bar is one
# row of icons at the window's 1280 pixels (no overflow arrow at its right end). Usage:
# info_xvfb_check.sh KETRA SOURCE_DIR [SHOT_DIR]; the screenshots stay in SHOT_DIR when given.
set -uo pipefail
source "$(dirname "$0")/xvfb_viewer.sh"
xvfb_prepare "$1" "$2" "${3:-}" convert compare

xvfb_session <<'SESSION'
start_viewer "$KETRA_VIEWER_MODEL"
view_area
shot() { sleep 1; import -window root "$SHOTS/$1.png"; }
# The status bar's message area: the left half of the window's last 22 rows.
status() { convert "$SHOTS/$1.png" -crop "$((WIDTH / 2))x22+$X+$((Y + HEIGHT - 22))" +repage "$SHOTS/$1-status.png"; }
differ() { compare -metric AE "$SHOTS/$1-status.png" "$SHOTS/$2-status.png" null: 2>&1 | cut -d' ' -f1; }

[[ $WIDTH -ge 1270 ]]
check "the window opens 1280 pixels wide on a 1280-pixel screen ($WIDTH)" $?

# Rest on the empty corner of the view: the status bar shows the tool's hint.
xdotool mousemove "$((vx + 5))" "$((vy + 5))"; sleep 0.3; xdotool mousemove "$((vx + 6))" "$((vy + 5))"
shot 1-background; status 1-background
read -r px py < <(pipe_pixel 1-background)
xdotool mousemove "$((vx + px))" "$((vy + py))"; sleep 0.3; xdotool mousemove "$((vx + px + 1))" "$((vy + py))"
shot 2-hover; status 2-hover
changed=$(differ 1-background 2-hover)
[[ ${changed:-0} -gt 200 ]]
check "resting on the pipe at $px,$py changes the status text ($changed pixels)" $?

# The tool bar's right end holds no overflow arrow: it is the window's background colour.
convert "$SHOTS/2-hover.png" -crop "40x24+$((X + WIDTH - 40))+$((Y + 26))" +repage "$SHOTS/toolbar-end.png"
dark=$(convert "$SHOTS/toolbar-end.png" -depth 8 txt:- | awk -F'[(,)]' 'NR > 1 && $3 + $4 + $5 < 300 { n++ } END { print n + 0 }')
[[ $dark -lt 5 ]]
check "the tool bar ends in one row without an overflow arrow ($dark dark pixels at its end)" $?

open_properties "the pipe"
shot 3-properties
stop_viewer
SESSION
