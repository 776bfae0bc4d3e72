#!/usr/bin/env bash
# scripts/check-layers on a copy of the sources: passes on them as they stand, and fails,
# naming the file and line, on each fault planted in a fresh copy.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fresh_copy() {
  rm -rf "$work/repo"
  mkdir -p "$work/repo/scripts"
  cp -r "$source_dir/src" "$source_dir/apps" "$work/repo/"
  cp "$source_dir/scripts/check-layers" "$work/repo/scripts/"
}

expect_fault() { # what, pattern expected in the report
  if "$work/repo/scripts/check-layers" >"$work/out" 2>&1; then
    echo "FAIL: $1 was not reported"; exit 1
  fi
  if ! grep -q -- "$2" "$work/out"; then
    echo "FAIL: $1: report lacks '$2':"; cat "$work/out"; exit 1
  fi
  echo "ok: $1"; passed=$((passed + 1))
}

fresh_copy
"$work/repo/scripts/check-layers" || { echo "FAIL: the sources as they stand"; exit 1; }
echo "ok: the sources as they stand"; passed=1

# The geometry builders reaching up into the view window.
sed -i '1i #include "view/window/CHoopsViewEx.h"' "$work/repo/src/geometry/CVector3D.cpp"
expect_fault "an include that climbs" "src/geometry/CVector3D.cpp:1: geometry includes view/window/CHoopsViewEx.h"

fresh_copy
printf '#include "operators/HOpCameraEx.h"\n' >>"$work/repo/src/model/HElement.h"
expect_fault "a header that climbs to a layer beside it" "src/model/HElement.h:.*operators/HOpCameraEx.h"

fresh_copy
sed -i '1i #include <QWidget>' "$work/repo/src/view/HBaseViewEx.cpp"
expect_fault "Qt in the core" "src/view/HBaseViewEx.cpp:1: includes Qt <QWidget>"

fresh_copy
printf 'target_link_libraries(ketra_view PUBLIC ketra_operators)\n' >>"$work/repo/src/CMakeLists.txt"
expect_fault "a module dependency that closes a cycle" "view (view) depends on operators"

fresh_copy
mkdir "$work/repo/src/unlisted"
printf '#pragma once\n' >"$work/repo/src/unlisted/Legend.h"
expect_fault "a folder outside the table" "folder unlisted is not in src/layers.txt"

fresh_copy
sed -i 's/^May include: `symbols`/May include: `geometry`/' "$work/repo/src/annotation/README.md"
expect_fault "a README that disagrees with the table" "src/annotation/README.md:5"
echo "all $passed checks passed"
