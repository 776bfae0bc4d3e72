#!/usr/bin/env bash
# The viewer's File menu driven like a user on a virtual X display, with the menus and the
# file dialogs typed into through xdotool: Save as HTML (files beside the model, said in the
# status bar), Save As with the name it suggests (the page and its scene files) and as PNG,
# TIFF, BMP and JPEG, Save image (the TIFF of the dialog's size), Copy (the clipboard's
# targets and picture, read with xclip), and Print, Print Direct, Print Preview and the tool
# bar's Print, which print to a PDF file where there is no printer. Checks each file's kind by
# its first bytes. Usage: viewer_output_xvfb_check.sh KETRA SOURCE_DIR [SHOT_DIR]; SHOT_DIR keeps
# the screenshots and the picture, TIFF, clipboard picture and PDF written.
set -uo pipefail
source "$(dirname "$0")/xvfb_viewer.sh"
xvfb_prepare "$1" "$2" "${3:-}" xclip compare identify
mkdir -p "$work/model" "$work/out" "$work/start"
cp "$src/samples/plant.json" "$work/model/plant.json"

xvfb_session <<'SESSION'
out="$WORK/out"
# Started in a folder of its own: Save As suggests a name without a folder, saved there.
cd "$WORK/start"
start_viewer "$WORK/model/plant.json"
xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT / 2))"
shot() { import -window root "$SHOTS/$1.png"; }
# A message box left by a flow that failed (titled after the program) is closed, so the next
# flow is tried on its own.
dismiss_boxes() {
  for box in $(xdotool search --onlyvisible --name '.*'); do
    [[ "$(xdotool getwindowname "$box" 2>/dev/null)" == ketra ]] || continue
    shot "box-$box"
    xdotool windowfocus --sync "$box" key Return
    sleep 0.5
  done
}
# File menu item by its mnemonic.
file_menu() {
  dismiss_boxes
  xdotool windowfocus --sync "$window"; sleep 0.3; xdotool key alt+f; sleep 0.5; xdotool key "$1"
}
# The dialog titled $1: types the name $2 (empty: keeps the one suggested) and confirms.
answer_dialog() {
  local dialog
  dialog=$(timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" | head -1)
  if [[ -z "$dialog" ]]; then
    shot "no-dialog-$(date +%s%N)"
    echo "FAILED: no \"$1\" dialog"
    fail=1
    return 1
  fi
  xdotool windowfocus --sync "$dialog"
  sleep 0.5
  if [[ -n "$2" ]]; then
    xdotool key ctrl+a
    xdotool type --delay 5 "$2"
    sleep 0.3
  fi
  xdotool key Return
  # Gone once accepted (an error box would come up in its place).
  for _ in $(seq 50); do xdotool search --onlyvisible --name "^$1\$" >/dev/null || return 0; sleep 0.2; done
  echo "FAILED: the \"$1\" dialog stayed open"
  fail=1
  return 1
}
# Waits up to 10 s for a file to be complete, then compares its first bytes with $2 (hex).
has_magic() {
  for _ in $(seq 50); do [[ -s "$1" ]] && break; sleep 0.2; done
  [[ "$(head -c $((${#2} / 2)) "$1" 2>/dev/null | od -An -tx1 | tr -d ' \n')" == "$2" ]]
}
status_bar() { convert "$SHOTS/$1.png" -crop "${WIDTH}x24+${X}+$((Y + HEIGHT - 24))" "$WORK/$1-status.png"; }

# Save as HTML: the page and scene files beside the model, and a word in the status bar.
shot 0-opened
file_menu h
sleep 2
shot 1-html
for ext in html hmf hsf; do
  for _ in $(seq 50); do [[ -s "$WORK/model/plant.$ext" ]] && break; sleep 0.2; done
  [[ -s "$WORK/model/plant.$ext" ]]
  check "Save as HTML wrote plant.$ext beside the model" $?
done
status_bar 0-opened
status_bar 1-html
n=$(compare -metric AE "$WORK/0-opened-status.png" "$WORK/1-html-status.png" null: 2>&1 | cut -d' ' -f1)
[[ $n -gt 100 ]]
check "the status bar says what Save as HTML wrote ($n pixels changed)" $?

# Save As with the suggested name: the model's name as an HTML page, with its scene files.
file_menu a
answer_dialog "Save As" ""
for ext in html hmf hsf; do
  # Written after the dialog closes: waits up to 10 s under load.
  for _ in $(seq 50); do [[ -s "$WORK/start/plant.$ext" ]] && break; sleep 0.2; done
  [[ -s "$WORK/start/plant.$ext" ]]
  check "Save As suggested plant.html and wrote plant.$ext" $?
done
has_magic "$WORK/start/plant.hsf" 4b45545241485346
check "plant.hsf is a scene stream" $?
grep -q "<html" "$WORK/start/plant.html"
check "plant.html is a page" $?

# Pictures by the extension typed.
for kind in "png 89504e470d0a1a0a" "tif 49492a00" "bmp 424d" "jpg ffd8ff"; do
  set -- $kind
  file_menu a
  answer_dialog "Save As" "$out/picture.$1"
  has_magic "$out/picture.$1" "$2"
  check "Save As wrote a .$1 picture" $?
done
colours=$(convert "$out/picture.png" -unique-colors txt:- 2>/dev/null | wc -l)
[[ $colours -gt 100 ]]
check "the picture shows the shaded model ($colours colours)" $?

# Save image: the TIFF of the dialog's size fields (1200 x 1024 unless changed).
file_menu i
answer_dialog "Save Image as .TIF" "$out/sized.tif"
has_magic "$out/sized.tif" 49492a00
check "Save image wrote a TIFF" $?
size=$(identify -format "%wx%h" "$out/sized.tif" 2>/dev/null)
[[ "$size" == 1200x1024 ]]
check "the TIFF has the size of the dialog's fields ($size)" $?

# Copy: the picture on the clipboard.
file_menu c
sleep 1
targets=$(timeout 10 xclip -selection clipboard -t TARGETS -o 2>&1 | tr '\n' ' ')
[[ " $targets " == *" image/png "* ]]
check "Copy put a picture on the clipboard (targets: $targets)" $?
timeout 10 xclip -selection clipboard -t image/png -o >"$out/clip.png" 2>/dev/null
has_magic "$out/clip.png" 89504e470d0a1a0a
check "the clipboard's picture is a PNG" $?

# Printing: no printer here, so each asks for a PDF file.
for item in "p print" "d direct" "v preview"; do
  set -- $item
  file_menu "$1"
  answer_dialog "Print to PDF" "$out/$2.pdf"
  has_magic "$out/$2.pdf" 255044462d
  check "Print ($2) wrote a PDF" $?
done
# The tool bar's Print: its second button, after Copy (24-pixel icons in buttons about 34 wide).
xdotool windowfocus --sync "$window"
xdotool mousemove "$((X + 62))" "$((Y + 37))" click 1
answer_dialog "Print to PDF" "$out/toolbar.pdf"
has_magic "$out/toolbar.pdf" 255044462d
check "the tool bar's Print wrote a PDF" $?

cp "$out/picture.png" "$out/sized.tif" "$out/clip.png" "$out/print.pdf" "$SHOTS/" 2>/dev/null
dismiss_boxes
stop_viewer
SESSION
