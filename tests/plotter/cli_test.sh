#!/usr/bin/env bash
# The ketra command as a user meets it: pictures written, bad input refused with a
# positioned message and the documented exit code.
set -uo pipefail
ketra=$1
src=$2
source "$(dirname "$0")/../cli_support.sh"

"$ketra" render "$src/samples/plant.json" -o "$work/p.png" --size 400x300 >/dev/null 2>&1
check "render png" $?
[[ "$(head -c 8 "$work/p.png" | od -An -tx1 | tr -d ' \n')" == "89504e470d0a1a0a" ]]
check "png signature" $?
for ext in bmp tif jpg; do
  "$ketra" render "$src/samples/plant.json" -o "$work/p.$ext" --size 200x100 --mode wireframe --view top >/dev/null 2>&1
  check "render $ext" $?
  [[ -s "$work/p.$ext" ]]
  check "$ext written" $?
done

# Results on the model: a case drawn with its legend; a bad file or case refused, positioned.
cat >"$work/r.json" <<'JSON'
{"format": "ketra-results/1", "units": {"length": "in", "rotation": "rad", "force": "lbf", "moment": "in.lbf", "stress": "psi"},
 "cases": [{"name": "OPE", "kind": "operating", "displacements": [{"node": 20, "d": [0, 0, -0.5]}],
            "stresses": [{"element": [10, 20], "start": {"stress": 15000, "allowable": 20000}, "end": {"stress": 9000, "allowable": 20000}}],
            "supports": [{"node": 10, "f": [0, 0, 900]}]},
           {"name": "SUS", "kind": "sustained"}]}
JSON
"$ketra" render "$src/samples/plant.json" --results "$work/r.json" --case OPE --show loads -o "$work/r.png" --size 400x300 >/dev/null 2>&1
check "render with results" $?
out=$("$ketra" info "$src/samples/plant.json" --results "$work/r.json" 2>&1)
grep -q "largest ratio     75.0 % at node 10, element 10-20" <<<"$out"
check "info with results ($out)" $?
out=$("$ketra" render "$src/samples/plant.json" --results "$work/r.json" --case HYD -o "$work/r2.png" 2>&1)
check "unknown case exit code" $([[ $? -eq 2 ]]; echo $?)
[[ "$out" == "ketra: $work/r.json has no case \"HYD\"; its cases are OPE, SUS" && ! -e "$work/r2.png" ]]
check "unknown case message ($out)" $?
sed 's/"node": 20/"node": 9999/' "$work/r.json" >"$work/bad.json"
out=$("$ketra" render "$src/samples/plant.json" --results "$work/bad.json" -o "$work/r3.png" 2>&1)
check "bad results exit code" $([[ $? -eq 2 ]]; echo $?)
[[ "$out" == "$work/bad.json:2:76: node 9999 is not in the model" && ! -e "$work/r3.png" ]]
check "bad results message ($out)" $?

# Scene files and pages: written, and scene files shown again; a scene read from .hsf writes
# the same text as one read from .hmf.
for ext in html hsf hmf glb gltf; do
  "$ketra" render "$src/samples/plant.json" -o "$work/s.$ext" >/dev/null 2>&1
  check "render $ext" $?
  [[ -s "$work/s.$ext" ]]
  check "$ext written" $?
done
[[ "$(head -c 8 "$work/s.hsf")" == "KETRAHSF" && "$(head -c 4 "$work/s.glb")" == "glTF" ]]
check "hsf and glb signatures" $?
grep -q '<a href="s.hsf">Reload s.hsf</a>' "$work/s.html" && ! grep -q '<!-- \$\$' "$work/s.html"
check "page placeholders filled" $?
# A page alone still writes the scene file its Reload link names.
mkdir "$work/page"
"$ketra" render "$src/samples/plant.json" -o "$work/page/p.html" >/dev/null 2>&1
[[ "$(head -c 8 "$work/page/p.hsf" 2>/dev/null)" == "KETRAHSF" ]] && grep -q '<a href="p.hsf">' "$work/page/p.html"
check "page writes the scene file it links" $?
"$ketra" render "$work/page/p.hsf" -o "$work/page/again.png" --size 80x60 >/dev/null 2>&1
check "the linked scene file shows" $?
for ext in hsf hmf; do
  "$ketra" render "$work/s.$ext" -o "$work/again-$ext.hmf" >/dev/null 2>&1
  check "render from $ext" $?
