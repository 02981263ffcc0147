#!/usr/bin/env bash
# screenshot.sh [FILE]: docs/log-window.png, the log window after the demo
# install (examples/demo on its Windows 98 machine), taken under Xvfb from
# the real zvpatch.exe. Needs the mingw build and ImageMagick.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
out=${1:-$repo/docs/log-window.png}
mkdir -p "$(dirname "$out")"
command -v import >/dev/null || { echo "ImageMagick's import is missing (apt-get install imagemagick)" >&2; exit 1; }
ZV_WINE_SCREENSHOT=$(cd "$(dirname "$out")" && pwd)/$(basename "$out") \
  "$here/run_wine_scenario.sh" "$repo/tests/scenarios/cases/demo"
echo "written: $out"
