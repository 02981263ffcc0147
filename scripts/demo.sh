#!/usr/bin/env bash
# Builds zvpatch and runs the demo package (examples/demo/package) against a
# fresh copy of the demo machine (examples/demo/machine, copied to
# build/demo/machine), then shows what the run changed on the machine.
# Installs what is missing first. Extra arguments go to zvpatch.
# Attended on a terminal; otherwise, or to script it, set ZVPATCH_ANSWERS
# (for example ZVPATCH_ANSWERS=yes,no scripts/demo.sh).
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
source scripts/deps.sh
zv_install_packages cmake ninja-build g++

cmake --preset release >/dev/null
cmake --build --preset release

template=examples/demo
demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp -R "$template/machine" "$demo/machine"
cp -R "$template/package" "$demo/package"
# Git keeps no file times: date the installed files before the package's,
# as they would be on a real machine, so that the package's files count
# as the newer ones.
find "$demo/machine" -type f -exec touch -t 199901011200 {} +
find "$demo/package" -type f -exec touch -t 199906011200 {} +
# A package is named after its program: DEMO reads DEMO.MSG, .DAT and .RSP.
cp build/release/zvpatch "$demo/package/DEMO"
# The machine as it is before the run, to show what the run changed.
build/release/zvpatch-diff save "$demo/machine" "$demo/before"

export ZVPATCH_MACHINE=$repo/$demo/machine
status=0
(cd "$demo/package" && ./DEMO "$@") || status=$?

echo >&2
echo "== What the run changed on the demo machine, before the restart:" >&2
build/release/zvpatch-diff show "$demo/before" "$demo/machine" >&2
# The next start of the machine does the work left for it (nothing when the
# restart was accepted during the run: it is done already).
echo >&2
echo "== The next start of Windows (zvboot):" >&2
build/release/zvboot "$ZVPATCH_MACHINE" >&2 || true
echo >&2
echo "== What the installation changed in the end ($ZVPATCH_MACHINE):" >&2
build/release/zvpatch-diff show "$demo/before" "$demo/machine" >&2
# What the same package does on a fresh machine of every Windows version,
# each with the product and its driver 1.0 installed.
echo >&2
echo "== The package on every Windows version (zvpatch-check --run):" >&2
build/release/zvpatch-check --run --product-dir 'C:\Program Files\Zevra' \
  --registry 'HKEY_LOCAL_MACHINE\SOFTWARE\QEL\RUZEVU\Driver,Version,1.0' \
  "$template/package" >&2 || true
exit "$status"