done
cmp -s "$work/again-hsf.hmf" "$work/again-hmf.hmf"
check "hsf round trip equals hmf round trip" $?
# A saved scene shows, in a process of its own, the picture the model gave.
"$ketra" render "$src/samples/plant.json" -o "$work/model.png" --size 320x240 >/dev/null 2>&1
for ext in hsf hmf; do
  "$ketra" render "$work/s.$ext" -o "$work/scene-$ext.png" --size 320x240 >/dev/null 2>&1
  cmp -s "$work/model.png" "$work/scene-$ext.png"
  check "$ext shows the model's picture" $?
done
head -c 500 "$work/s.hsf" > "$work/cut.hsf"
out=$("$ketra" render "$work/cut.hsf" -o "$work/cut.png" 2>&1)
check "damaged scene file exit code" $([[ $? -eq 2 ]]; echo $?)
[[ "$out" == *"cut.hsf: the file is cut short"* && ! -e "$work/cut.png" ]]
check "damaged scene file message ($out)" $?
# A segment name longer than scene files may hold is refused with its line, not copied blind.
for n in 6000 100000; do
  printf 'KETRA-HMF 1\nsegment "%s" {\n}\nend-of-file\n' "$(head -c $n /dev/zero | tr '\0' n)" > "$work/long.hmf"
  out=$("$ketra" render "$work/long.hmf" -o "$work/long.png" 2>&1)
  check "scene file with a $n-byte name exit code" $([[ $? -eq 2 ]]; echo $?)
  [[ "$out" == "ketra: $work/long.hmf:2: a segment name of $n bytes (the limit is 1024)" && ! -e "$work/long.png" ]]
  check "scene file with a $n-byte name message (${out:0:200})" $?
done

printf '{\n  "elements": [\n    { "from": 10, "to": 20, "delta": [0, 0, 0], "od": 2 }\n  ]\n}\n' > "$work/zero.json"
out=$("$ketra" render "$work/zero.json" -o "$work/z.png" 2>&1)
check "zero-length element exit code" $([[ $? -eq 2 ]]; echo $?)
[[ "$out" == "$work/zero.json:3:38: element 10-20 has zero length" ]]
check "zero-length element message ($out)" $?
[[ ! -e "$work/z.png" ]]
check "nothing written for a bad model" $?

printf '{ "elements": [ { "from": 10, "to": 20, "delta": [1, 0, 0], "od": 2, "colour": "red" } ] }' > "$work/unknown.json"
out=$("$ketra" info "$work/unknown.json" 2>&1)
check "unknown key exit code" $([[ $? -eq 2 ]]; echo $?)
[[ "$out" == *"unknown.json:1:70: unknown key \"colour\" in an element"* ]]
check "unknown key message ($out)" $?

out=$("$ketra" render "$src/samples/plant.json" -o "$work/p.xyz" 2>&1)
check "unknown format exit code" $([[ $? -eq 1 ]]; echo $?)
[[ "$out" == *"Handler for file type .xyz unavailable."* ]]
check "unknown format message" $?

"$ketra" render "$src/samples/plant.json" -o "$work/p.png" --hide valves >/dev/null 2>&1
check "unknown kind refused" $([[ $? -eq 1 ]]; echo $?)

out=$("$ketra" info "$src/samples/plant.json" --registry 2>&1)
check "info" $?
[[ "$out" == *"registry:   35 keys"* && "$out" == *"30-40  pipe"* ]]
check "info lists the registry" $?

"$ketra" generate 300 > "$work/gen.json" && "$ketra" info "$work/gen.json" >/dev/null 2>&1
check "generated model loads" $?

