#!/usr/bin/env bash
# Builds zvpatch and runs it on the bundled demo package against a fresh
# copy of the bundled demo machine (build/demo/machine). Installs what is
# missing first. Extra arguments go to zvpatch.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
source scripts/deps.sh
zv_install_packages cmake ninja-build g++

cmake --preset release >/dev/null
cmake --build --preset release

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp -a demo/machine "$demo/machine"
cp -a demo/package "$demo/package"
# A package is named after its program: DEMO reads DEMO.MSG, .DAT and .RSP.
cp build/release/zvpatch "$demo/package/DEMO"

export ZVPATCH_MACHINE=$repo/$demo/machine
cd "$demo/package"
./DEMO "$@"
echo "== The demo machine after the run: $ZVPATCH_MACHINE" >&2
