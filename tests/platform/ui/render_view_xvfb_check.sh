#!/usr/bin/env bash
# `ketra view` on a virtual X display: Render > Edges is ticked and drawn from the start (the
# start picture is the one Edges on gives, not the one Edges off gives); Render > Markers
# puts markers on the pipe runs' nodes; View > Stretched fills the wide window; the walk
# turns the view to perspective (W brings the plant nearer) and Orbit gives the orthographic
# picture back; a drag on the cutting plane moves the cut. Usage: render_view_xvfb_check.sh
# KETRA SOURCE_DIR [SHOT_DIR]; the screenshots stay in SHOT_DIR when given.
set -uo pipefail
source "$(dirname "$0")/xvfb_viewer.sh"
xvfb_prepare "$1" "$2" "${3:-}" convert compare
# The keys walk (the walk's keyboard setting, as the navigation panel sets it).
cat >"$KETRA_REGISTRY" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Velmora\Halden\5.30\Options]
"Use Keyboard Walk"=dword:00000001
REG

xvfb_session <<'SESSION'
start_viewer "$KETRA_VIEWER_MODEL"
vx=$((X + 10)); vy=$((Y + 90)); vw=$((WIDTH - 20)); vh=$((HEIGHT - 130))
shot() { sleep 1; import -window root -crop "${vw}x${vh}+${vx}+${vy}" +repage "$SHOTS/$1.png"; }
pixels() {
  local text="$SHOTS/$1.txt"  # converted once per shot
  [[ -s $text ]] || convert "$SHOTS/$1.png" -depth 8 txt:- |
    sed -n 's/^\([0-9]*\),\([0-9]*\): *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3 \4 \5/p' >"$text"
  cat "$text"
}
# Pixels that differ between two shots.
differ() { compare -metric AE -fuzz 8% "$SHOTS/$1.png" "$SHOTS/$2.png" null: 2>&1 | cut -d' ' -f1; }
# Pixels not of the white background, and the width of the box that holds them.
drawn() { pixels "$1" | awk '!($3 > 240 && $4 > 240 && $5 > 240) { n++ } END { print n + 0 }'; }
width() {
  pixels "$1" | awk '!($3 > 240 && $4 > 240 && $5 > 240) {
      if (min == "" || $1 < min) min = $1; if ($1 > max) max = $1 } END { print max - min }'
}
# Pixels of the light-blue pipes (the walk's panel beside the view has none).
pipes() { pixels "$1" | awk '$5 > 150 && $5 > $3 + 30 && $4 > $3 { n++ } END { print n + 0 }'; }
# Pixels of the grey steel: the rack stays whole in the view while a walk nears it.
steel() { pixels "$1" | awk '$3 > 110 && $3 < 215 && ($3 - $4)^2 < 100 && ($3 - $5)^2 < 100 { n++ } END { print n + 0 }'; }
red() { pixels "$1" | awk '$3 > 180 && $4 < 70 && $5 < 70 { n++ } END { print n + 0 }'; }
menu() {
  xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key "alt+$1"; sleep 0.7
  for ((i = 1; i < $2; i++)); do xdotool key Down; done
  xdotool key Return; sleep 0.5
}

shot 1-start
menu r 5  # Render > Edges (off)
shot 2-edges-off
menu r 5  # Render > Edges (on again)
shot 3-edges-on
off=$(differ 1-start 2-edges-off); on=$(differ 1-start 3-edges-on)
[[ $off -gt 200 && $on -lt $((off / 10)) ]]
check "the start picture has the edges Edges draws ($on pixels differ; $off without edges)" $?

before=$(red 3-edges-on)
menu r 8  # Render > Markers
shot 4-markers
after=$(red 4-markers)
[[ $after -gt $((before + 100)) ]]
check "Markers marks the pipe runs' nodes ($after red pixels, $before before)" $?
menu r 8

w0=$(width 3-edges-on)
menu v 13  # View > Stretched
shot 5-stretched
w1=$(width 5-stretched)
[[ $w1 -gt $((w0 * 11 / 10)) ]]
check "Stretched widens the plant to the wide window ($w1 pixels across, $w0 before)" $?
menu v 11  # View > Orthographic
shot 6-orthographic

menu t 5  # Tools > Walk through model
xdotool mousemove "$((vx + vw / 2))" "$((vy + vh / 2))"
shot 7-walk
xdotool keydown w; sleep 6; xdotool keyup w
shot 8-walked
n7=$(steel 7-walk); n8=$(steel 8-walked)
[[ $n8 -gt $((n7 * 110 / 100)) ]]
check "W walks towards the plant in perspective ($n8 steel pixels, $n7 before)" $?
menu t 1  # Tools > Orbit Camera
shot 9-orbit
# Back in orthographic projection the walk's nearness no longer enlarges the plant (in
# orthographic projection W would have changed nothing).
n9=$(steel 9-orbit)
[[ $n9 -lt $((n8 * 95 / 100)) ]]
check "the walk's end gives the orthographic projection back ($n9 steel pixels, $n8 walking)" $?

# Tools > Insert Cutting Plane cuts the plant; a drag on the see-through plane moves it along
# its normal on every step (the kept half shrinks, the yellow quad moves with the pointer), a
# second drag grabs it where it now lies, and a drag beside it moves nothing.
# "MODEL-PIXELS X Y": pixels neither light grey (background, the walk's panel) nor the quad's
# pale yellow, and the middle of the quad.
plane() { pixels "$1" | awk '$3 > 200 && $4 > 200 && $5 < $3 - 30 { n++; sx += $1; sy += $2 }
  !($3 > 225 && $4 > 225 && $5 > 225) && !($3 > 200 && $4 > 200 && $5 < $3 - 30) { m++ }
  END { print m + 0, (n ? int(sx / n) : 0), (n ? int(sy / n) : 0) }'; }
drag() {  # drag X Y DX DY [SHOT]: from X Y (view pixels) by DX DY in four steps, SHOT midway
  xdotool mousemove $((vx + $1)) $((vy + $2)) mousedown 1
  for i in 1 2 3 4; do
    xdotool mousemove $((vx + $1 + $3 * i / 4)) $((vy + $2 + $4 * i / 4)); sleep 0.3
    [[ $i == 2 && -n ${5:-} ]] && shot "$5"; done
  xdotool mouseup 1
}
xdotool key ctrl+shift+i
menu t 13  # Tools > Insert Cutting Plane (the disabled Translate Selection is skipped)
shot 10-cut; read -r m0 x0 y0 < <(plane 10-cut)
drag "$x0" $((y0 + 80)) -120 60 11-midway; shot 12-moved
read -r m1 _ < <(plane 11-midway); read -r m2 x2 y2 < <(plane 12-moved)
[[ $x0 -gt 0 && $m1 -lt $((m0 - 500)) && $m2 -lt $((m1 - 500)) && $x2 -lt $((x0 - 40)) ]]
check "dragging the cutting plane moves the cut ($m0, $m1 midway, $m2 model pixels; quad x $x0 to $x2)" $?
drag $((x2 - 110)) $((y2 + 80)) 240 -120; shot 13-back  # outside where the quad was
read -r m3 x3 _ < <(plane 13-back)
drag 40 40 100 50; shot 14-beside
[[ $m3 -gt $((m0 + 2000)) && $x3 -gt $((x0 + 40)) && $(differ 13-back 14-beside) -lt 100 ]]
check "the moved plane is grabbed again ($m3 model pixels, quad x $x3); a drag beside it moves nothing" $?

stop_viewer
SESSION
