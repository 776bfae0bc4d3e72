# Shared by the scripts that drive `ketra view` on a virtual X display. Sourced twice: by the
# script itself, which calls xvfb_prepare, and inside its X session ("$XVFB_LIB"), which
# starts the viewer with start_viewer, records results with check and ends with stop_viewer.

# xvfb_prepare KETRA SHOT_DIR TOOL...: fails when a tool is missing; makes $work (removed on
# exit) and $shots (SHOT_DIR, else inside $work) and exports what the session reads.
xvfb_prepare() {
  local ketra=$1 keep=$2
  shift 2
  for tool in xvfb-run xdotool import "$@"; do
    command -v "$tool" >/dev/null || { echo "FAILED: $tool is missing (scripts/bootstrap installs it)"; exit 1; }
  done
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  shots=${keep:-$work/shots}
  mkdir -p "$shots"
  export KETRA_REGISTRY="$work/registry.reg" KETRA_VIEWER_KETRA="$ketra" SHOTS="$shots" WORK="$work"
  export XVFB_LIB="${BASH_SOURCE[0]}"
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
