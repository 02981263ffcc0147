#!/usr/bin/env bash
# run_all.sh [CASE...]
# Runs the scenario cases under Wine with the built zvpatch.exe: every
# folder of tests/scenarios/cases (with the Wine overrides of
# tests/wine/cases) and the Wine-only cases of tests/wine/cases. Builds
# nothing: it needs build/mingw/zvpatch.exe and build/mingw/zvwin.exe.
# One template prefix and one Xvfb serve the whole run; each case works in
# its own copy of the prefix. The last line is "N passed, N failed".
#
#   ZV_WINE_JOBS      cases run at once (default: the number of CPUs, at most 4)
#   ZV_WINE_TEMPLATE  an existing template prefix to reuse (default: a new one)
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
export ZV_WINE_PROGRAM=${ZV_WINE_PROGRAM:-$repo/build/mingw/zvpatch.exe}
export ZV_WINE_HELPER=${ZV_WINE_HELPER:-$repo/build/mingw/zvwin.exe}
for f in "$ZV_WINE_PROGRAM" "$ZV_WINE_HELPER"; do
  [[ -f $f ]] || { echo "missing: $f (cmake --preset mingw && cmake --build --preset mingw)"; echo "0 passed, 1 failed"; exit 1; }
done
for tool in wine wineserver Xvfb python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool"; echo "0 passed, 1 failed"; exit 1; }
done

start=$SECONDS
run=$(mktemp -d "${TMPDIR:-/tmp}/zvwine-run.XXXXXX")
xvfb_pid=""
cleanup() {
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$run"
}
trap cleanup EXIT

# One display for every case: each prefix has its own server and desktop.
exec 3>"$run/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for ((i = 0; i < 100; i++)); do [[ -s $run/display ]] && break; sleep 0.05; done
[[ -s $run/display ]] || { echo "Xvfb did not start"; echo "0 passed, 1 failed"; exit 1; }
display=$(head -n 1 "$run/display")
export DISPLAY=:$display

export ZV_WINE_TEMPLATE=${ZV_WINE_TEMPLATE:-$run/template}
ZV_WINE_PREFIX=$ZV_WINE_TEMPLATE "$repo/scripts/wine-prefix.sh" ||
  { echo "no Wine prefix"; echo "0 passed, 1 failed"; exit 1; }

cases=()
if [[ $# -gt 0 ]]; then
  for c in "$@"; do
    if [[ -d $c ]]; then cases+=("$(cd "$c" && pwd)")
    elif [[ -d $here/cases/$c && ( -e $here/cases/$c/package || -e $here/cases/$c/args ) ]]; then cases+=("$here/cases/$c")
    else cases+=("$repo/tests/scenarios/cases/$c"); fi
  done
else
  for c in "$repo"/tests/scenarios/cases/*/; do
    c=${c%/}
    [[ $(basename "$c") == common ]] || cases+=("$c")
  done
  for c in "$here"/cases/*/; do
    c=${c%/}
    [[ -e $c/package || -e $c/args ]] && cases+=("$c")
  done
fi

jobs=${ZV_WINE_JOBS:-$(nproc 2>/dev/null || echo 2)}
((jobs > 4)) && jobs=4
mkdir -p "$run/logs"
printf '%s\n' "${cases[@]}" |
  xargs -P "$jobs" -I{} bash -c '
    log="$2/logs/$(basename "$1").log"
    "$3/run_wine_scenario.sh" "$1" >"$log" 2>&1
    echo $? >"$log.status"
    tail -n 1 "$log"
  ' _ {} "$run" "$here"

passed=0 failed=0 skipped=0
for c in "${cases[@]}"; do
  log=$run/logs/$(basename "$c").log
  if [[ $(cat "$log.status" 2>/dev/null) == 0 ]]; then
    if grep -q ': skipped:' "$log"; then skipped=$((skipped + 1)); else passed=$((passed + 1)); fi
  else
    failed=$((failed + 1))
    echo "=== $(basename "$c")"
    cat "$log"
  fi
done
echo "run time $((SECONDS - start)) s; $skipped skipped (see tests/wine/cases/*/skip)"
echo "$passed passed, $failed failed"
((failed == 0))
