#!/usr/bin/env bash
# check_release.sh DIST MINGW_BUILD: tries the artifacts of scripts/release.sh
# as a user would. The checksums hold; the .deb, unpacked into a folder of
# its own, runs the demo case with its programs and its copy of the demo;
# the zip's zvpatch.exe carries the version and runs the zip's demo package
# under Wine (driven by zvwin.exe of MINGW_BUILD).
set -euo pipefail
dist=$(cd "$1" && pwd)
mingw=$(cd "$2" && pwd)
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/zvrelease-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
(cd "$dist" && sha256sum --quiet -c SHA256SUMS)

# demo_case PACKAGE MACHINE: the demo case with this package and machine.
demo_case() {
  local case=$work/case-$RANDOM/demo
  mkdir -p "$case"
  cp -RL "$repo/tests/scenarios/cases/demo/." "$case/"
  rm -rf "$case/package" "$case/machine"
  cp -R "$1" "$case/package"
  cp -R "$2" "$case/machine"
  echo "$case"
}

dpkg-deb -x "$dist"/zvpatch_*.deb "$work/root"
bin=$work/root/usr/bin
version=$("$bin/zvboot" --version | cut -d' ' -f2)
[ "$("$bin/zvpatch-diff" --version)" = "zvpatch-diff $version" ]
zcat "$work/root/usr/share/man/man1/zvboot.1.gz" | grep -q "\"zvpatch $version\""
examples=$work/root/usr/share/doc/zvpatch/examples
"$repo/tests/scenarios/run_cases.py" --build "$bin" "$(demo_case "$examples/demo/package" "$examples/demo/machine")"

python3 -m zipfile -e "$dist/zvpatch-$version-win32.zip" "$work"
windows=$work/zvpatch-$version-win32
strings -el "$windows/zvpatch.exe" | grep -A1 -x 'ProductVersion' | grep -qx "$version" ||
  { echo "zvpatch.exe carries no version $version" >&2; exit 1; }
cp "$mingw/zvwin.exe" "$windows/"
"$repo/tests/scenarios/run_cases.py" --wine --build "$windows" \
  "$(demo_case "$windows/DEMO" "$repo/examples/demo/machine")"
echo "release: checksums, the .deb's demo and the zip's demo under Wine passed"
