#!/usr/bin/env bash
# Installs the build into a temporary prefix, then configures, builds and runs an
# outside project that finds ketra with find_package and links ketra::core and ketra::host.
set -euo pipefail
build_dir=$1
consumer_src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
cmake -S "$consumer_src" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" >/dev/null
export LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib/$(uname -m)-linux-gnu:${LD_LIBRARY_PATH:-}"
"$work/build/consumer"
KETRA_REGISTRY="$work/registry.reg" "$work/build/host_consumer"
