#!/usr/bin/env bash
# Creates, if missing, the 32-bit Wine prefix the Win32 build is tested in:
#   ${ZV_WINE_PREFIX:-<repo>/build/wine/prefix}
# Fast and silent when the prefix is already there. The prefix is built in a
# private directory beside it and moved into place when complete, so an
# interrupted or concurrent run never leaves a half-made prefix behind.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
prefix=${ZV_WINE_PREFIX:-$repo/build/wine/prefix}
marker=.zvpatch-prefix

[[ -f $prefix/$marker ]] && exit 0

export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko install prompts, no menu entries on the host.
export WINEDLLOVERRIDES='mscoree,mshtml=,winemenubuilder.exe=d'

# Without a window manager every window shown or hidden stalls ~2 s unless
# Wine manages its windows itself; a crash dialog would hang a test, while
# without it wine returns 5.
configure() {
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
}

if [[ -e $prefix ]]; then
  # Adopt a 32-bit prefix made elsewhere; refuse anything else.
  if ! grep -qs '^#arch=win32' "$prefix/system.reg"; then
    echo "wine-prefix.sh: $prefix exists but is not a 32-bit Wine prefix; remove it" >&2
    exit 1
  fi
  export WINEPREFIX=$prefix
  # Long-lived Wine services inherit the output of the first process.
  configure </dev/null >/dev/null 2>&1
  touch "$prefix/$marker"
  exit 0
fi

mkdir -p "$(dirname "$prefix")"
work=$(mktemp -d "$prefix.new.XXXXXX")
chmod 755 "$work"
export WINEPREFIX=$work
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "wine-prefix.sh: creating $prefix" >&2
wineboot -i </dev/null >/dev/null 2>&1
configure </dev/null >/dev/null 2>&1
# Ends the prefix's processes and writes the registry files.
wineserver -k >/dev/null 2>&1 || true
touch "$work/$marker"

# Another run may have finished first; its prefix is as good as ours.
if mv -T "$work" "$prefix" 2>/dev/null; then
  trap - EXIT
else
  rm -rf "$work"
  trap - EXIT
  [[ -f $prefix/$marker ]]
fi
