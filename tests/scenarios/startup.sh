#!/usr/bin/env bash
# Start-up: names derived from the program's path, the catalog check, the
# switches, the install question and who closes the window.
source "$(dirname "$0")/lib.sh" "$1"
T=$'\t'
package UPD

# No catalog: one error box naming it; the window stays open for the user.
run -d
expect_status 0
expect_out 'Unable to Load NLS Messages :  ./pkg/UPD.MSG'
expect_events "box${T}MB_OK${T}Patch Update Error${T}Unable to Load NLS Messages :  ./pkg/UPD.MSG\\n${T}OK" \
  "window${T}closed-by-user"
grep -qx 'Version=win98' <(tr -d '\r' <"$ZVPATCH_MACHINE/machine.ini") || fail "no fresh machine"
[ "$(head -c 53 "$zv_work/err")" = $'\a\r\nError reading NLS language file: ./pkg/UPD.MSG\r\n\r' ] ||
  fail "standard error: $(od -c "$zv_work/err" | head -4)"

# With a catalog and -d: the banner and the names, then the install
# question; answered No, nothing is done and the window stays open.
: >"$zv_work/pkg/UPD.MSG"
run -d -p other.dat
expect_status 0
grep -qx 'INFFile : other.dat' "$zv_work/out" || fail "-p did not name the definition file"
grep -qx 'RSPFile : ./pkg/UPD.RSP' "$zv_work/out" || fail "response name not derived"
grep -q '^Compiled: ' "$zv_work/out" || fail "no build date with -d"
expect_events "box${T}MB_YESNO${T}${T}${T}NO" "window${T}closed-by-user"

# Without -d there is no verbose trace.
run
grep -q 'NLSFile' "$zv_work/out" && fail "verbose lines without -d"
expect_events "box${T}MB_YESNO${T}${T}${T}NO" "window${T}closed-by-user"

# Compress and decompress name their output; they read no definition file
# and ask nothing.
run -d -c 'C:\F\README' -x ignored
grep -qx 'CMPFile : ignored' "$zv_work/out" || fail "the last of -c and -x gives the file"
grep -qx 'RSPFile : ignored____' "$zv_work/out" || fail "compressed name of a file without extension"
run -d -x 'C:\F\A.TX_'
grep -qxF 'INFFile : C:\F\' "$zv_work/out" || fail "decompress output directory"
grep -q 'NLSFile' "$zv_work/out" && fail "decompress read the install names"
rm -f "$ZVPATCH_MACHINE/events.log"

# A name that would not fit is refused, not cut.
long=$(printf 'A%.0s' $(seq 1 300))
run -p "$long"
expect_out 'Unable to start: the command line is longer than 259 characters.'
expect_events "box${T}MB_OK${T}Patch Update Error${T}Unable to start: the command line is longer than 259 characters.\\n${T}OK" \
  "window${T}closed-by-user"

# A machine that cannot be read stops the program with the file and line.
printf 'REGEDIT4\r\n[HKEY_NOWHERE]\r\n' >"$ZVPATCH_MACHINE/registry.reg"
run
expect_status 2
grep -q 'registry.reg:2: ' "$zv_work/err" || fail "the broken line is not named"
