#!/usr/bin/env bash
# `ketra analyse` as a user meets it: the sample plant analysed and its results read back by
# the strict results reader; bad options, missing analysis data and unwritable output refused
# with the documented exit codes, and an existing results file never torn.
set -uo pipefail
ketra=$1
src=$2
source "$(dirname "$0")/../cli_support.sh"

out=$("$ketra" analyse "$src/samples/plant.json" -o "$work/r.json" --cases OPE,SUS,EXP,W,T 2>&1)
check "analyse the sample ($out)" $?
grep -q "^wrote $work/r.json: OPE; SUS, largest ratio [0-9.]* at element" <<<"$out"
check "summary line ($out)" $?
info=$("$ketra" info "$src/samples/plant.json" --results "$work/r.json" 2>&1)
check "results read back ($info)" $?
grep -q "(5 cases)" <<<"$info" && grep -q "EXP (expansion)" <<<"$info" && grep -q "T (other)" <<<"$info"
check "every case read back ($info)" $?
"$ketra" render "$src/samples/plant.json" --results "$work/r.json" --case SUS -o "$work/r.png" --size 300x200 >/dev/null 2>&1
check "stress picture" $?

# Analysis data survives `ketra convert`: the converted model analyses to the same results.
"$ketra" convert "$src/samples/plant.json" -o "$work/converted.json" >/dev/null 2>&1 &&
  "$ketra" analyse "$work/converted.json" -o "$work/rc.json" --cases OPE,SUS,EXP,W,T >/dev/null 2>&1
check "converted model analysed" $?
diff <(grep -v '"model"' "$work/r.json") <(grep -v '"model"' "$work/rc.json") >/dev/null
check "converted model gives the same results" $?

# Modes: written as modal cases with their frequencies, lowest first.
out=$("$ketra" analyse "$src/samples/plant.json" -o "$work/rm.json" --modes 3 2>&1)
check "modes analysed ($out)" $?
"$ketra" info "$src/samples/plant.json" --results "$work/rm.json" 2>&1 | grep -q "Mode 3 (modal"
check "three modes written as cases" $?
# The bundled sample results are what the solver writes for the bundled model today.
diff <(grep -v '"program"' "$work/rm.json") <(grep -v '"program"' "$src/samples/plant-results.json") >/dev/null
check "samples/plant-results.json is current (ketra analyse samples/plant.json -o samples/plant-results.json --modes 3)" $?

cp "$work/r.json" "$work/keep.json"
out=$("$ketra" analyse "$src/samples/plant.json" -o "$work/r.json" --cases OPE,HYD 2>&1)
check "unknown case is a usage error ($out)" $(($? == 1 ? 0 : 1))
grep -q 'unknown case "HYD"' <<<"$out"
check "unknown case named ($out)" $?

# A drawing-only model: analysis names the first element that lacks its data, exit 2.
sed 's/"material": {/"unused": {/' "$src/samples/plant.json" >"$work/bare.json"
out=$("$ketra" analyse "$work/bare.json" -o "$work/r2.json" 2>&1)
check "model refused ($out)" $(($? == 2 ? 0 : 1))
grep -q "bare.json:[0-9]*:[0-9]*: unknown key \"unused\"" <<<"$out"
check "bad key positioned ($out)" $?
grep -v '"material"' "$src/samples/plant.json" | sed 's/^ *"expansionReference".*$//; s/^ *"expansion".*$//' >"$work/bare.json"
out=$("$ketra" analyse "$work/bare.json" -o "$work/r2.json" 2>&1)
check "no material refused ($out)" $(($? == 2 ? 0 : 1))
grep -q "bare.json:[0-9]*:[0-9]*: element 10-20 has no material" <<<"$out"
check "first element named ($out)" $?
[[ ! -e "$work/r2.json" ]]
check "nothing written for a refused model" $?

out=$("$ketra" analyse "$src/samples/plant.json" -o "$work/missing/r.json" 2>&1)
check "unwritable output fails ($out)" $(($? == 3 ? 0 : 1))
cmp -s "$work/r.json" "$work/keep.json"
check "results file untouched by failed runs" $?

finish
