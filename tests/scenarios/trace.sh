#!/usr/bin/env bash
# The catalog's texts in the window, the boxes and the trace log.
source "$(dirname "$0")/lib.sh" "$1"
T=$'\t'
package UPD
cp "$(dirname "$0")/../../examples/demo/package/DEMO.MSG" "$zv_work/pkg/UPD.MSG"
{ printf '[Patch]\r\nLogFile=TRACE.LOG\r\n'; } >"$zv_work/pkg/UPD.DAT"
question="This will install the Zevra demo patch.\\nDo you want to continue?"

# The banner is the first line of the log; -d adds the names, in the window
# and in the log alike, each line ending in CR LF there.
run -d
[ "$(head -1 "$zv_work/out")" = "Zevra Demo Patch 1.1 " ] || fail "no banner first"
grep -qx 'NLSFile : ./pkg/UPD.MSG' "$zv_work/out" || fail "no catalog name with -d"
[ "$(head -1 "$zv_work/TRACE.LOG")" = $'Zevra Demo Patch 1.1 \r' ] || fail "the log does not start with the banner and CR LF"
diff <(tr -d '\r' <"$zv_work/TRACE.LOG") "$zv_work/out" >/dev/null || fail "log and window differ"
expect_events "box${T}MB_YESNO${T}Zevra Patch${T}${question}${T}NO" "window${T}closed-by-user"

# A new run starts the log anew, unless AppendLog is set.
run
[ "$(grep -c 'Zevra Demo Patch' "$zv_work/TRACE.LOG")" -eq 1 ] || fail "the log was not started anew"
printf '[Patch]\r\nLogFile=TRACE.LOG\r\nAppendLog=1\r\n' >"$zv_work/pkg/UPD.DAT"
run
[ "$(grep -c 'Zevra Demo Patch' "$zv_work/TRACE.LOG")" -eq 2 ] || fail "AppendLog=1 did not append"
rm -f "$ZVPATCH_MACHINE/events.log"

# Switch l names the log and wins over the key.
run -l other.log
[ -f "$zv_work/other.log" ] || fail "-l did not name the log"
[ "$(grep -c 'Zevra Demo Patch' "$zv_work/TRACE.LOG")" -eq 2 ] || fail "the key's log was written"
rm -f "$ZVPATCH_MACHINE/events.log"

# Closing the window at the question ends the work and the process.
ANSWERS=close run
expect_status 0
expect_events "box${T}MB_YESNO${T}Zevra Patch${T}${question}${T}CLOSE" "window${T}closed-by-user"
