# Shared by the scripts that drive `ketra view` on a virtual X display. Sourced twice: by the
# script itself, which calls xvfb_prepare, and inside its X session ("$XVFB_LIB"), which
# starts the viewer with start_viewer, records results with check and ends with stop_viewer.

# xvfb_prepare KETRA SOURCE_DIR SHOT_DIR TOOL...: fails when a tool is missing; sets $ketra and
# $src (absolute), makes $work (removed on exit) and $shots (SHOT_DIR, else inside $work) and
# exports what the session reads, the sample plant as KETRA_VIEWER_MODEL among it.
xvfb_prepare() {
  ketra=$(realpath "$1")
  src=$(realpath "$2")
  local keep=$3
  shift 3
  for tool in xvfb-run xdotool import "$@"; do
    command -v "$tool" >/dev/null || { echo "FAILED: $tool is missing (scripts/bootstrap installs it)"; exit 1; }
  done
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  shots=${keep:-$work/shots}
  mkdir -p "$shots"
  export KETRA_REGISTRY="$work/registry.reg" KETRA_VIEWER_KETRA="$ketra" SHOTS="$shots" WORK="$work"
  export XVFB_LIB="${BASH_SOURCE[0]}" KETRA_VIEWER_MODEL="$src/samples/plant.json"
}

# xvfb_session: runs the script on standard input on a virtual 1280 x 1024 display, with this
# file's functions; its exit status is the script's.
xvfb_session() {
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c 'set -uo pipefail; source "$XVFB_LIB"; source /dev/stdin'
}

fail=0
check() { if [[ $2 -eq 0 ]]; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

# start_viewer ARG...: `ketra view ARG...` in the background ($viewer), its window found
# ($window) and measured (X Y WIDTH HEIGHT); the session ends failed without a window.
start_viewer() {
  "$KETRA_VIEWER_KETRA" view "$@" >"$WORK/viewer.out" 2>"$WORK/viewer.err" &
  viewer=$!
  window=$(timeout 60 xdotool search --sync --onlyvisible --name " - Ketra" | head -1)
  if [[ -z "$window" ]]; then
    echo "FAILED: no viewer window ($(cat "$WORK/viewer.err"))"
    kill "$viewer" 2>/dev/null
    exit 1
  fi
  sleep 2
  eval "$(xdotool getwindowgeometry --shell "$window")"
}

# stop_viewer: checks that the viewer lived through the input, closes it and ends the session.
stop_viewer() {
  kill -0 "$viewer" 2>/dev/null
  local running=$?
  check "the viewer is still running after the input ($(cat "$WORK/viewer.err"))" $running
  kill "$viewer" 2>/dev/null
  wait "$viewer" 2>/dev/null
  exit $fail
}

# view_area: the view's rectangle ($vx $vy $vw $vh) in the window measured by start_viewer:
# the client area less the menu bar, tool bar and status bar.
# open_properties WHAT: a left double-click where the pointer rests, checked to open the
# Properties window ($props, empty when none opened).
open_properties() {
  xdotool click --repeat 2 --delay 80 1
  props=$(timeout 10 xdotool search --sync --onlyvisible --name "^Properties - " | head -1)
  [[ -n "$props" ]]
  check "a double-click on $1 opens Properties" $?
}

view_area() { vx=$((X + 10)); vy=$((Y + 90)); vw=$((WIDTH - 20)); vh=$((HEIGHT - 130)); }

# pixels SHOT: the view's pixels in $SHOTS/SHOT.png as lines "x y r g b" (after view_area).
pixels() {
  convert "$SHOTS/$1.png" -crop "${vw}x${vh}+${vx}+${vy}" +repage -depth 8 txt:- |
    sed -n 's/^\([0-9]*\),\([0-9]*\): *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3 \4 \5/p'
}

# pipe_pixel SHOT: "x y" in the view of the pipe pixel (light blue: blue well above red)
# nearest the view's middle; "0 0" when there is none.
pipe_pixel() {
  pixels "$1" | awk -v w="$vw" -v h="$vh" '
    $5 > 150 && $5 > $3 + 40 && $4 > $3 {
      d = ($1 - w / 2) ^ 2 + ($2 - h / 2) ^ 2
      if (best == "" || d < best) { best = d; bx = $1; by = $2 }
    } END { print bx + 0, by + 0 }'
}