[[ "$out" == *"symbol scale: 6 (from the model file)"* ]]
check "info prints the file's symbol scale" $?
out=$("$ketra" info "$work/gen.json" 2>&1)
[[ "$out" == *"(chosen from the model's pipe sizes)"* ]]
check "info prints a chosen symbol scale ($out)" $?
out=$("$ketra" render "$src/samples/plant.json" -o "$work/s.png" --size 100x80 --symbol-scale 0 2>&1)
check "a symbol scale of 0 is refused" $([[ $? -ne 0 ]]; echo $?)
[[ "$out" == *'must be a number above 0 (at most 1e9), not "0"'* ]]
check "a symbol scale of 0 is refused with a reason ($out)" $?
"$ketra" render "$src/samples/plant.json" -o "$work/s.png" --size 100x80 --symbol-scale 20 >/dev/null 2>&1
check "render with --symbol-scale" $?

# Coordinates the scene cannot hold stop the load with the element's position.
printf '{ "nodes": [ { "id": 10, "at": [1e308, 0, 0] } ],\n  "elements": [ { "from": 10, "to": 20, "delta": [1e308, 0, 0], "od": 2 } ] }\n' > "$work/far.json"
out=$("$ketra" render "$work/far.json" -o "$work/far.png" 2>&1)
check "far-away model exit code" $([[ $? -eq 2 ]]; echo $?)
[[ "$out" == "$work/far.json:1:32: node 10 lies at (1e+308, 0, 0), beyond the 1e9 that coordinates may reach" ]]
check "far-away model message ($out)" $?
[[ ! -e "$work/far.png" ]]
check "nothing written for a far-away model" $?


# Piping Component Files: chosen by content, drawn, described, converted; bad ones refused.
pcf="$work/line.pcf"
printf 'UNITS-BORE MM\nUNITS-CO-ORDS MM\nPIPELINE-REFERENCE L-1\nPIPE\n    END-POINT 0 0 0 100\n    END-POINT 1000 0 0 100\nELBOW\n    END-POINT 1000 0 0 100\n    END-POINT 1152.4 0 152.4 100\n    CENTRE-POINT 1152.4 0 0\n    ANGLE 9000\nPIPE\n    END-POINT 1152.4 0 152.4 100\n    END-POINT 1152.4 0 1000 100\nSUPPORT\n    CO-ORDS 500 0 0\n    SKEY ANCH\nSUPPORT\n    CO-ORDS 1152.4 0 600\n    SKEY GUID\n    SUPPORT-DIRECTION NORTH\nMESSAGE-CIRCLE\n    CO-ORDS 0 0 0\n' > "$pcf"
out=$("$ketra" info "$pcf" 2>&1)
check "pcf info ($out)" $?
[[ "$out" == *"pipelines:  1: L-1"* && "$out" == *"  PIPE            2"* && "$out" == *"  MESSAGE-CIRCLE  1"* &&
   "$out" == *"bounding box (mm): (0.000, 0.000, 0.000) to (1152.400, 0.000, 1000.000)"* &&
   "$out" == *"pipe length: 1847.600 mm"* && "$out" == *"  bends             1"* &&
   "$out" == *"symbol scale: 228.6 (chosen from the model's pipe sizes)"* ]]
