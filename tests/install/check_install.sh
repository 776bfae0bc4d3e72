#!/usr/bin/env bash
# Installs the build into a temporary prefix; runs the installed ketra as a user would, with
# no library path set, then configures, builds and runs an outside project that finds ketra
# with find_package and links ketra::core and ketra::host.
set -euo pipefail
build_dir=$1
consumer_src=$2
samples=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null

# The installed command starts with an empty environment (HOME only points at a scratch
# folder, so the settings store of whoever runs the test is left alone).
mkdir -p "$work/home"
run() { env -i HOME="$work/home" "$@"; }
run "$work/prefix/bin/ketra" --help >"$work/help.txt"
grep -q "render" "$work/help.txt"
cp "$samples/plant.json" "$work/plant.json"
run "$work/prefix/bin/ketra" render "$work/plant.json" -o "$work/plant.png" --size 320x240 >/dev/null
[[ "$(head -c 8 "$work/plant.png" | od -An -tx1 | tr -d ' \n')" == "89504e470d0a1a0a" ]]
# Moved elsewhere, the tree still runs: nothing points back at the prefix.
mv "$work/prefix" "$work/moved"
run "$work/moved/bin/ketra" info "$work/plant.json" >/dev/null

cmake -S "$consumer_src" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/moved" >/dev/null
cmake --build "$work/build" >/dev/null
export LD_LIBRARY_PATH="$work/moved/lib:$work/moved/lib/$(uname -m)-linux-gnu:${LD_LIBRARY_PATH:-}"
"$work/build/consumer"
KETRA_REGISTRY="$work/registry.reg" "$work/build/host_consumer"
