#!/usr/bin/env bash
# run-wine.sh EXE [ARGS...]
# Runs a Windows program under Wine in the test prefix (made by
# wine-prefix.sh if missing) and returns the program's exit code.
#
# The wineserver is started here, detached from the caller's output, and
# ends ZV_WINE_PERSIST seconds (default 2) after the last process of the
# prefix: back-to-back runs share it, and nothing outlives the runs for
# long. A caller wanting one server for a whole session (each fresh server
# start also does the prefix's restart-time work) starts `wineserver -p`
# itself with the same WINEPREFIX and ends it with `wineserver -k`.
#
# GUI programs need an X display; without one, run under `xvfb-run -a`.
set -uo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: run-wine.sh EXE [ARGS...]" >&2
  exit 2
fi

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/wine-prefix.sh" || exit

export WINEPREFIX=${ZV_WINE_PREFIX:-$(dirname "$here")/build/wine/prefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES='mscoree,mshtml=,winemenubuilder.exe=d'

display_file=$WINEPREFIX/.zvpatch-display

# Exits with 2 when a server already runs for the prefix.
start_server() {
  wineserver -p"${ZV_WINE_PERSIST:-2}" </dev/null >/dev/null 2>&1
}

started=0
if start_server; then
  started=1
elif [[ -f $display_file && $(<"$display_file") != "${DISPLAY:-}" ]]; then
  # The server's desktop stays on the display it was started with (or on
  # none): no window of ours could be shown there. Let it end first.
  timeout "${ZV_WINE_WAIT:-30}" wineserver -w >/dev/null 2>&1
  start_server && started=1
fi

if ((started)); then
  printf '%s\n' "${DISPLAY:-}" >"$display_file"
  # The services and the desktop started with the first process keep its
  # descriptors open as long as the server lives: let a throwaway process
  # start them.
  wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
fi

wine "$@"