check "pcf info lists pipelines, keywords, length, box and symbol scale" $?
cp "$pcf" "$work/line.dat"
"$ketra" render "$work/line.dat" -o "$work/line.png" --size 200x150 >/dev/null 2>&1
check "a PCF file is known by its content" $?
"$ketra" convert "$pcf" -o "$work/line.json" >/dev/null 2>&1
check "pcf convert" $?
a=$("$ketra" info "$pcf" --registry 2>&1 | grep -E '^(nodes|elements|  key)')
b=$("$ketra" info "$work/line.json" --registry 2>&1 | grep -E '^(nodes|elements|  key)')
[[ -n "$a" && "$a" == "$b" ]]
check "the converted model draws the same elements" $?
# A bend whose CENTRE-POINT is its arc's centre is drawn, with a warning; a file with nothing
# that can be drawn is refused.
printf 'PIPE\n    END-POINT 0 0 0 100\n    END-POINT 1000 0 0 100\nELBOW\n    END-POINT 1000 0 0 100\n    END-POINT 1152.4 0 152.4 100\n    CENTRE-POINT 1000 0 152.4\n' > "$work/arc.pcf"
out=$("$ketra" render "$work/arc.pcf" -o "$work/arc.png" --size 200x150 2>&1)
check "pcf with an arc centre drawn ($out)" $?
[[ "$out" == "$work/arc.pcf:7:5: ELBOW's CENTRE-POINT is taken as the centre of its arc; the corner is (1152.40, 0.00, 0.00)"* && -s "$work/arc.png" ]]
check "pcf arc centre warning ($out)" $?
printf 'ELBOW\n    END-POINT 1000 0 0 100\n    END-POINT 1152.4 0 152.4 100\n' > "$work/bad.pcf"
out=$("$ketra" render "$work/bad.pcf" -o "$work/bad.png" 2>&1)
check "bad pcf exit code" $([[ $? -eq 2 ]]; echo $?)
[[ "$out" == "$work/bad.pcf:1:1: ELBOW needs a CENTRE-POINT: the corner where its legs meet" ]]
check "bad pcf message ($out)" $?
[[ ! -e "$work/bad.png" ]]
check "nothing written for a bad pcf" $?
{ printf 'PIPE\n    END-POINT 0 0 0 100\n    END-POINT 1000 0 0 100\n'; for i in $(seq 30); do printf 'PIPE\n    END-POINT 5 5 5 100\n    END-POINT 5 5 5 100\n'; done; } > "$work/warn.pcf"
out=$("$ketra" info "$work/warn.pcf" 2>&1 >/dev/null)
[[ $(grep -c 'has zero length; skipped' <<<"$out") -eq 20 && "$out" == *"... and 10 more warnings"* ]]
check "at most 20 warnings printed" $?

# The real files beside the project, when they are there: each draws as a picture that covers a
# sane part of the image.
pcfdata=""
for d in "$src/../shared/testdata/pcf" "$src/../../shared/testdata/pcf"; do
  [[ -f "$d/isogen_siso.pcf" ]] && pcfdata=$d && break
done
if [[ -n "$pcfdata" ]]; then
  for f in isogen_siso ng-151841-102-03-test revit_export_compare; do
    "$ketra" render "$pcfdata/$f.pcf" -o "$work/$f.bmp" --size 400x300 >/dev/null 2>&1
    check "render $f.pcf" $?
    out=$(python3 - "$work/$f.bmp" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
offset, = struct.unpack_from("<I", data, 10)
w, h = struct.unpack_from("<ii", data, 18)
bpp, = struct.unpack_from("<H", data, 28)
step, h = bpp // 8, abs(h)
row = (w * step + 3) & ~3
px = [data[offset + y * row + x * step: offset + y * row + x * step + 3] for y in range(h) for x in range(w)]
corner = px[0]
covered = sum(1 for p in px if max(abs(p[k] - corner[k]) for k in range(3)) > 40) / len(px)
print(f"{covered:.4f}")
sys.exit(0 if 0.003 < covered < 0.6 else 1)
PY
)
    check "$f.pcf covers a sane part of the picture ($out)" $?
  done
fi

