#!/usr/bin/env bash
# Runs one data-driven scenario: run_scenario.sh PROGRAM CASEDIR
# The case format is described in cases/README.md. The program runs in a
# fresh folder with the package and the machine copied from the case, and
# what it leaves behind is compared with the case's expect/ folder.
#
# ZV_SCENARIO_LAUNCHER (optional) is put before the program, e.g. "wine";
# a PROGRAM ending in .exe is copied in with that extension.
# ZV_SCENARIO_TIMEOUT (seconds, default 60) stops a program that hangs.
# ZV_SCENARIO_KEEP=1 keeps the work folder (pkg/, machine/, stdout) and
# names it on standard error, for writing a case's expectations.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 PROGRAM CASEDIR" >&2
  exit 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
case_dir=$(cd "$2" && pwd)
[ -f "$program" ] || { echo "no program: $1" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zvscenario.XXXXXX")
if [ "${ZV_SCENARIO_KEEP:-0}" = 1 ]; then
  trap 'echo "work folder kept: $work" >&2' EXIT
else
  trap 'rm -rf "$work"' EXIT
fi
machine=$work/machine
failures=0

fail() {
  echo "FAILED [$step_label]: $*" >&2
  failures=$((failures + 1))
}

# Shows two files line by line with every byte visible (CR as \r, the end
# of each line as $), so that line ends and the 0x1A byte show in a diff.
visible() { LC_ALL=C sed -n 'l 0' "$1"; }
show_diff() {
  local want=$1 got=$2
  diff -u --label expected --label actual <(visible "$want") <(visible "$got") >&2 && {
    echo "(they differ only in the final line break)" >&2
    echo "expected ends:" >&2; tail -c 16 "$want" | od -An -c >&2
    echo "actual ends:" >&2; tail -c 16 "$got" | od -An -c >&2
  }
  return 0
}

# --- the package folder ----------------------------------------------------
name=UPD
if [ -f "$case_dir/program" ]; then
  name=$(head -n 1 "$case_dir/program" | tr -d '\r\n')
fi
case $program in *.exe | *.EXE) name=$name.exe ;; esac
base=${name%.exe}
mkdir "$work/pkg"
if [ -d "$case_dir/package" ]; then
  cp -RL "$case_dir/package/." "$work/pkg/"
fi
cp "$program" "$work/pkg/$name"
if [ -z "$(find "$work/pkg" -maxdepth 1 -iname "$base.MSG" -print -quit)" ]; then
  cp "$here/cases/common/UPD.MSG" "$work/pkg/$base.MSG"
fi
if [ -d "$case_dir/machine" ]; then
  cp -RL "$case_dir/machine" "$machine"
  # Copies carry no useful times: date the machine's files before the
  # package's, so that file comparisons come out the same on every run.
  find "$machine" -type f -exec touch -t 199901011200 {} +
fi
find "$work/pkg" -type f -exec touch -t 199906011200 {} +

# --- one run and its checks --------------------------------------------------
# run_step DIR: runs the program with DIR/args and DIR/answers, then checks
# DIR/expect. The case folder is the first step, CASEDIR/rerun a second one
# in the same package folder and machine.
run_step() {
  local dir=$1 line="" status=0 want_status=0 path before=$failures
  local -a argv=()
  if [ -f "$dir/args" ]; then
    IFS= read -r line <"$dir/args" || true
    line=${line%$'\r'}
    read -r -a argv <<<"$line" || true
  fi
  local -a env_args=(ZVPATCH_MACHINE="$machine")
  if [ -f "$dir/answers" ]; then
    env_args+=(ZVPATCH_ANSWERS="$(head -n 1 "$dir/answers" | tr -d '\r\n')")
  fi
  # events.log is appended to: each step is checked against its own lines.
  rm -f "$machine/events.log"
  # shellcheck disable=SC2086  # the launcher may be several words
  (cd "$work" && env -u ZVPATCH_ANSWERS "${env_args[@]}" \
    timeout "${ZV_SCENARIO_TIMEOUT:-60}" ${ZV_SCENARIO_LAUNCHER:-} "./pkg/$name" \
    ${argv[@]+"${argv[@]}"} </dev/null >"$work/stdout" 2>"$work/stderr") || status=$?
  # The build date is the only line that changes from build to build.
  sed '/^Compiled: /d' "$work/stdout" >"$work/stdout.cmp"
  [ "$status" -ne 124 ] || fail "timed out after ${ZV_SCENARIO_TIMEOUT:-60}s (a box that is never answered?)"

  local expect=$dir/expect
  if [ -f "$expect/status" ]; then
    want_status=$(head -n 1 "$expect/status" | tr -d '\r\n ')
  fi
  [ "$status" -eq "$want_status" ] || fail "exit status $status, expected $want_status"

  if [ -f "$expect/stdout" ]; then
    if ! cmp -s "$expect/stdout" "$work/stdout.cmp"; then
      fail "standard output differs"
      show_diff "$expect/stdout" "$work/stdout.cmp"
    fi
  fi

  if [ -f "$expect/events.log" ]; then
    if [ ! -f "$machine/events.log" ]; then
      fail "no events.log in the machine"
    elif ! cmp -s "$expect/events.log" "$machine/events.log"; then
      fail "events.log differs"
      show_diff "$expect/events.log" "$machine/events.log"
    fi
  fi

  if [ -d "$expect/machine" ]; then
    while IFS= read -r -d '' path; do
      path=${path#"$expect/machine/"}
      if [ ! -f "$machine/$path" ]; then
        fail "missing in the machine: $path"
      elif ! cmp -s "$expect/machine/$path" "$machine/$path"; then
        fail "differs: $path"
        show_diff "$expect/machine/$path" "$machine/$path"
      fi
    done < <(find "$expect/machine" -type f -print0 | sort -z)
  fi

  if [ -f "$expect/absent" ]; then
    while IFS= read -r path || [ -n "$path" ]; do
      path=${path%$'\r'}
      [ -n "$path" ] || continue
      # Names on the machine are found without regard to case.
      if [ -n "$(find "$machine" -ipath "$machine/$path" -print -quit 2>/dev/null)" ]; then
        fail "should not exist in the machine: $path"
      fi
    done <"$expect/absent"
  fi

  if [ "$failures" -ne "$before" ]; then
    echo "--- standard output of [$step_label] ---" >&2
    cat "$work/stdout" >&2
    echo "--- standard error of [$step_label] ---" >&2
    cat "$work/stderr" >&2
  fi
}

step_label=$(basename "$case_dir")
run_step "$case_dir"
if [ -d "$case_dir/rerun" ]; then
  step_label="$(basename "$case_dir")/rerun"
  run_step "$case_dir/rerun"
fi

if [ "$failures" -ne 0 ]; then
  echo "scenario $(basename "$case_dir"): $failures check(s) failed" >&2
  exit 1
fi
echo "scenario $(basename "$case_dir"): passed"
