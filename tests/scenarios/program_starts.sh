#!/usr/bin/env bash
# The Linux program starts on a fresh simulated machine, shows its window
# on standard output, closes it itself and ends with status 0.
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export ZVPATCH_MACHINE=$work/machine
out=$("$program" -d </dev/null 2>"$work/err")
[ -n "$out" ] || { echo "nothing on standard output"; exit 1; }
grep -qx 'Version=win98' <(tr -d '\r' <"$ZVPATCH_MACHINE/machine.ini")
[ "$(cat "$ZVPATCH_MACHINE/events.log")" = "$(printf 'window\tclosed-by-program')" ]

# A machine that cannot be read stops the program with the file and line.
printf 'REGEDIT4\r\n[HKEY_NOWHERE]\r\n' >"$ZVPATCH_MACHINE/registry.reg"
if "$program" </dev/null >/dev/null 2>"$work/err"; then
  echo "a broken registry.reg was accepted"; exit 1
fi
grep -q 'registry.reg:2: ' "$work/err"