# The viewer opens a real window on a virtual display and draws the model: with OpenGL in the
# window (Mesa GLX on Xvfb), and offscreen into a raster widget when asked to or when the Qt
# platform has no OpenGL. Each run says on stderr which way it drew.
viewer() { # name, then environment assignments and the command; stderr goes to $work/name.err
  local name=$1
  shift
  timeout 120 env KETRA_VIEWER_SCREENSHOT="$work/$name.ppm" "$@" view "$src/samples/plant.json" \
    >/dev/null 2>"$work/$name.err"
}
said() { grep -m1 '^viewer:' "$work/$1.err"; }
# Compares two screenshots (binary PPM): same size, the first shows a model (some pixels
# differ from the corner colour, in many colours) and the two agree pixel for pixel but for a
# few edge pixels.
same_picture() {
  python3 - "$1" "$2" <<'PY'
import sys
def load(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace(): pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace(): end += 1
        fields.append(data[pos:end]); pos = end
    assert fields[0] == b"P6" and fields[3] == b"255", fields
    w, h = int(fields[1]), int(fields[2])
    return w, h, data[pos + 1:pos + 1 + w * h * 3]
wa, ha, a = load(sys.argv[1])
wb, hb, b = load(sys.argv[2])
if (wa, ha) != (wb, hb) or wa < 100 or ha < 100:
    sys.exit(f"sizes {wa}x{ha} and {wb}x{hb}")
n = wa * ha
corner = a[0:3]
model = sum(1 for i in range(0, n * 3, 3) if max(abs(a[i + k] - corner[k]) for k in range(3)) > 40)
colours = len({a[i:i + 3] for i in range(0, n * 3, 3)})
differ = sum(1 for i in range(0, n * 3, 3) if max(abs(a[i + k] - b[i + k]) for k in range(3)) > 48)
print(f"{wa}x{ha}: {model} model pixels, {colours} colours, {differ} differ")
sys.exit(0 if model > n // 200 and colours > 100 and differ < n // 100 else 1)
PY
}
if command -v xvfb-run >/dev/null && "$ketra" view --help >/dev/null 2>&1; then
  viewer gl xvfb-run -a "$ketra"
  rc=$?
  if [[ $rc -ne 3 ]]; then # 3: built without Qt
    check "viewer runs ($(cat "$work/gl.err"))" $rc
    [[ "$(said gl)" == "viewer: drawing with OpenGL in the window ("*")" ]]
    status=$?
    check "viewer draws with OpenGL ($(said gl))" $status
    viewer raster KETRA_VIEWER_RASTER=1 xvfb-run -a "$ketra"
    status=$?
    check "forced raster viewer runs ($(cat "$work/raster.err"))" $status
    [[ "$(said raster)" == "viewer: drawing offscreen into the window (KETRA_VIEWER_RASTER is set)" ]]
    status=$?
    check "forced raster viewer says so ($(said raster))" $status
    out=$(same_picture "$work/gl.ppm" "$work/raster.ppm" 2>&1)
    check "OpenGL and offscreen pictures show the same model ($out)" $?
    viewer old-gl MESA_GL_VERSION_OVERRIDE=3.1 xvfb-run -a "$ketra"
    status=$?
    check "viewer with OpenGL 3.1 runs ($(cat "$work/old-gl.err"))" $status
    [[ "$(said old-gl)" == "viewer: drawing offscreen into the window (Qt offers OpenGL 3.1 "*", not 3.3 core)" ]]
    status=$?
    check "viewer refuses OpenGL below 3.3 core ($(said old-gl))" $status
    viewer offscreen QT_QPA_PLATFORM=offscreen "$ketra"
    status=$?
    check "viewer on the offscreen platform runs ($(cat "$work/offscreen.err"))" $status
    [[ "$(said offscreen)" == 'viewer: drawing offscreen into the window (the Qt platform "offscreen" has no OpenGL windows)' ]]
    status=$?
    check "viewer on the offscreen platform falls back ($(said offscreen))" $status
    [[ -s "$work/offscreen.ppm" ]]
    check "offscreen platform screenshot" $?
    # A PCF model's supports are sized from its pipes in the window too: the guide on the riser
    # shows, where at a symbol scale of 1 mm only the anchor's collar round the pipe does.
    for s in chosen one; do
      extra=()
      [[ $s == one ]] && extra=(--symbol-scale 1)
      timeout 120 env KETRA_VIEWER_SCREENSHOT="$work/pcf-$s.ppm" xvfb-run -a "$ketra" view "$pcf" \
        "${extra[@]}" >/dev/null 2>"$work/pcf-$s.err"
      status=$?
      check "viewer shows a PCF model ($(cat "$work/pcf-$s.err"))" $status
    done
    out=$(python3 - "$work/pcf-chosen.ppm" "$work/pcf-one.ppm" <<'PY'
import sys
def supports(path): # pixels in the supports' green
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace(): pos += 1
        end = pos
        while not data[end:end + 1].isspace(): end += 1
        fields.append(data[pos:end]); pos = end
    n = int(fields[1]) * int(fields[2])
    px = data[pos + 1:pos + 1 + n * 3]
    return sum(1 for i in range(0, n * 3, 3) if px[i + 1] > 120 and 2 * px[i] < px[i + 1] and 2 * px[i + 2] < px[i + 1])
chosen, one = supports(sys.argv[1]), supports(sys.argv[2])
print(f"{chosen} support pixels, {one} at symbol scale 1")
sys.exit(0 if chosen > 3 * one // 2 else 1)
PY
)
    check "the viewer shows a PCF model's supports ($out)" $?
  fi
fi

finish
