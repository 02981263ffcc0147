#!/usr/bin/env bash
# Run settings from section Patch of the definition file and section CID of
# the response file, and the switches that take precedence over them.
source "$(dirname "$0")/lib.sh" "$1"
T=$'\t'
package UPD
: >"$zv_work/pkg/UPD.MSG"
dat() { { printf '[Patch]\r\n'; printf '%s\r\n' "$@"; } >"$zv_work/pkg/UPD.DAT"; }
rsp() { { printf '[CID]\r\n'; printf '%s\r\n' "$@"; } >"$zv_work/pkg/UPD.RSP"; }
verbose() { grep -q '^NLSFile : ' "$zv_work/out"; }

# Debug counts only when exactly 1; switch d wins over the key.
dat 'Debug=1'
run
verbose || fail "Debug=1 gave no verbose trace"
expect_events "box${T}MB_YESNO${T}${T}${T}NO" "window${T}closed-by-user"
dat 'Debug=2'
run
verbose && fail "Debug=2 turned the verbose trace on"
dat 'Debug=0'
run -d
verbose || fail "-d did not win over Debug=0"
rm -f "$ZVPATCH_MACHINE/events.log"

# Unattended: no question, and the window closes itself.
dat 'Debug=0'
rsp 'CID=1' 'CIDInstall=1'
run
expect_events "window${T}closed-by-program"

# CIDInstall is read only when CID is set; CIDClose always.
rsp 'CID=0' 'CIDInstall=1' 'CIDClose=1'
run
expect_events "box${T}MB_YESNO${T}${T}${T}NO" "window${T}closed-by-program"

# CID alone still asks, and closes the window.
rsp 'CID=1'
ANSWERS=no run
expect_events "box${T}MB_YESNO${T}${T}${T}NO" "window${T}closed-by-program"

# Settings files that are not there read as all defaults.
rm "$zv_work/pkg/UPD.DAT" "$zv_work/pkg/UPD.RSP"
run
expect_events "box${T}MB_YESNO${T}${T}${T}NO" "window${T}closed-by-user"
