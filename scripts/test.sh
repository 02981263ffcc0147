#!/usr/bin/env bash
# Builds and runs every test: the Linux unit and scenario tests, then the
# Win32 build with its unit tests and the same scenarios under Wine.
# Installs what is missing first.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
source scripts/deps.sh
zv_install_packages "${ZV_LINUX_PACKAGES[@]}" "${ZV_WIN32_PACKAGES[@]}"

echo "== Linux: build and unit tests"
cmake --preset dev >/dev/null
cmake --build --preset dev
ctest --preset dev -j2

echo "== Linux under AddressSanitizer and UndefinedBehaviorSanitizer (leaks on)"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2

echo "== Fuzz targets, a short run each (scripts/fuzz.sh for longer ones)"
scripts/fuzz.sh 30

echo "== Win32: build, and unit tests under Wine"
cmake --preset mingw >/dev/null
cmake --build --preset mingw
file build/mingw/zvpatch.exe | grep -q 'PE32 executable (GUI) Intel 80386' ||
  { echo "zvpatch.exe is not a 32-bit GUI program" >&2; exit 1; }
# Under a virtual display, so that the log-window tests run too.
xvfb-run -a scripts/run-wine.sh build/mingw/zv_unit_tests.exe

echo "== Win32: the scenario cases, run by zvpatch.exe under Wine"
tests/scenarios/run_cases.py --wine

# The same packages as the docs' examples, by the real program: each must
# run to its end; where the log window stays open, its text is compared.
echo "== Win32: the examples of docs/packages.md, run by zvpatch.exe under Wine"
doc_cases=$(mktemp -d)
trap 'rm -rf "$doc_cases"' EXIT
tests/docs/check_examples.sh --extract "$doc_cases" docs/packages.md
tests/scenarios/run_cases.py --wine "$doc_cases"/*/

# The release: built twice in different folders, the same bytes; then the
# .deb's programs and the zip's zvpatch.exe each run the demo.
echo "== Release: scripts/release.sh --check, then the artifacts tried"
dist=$(mktemp -d)
trap 'rm -rf "$doc_cases" "$dist"' EXIT
scripts/release.sh --check --out "$dist"
tests/release/check_release.sh "$dist" build/mingw
