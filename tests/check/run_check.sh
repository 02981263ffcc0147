#!/usr/bin/env bash
# run_check.sh ZVPATCH_CHECK CASEDIR: the package check on CASEDIR/package
# must print expect/report exactly and end with the status of expect/status.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 ZVPATCH_CHECK CASEDIR" >&2; exit 2; }
check=$1 case_dir=$2
status=0
report=$("$check" "$case_dir/package" UPD) || status=$?
want_status=$(tr -d '\r\n ' <"$case_dir/expect/status")
if [ "$report" != "$(cat "$case_dir/expect/report")" ] || [ "$status" != "$want_status" ]; then
  echo "FAILED [$(basename "$case_dir")]: status $status (expected $want_status), report:" >&2
  diff -u --label expected --label actual "$case_dir/expect/report" <(echo -n "$report${report:+$'\n'}") >&2 || true
  exit 1
fi
echo "check $(basename "$case_dir"): passed"
