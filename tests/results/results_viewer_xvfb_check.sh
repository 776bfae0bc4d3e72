#!/usr/bin/env bash
# `ketra view MODEL --results R` on a virtual X display: the stress colours and legend are
# drawn; Results > Load Case > SUS changes the legend and the picture; Animate moves the
# displaced shape from frame to frame and Escape stops it at the full shape again; a results
# file that does not fit the model is refused before a window opens; Analysis > Run refuses a
# model without analysis data in a message box, and on the sample plant shows its cases at once,
# which Results > Save Results As... writes as a results file the command line reads. Usage:
# results_viewer_xvfb_check.sh KETRA SOURCE_DIR [SHOT_DIR]; the screenshots stay in SHOT_DIR.
set -uo pipefail
source "$2/tests/platform/ui/xvfb_viewer.sh"
xvfb_prepare "$1" "$2" "${3:-}" convert compare
data="$src/tests/results/data"
export KETRA_VIEWER_MODEL="$data/line.json" KETRA_VIEWER_RESULTS="$data/line-results.json"
export KETRA_SAMPLE="$src/samples/plant.json"

# A file naming a node the model lacks: refused with its position, exit 2, no window.
sed 's/"node": 80,/"node": 81,/' "$data/line-results.json" >"$work/wrong.json"
QT_QPA_PLATFORM=offscreen "$ketra" view "$data/line.json" --results "$work/wrong.json" >/dev/null 2>"$work/wrong.err"
rc=$?
[[ $rc -eq 2 ]] && grep -q "wrong.json:[0-9]*:[0-9]*: .*81" "$work/wrong.err"
refused=$?
check "a results file naming an unknown node is refused ($rc: $(cat "$work/wrong.err"))" $refused

xvfb_session <<'SESSION'
start_viewer "$KETRA_VIEWER_MODEL" --results "$KETRA_VIEWER_RESULTS"
shot() { sleep "${2:-1}"; import -window root "$SHOTS/$1.png"; }
# Pixels that differ between two shots within a region WxH+X+Y of the screen.
differ() {
  compare -metric AE -crop "$3" "$SHOTS/$1.png" "$SHOTS/$2.png" null: 2>&1 | sed 's/ .*//'
}
view="$((WIDTH * 6 / 10))x$((HEIGHT - 140))+$((X + 5))+$((Y + 70))"
legend="$((WIDTH / 3))x240+$((X + 5))+$((Y + 60))"
# Items of the Results menu by the keyboard: $1 Downs from the first item, then keys $2...
results_menu() {
  xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key alt+u; sleep 1
  for ((i = 1; i < $1; i++)); do xdotool key Down; done
  shift
  xdotool key "$@"; sleep 0.5
}
# The view's pixels in the yellow of the 60-80 % band.
yellow() {
  convert "$SHOTS/$1.png" -crop "$view" +repage -depth 8 txt:- |
    awk -F'[(,)]' '/^[0-9]/ && $3 > 200 && $4 > 200 && $5 < 60 { n++ } END { print n + 0 }'
}

shot 1-opened 2
n=$(yellow 1-opened)
[[ $n -gt 100 ]]
check "the operating case colours a pipe in the 60-80 % yellow ($n pixels)" $?

results_menu 2 Right Down Return  # Load Case > SUS
shot 2-sustained
l=$(differ 1-opened 2-sustained "$legend"); v=$(differ 1-opened 2-sustained "$view")
[[ $l -gt 200 && $v -gt 500 ]]
check "switching to SUS changes the legend ($l pixels) and the view ($v pixels)" $?

results_menu 3 Return  # Animate
shot 3-a 0.3; shot 3-b 0.4; shot 3-c 0.4
ab=$(differ 3-a 3-b "$view"); bc=$(differ 3-b 3-c "$view")
[[ $ab -gt 100 && $bc -gt 100 ]]
check "Animate moves the displaced shape ($ab, $bc pixels change between frames)" $?

# Escape, with the keys in the view (a click there without a drag moves nothing).
xdotool mousemove "$((X + WIDTH / 3))" "$((Y + HEIGHT - 120))" click 1
xdotool key Escape
shot 4-stopped 1; shot 4-still 0.6
still=$(differ 4-stopped 4-still "$view"); home=$(differ 2-sustained 4-stopped "$view")
[[ $still -lt 20 && $home -lt 200 ]]
check "Escape stops it ($still pixels change) at the full displaced shape ($home pixels from before)" $?

# Analysis > Run (Ctrl+Shift+A) on a model without analysis data: a message box, results kept.
xdotool windowfocus --sync "$window"; xdotool key ctrl+shift+a
box=$(timeout 10 xdotool search --sync --onlyvisible --name "^Ketra$" | head -1)
[[ -n "$box" ]]
check "Analysis > Run refuses line.json, which has no material, in a message box" $?
[[ -n "$box" ]] && xdotool windowfocus --sync "$box" key Return
# The sample plant, opened by File > Open, analysed, its results saved and read back.
answer() { # dialog title, file name typed
  local d; d=$(timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" | head -1)
  [[ -n "$d" ]] || { echo "FAILED: no \"$1\" dialog"; fail=1; return 1; }
  xdotool windowfocus --sync "$d"; sleep 0.5; xdotool key ctrl+a; xdotool type --delay 5 "$2"; xdotool key Return
}
xdotool windowfocus --sync "$window"; xdotool key ctrl+o
answer "Open Piping Model" "$KETRA_SAMPLE"
sleep 3; shot 5-plant
xdotool windowfocus --sync "$window"; xdotool key ctrl+shift+a
shot 6-analysed 3
l=$(differ 5-plant 6-analysed "$legend")
[[ $l -gt 2000 ]]
check "Analysis > Run shows the sample's results at once ($l legend pixels change)" $?
results_menu 8 Return  # Save Results As...
answer "Save Results As" "$WORK/saved-results.json"
for _ in $(seq 50); do [[ -s "$WORK/saved-results.json" ]] && break; sleep 0.2; done
info=$("$KETRA_VIEWER_KETRA" info "$KETRA_SAMPLE" --results "$WORK/saved-results.json" 2>&1)
grep -q "EXP (expansion)" <<<"$info" && grep -q "Mode 10 (modal" <<<"$info"
check "Save Results As writes the run's cases, modes included, for ketra info" $?

stop_viewer
SESSION
