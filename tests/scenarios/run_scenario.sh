#!/usr/bin/env bash
# Runs one data-driven scenario: run_scenario.sh PROGRAM CASEDIR [ZVBOOT]
# The case format is described in cases/README.md. The program runs in a
# fresh folder with the package and the machine copied from the case, and
# what it leaves behind is compared with the case's expect/ folder.
# ZVBOOT, the machine's next start, is needed only by cases with a `boot`
# file; it defaults to zvboot next to PROGRAM.
#
# ZV_SCENARIO_LAUNCHER (optional) is put before the program, e.g. "wine";
# a PROGRAM ending in .exe is copied in with that extension.
# ZV_SCENARIO_TIMEOUT (seconds, default 60) stops a program that hangs.
# ZV_SCENARIO_KEEP=1 keeps the work folder (pkg/, machine/, stdout) and
# names it on standard error, for writing a case's expectations.
set -euo pipefail

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 PROGRAM CASEDIR [ZVBOOT]" >&2
  exit 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
case_dir=$(cd "$2" && pwd)
[ -f "$program" ] || { echo "no program: $1" >&2; exit 2; }
zvboot=${3:-$(dirname "$program")/zvboot}
# What a run changed is shown by zvpatch-diff, beside the program.
zvdiff=$(dirname "$program")/zvpatch-diff

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

# Staged files are named after the process id (ZVa01234, or ZTb01234 from
# the second template), and so are backup copies (ZBa01234): the actual side of every comparison has those five
# digits replaced by NNNNN, in plain text and in the hex bytes of
# registry.reg (PendingFileRenameOperations is a hex(7) value whose lines
# may break anywhere), so expectations read ZVaNNNNN. Needs perl, which
# every Debian system has.
normalise() {
  perl -0777 -pe '
    s/(Z[VTB][a-z])[0-9]{5}/${1}NNNNN/g;
    my $s = qr/,(?:\\\r?\n[ \t]*)?/;
    s/(5a$s(?:56|54|42)$s(?:6[1-9a-f]|7[0-9a])$s)3[0-9]($s)3[0-9]($s)3[0-9]($s)3[0-9]($s)3[0-9]/${1}4e${2}4e${3}4e${4}4e${5}4e/gi;
  ' "$1" >"$2"
}

# compare LABEL WANT GOT: GOT, normalised, must equal WANT byte for byte.
compare() {
  local label=$1 want=$2 got=$3
  normalise "$got" "$work/normalised"
  if ! cmp -s "$want" "$work/normalised"; then
    fail "$label differs"
    show_diff "$want" "$work/normalised"
  fi
}

# A machine path of an expectation; NNNNN stands for the five digits of a
# staged file's name. Prints the first match, or the path as it is.
machine_path() {
  local path=$1 match
  if [[ $path == *NNNNN* ]]; then
    match=$(compgen -G "$machine/${path//NNNNN/[0-9][0-9][0-9][0-9][0-9]}" | head -n 1) || true
    [ -z "$match" ] || { echo "$match"; return; }
  fi
  echo "$machine/$path"
}

# apply_stamps FILE: "PATH YYYYmmddHHMM" lines date files, to make a
# machine file newer than the package's or as old. PATH is relative to the
# machine, or begins with package/ for a package file.
apply_stamps() {
  local file=$1 line path stamp target
  [ -f "$file" ] || return 0
  while IFS= read -r line || [ -n "$line" ]; do
    line=${line%$'\r'}
    case $line in '' | '#'*) continue ;; esac
    stamp=${line##* }
    path=${line% *}
    case $path in
      package/*) target=$work/pkg/${path#package/} ;;
      *) target=$machine/$path ;;
    esac
    if [ ! -e "$target" ]; then
      fail "stamps: no such file: $path"
    elif ! touch -t "$stamp" "$target"; then
      fail "stamps: cannot date $path with $stamp"
    fi
  done <"$file"
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
  local dir=$1 line="" status=0 want_status=0 path actual before=$failures
  local -a argv=()
  rm -f "$work/boot.stdout" "$work/boot.stderr"
  apply_stamps "$dir/stamps"
  if [ -f "$dir/args" ]; then
    IFS= read -r line <"$dir/args" || true
    line=${line%$'\r'}
    read -r -a argv <<<"$line" || true
  fi
  # TEMP, where SUBST entries work, is a folder of its own outside the
  # machine, so that the run never depends on the host's TEMP.
  mkdir -p "$work/temp"
  local -a env_args=(ZVPATCH_MACHINE="$machine" TEMP="$work/temp")
  if [ -f "$dir/answers" ]; then
    env_args+=(ZVPATCH_ANSWERS="$(head -n 1 "$dir/answers" | tr -d '\r\n')")
  fi
  # events.log is appended to: each step is checked against its own lines.
  rm -f "$machine/events.log"
  local expect=$dir/expect
  if [ -f "$expect/changes" ]; then
    rm -rf "$work/before"
    "$zvdiff" save "$machine" "$work/before" || fail "zvpatch-diff could not save the machine"
  fi
  # shellcheck disable=SC2086  # the launcher may be several words
  (cd "$work" && env -u ZVPATCH_ANSWERS "${env_args[@]}" \
    timeout "${ZV_SCENARIO_TIMEOUT:-60}" ${ZV_SCENARIO_LAUNCHER:-} "./pkg/$name" \
    ${argv[@]+"${argv[@]}"} </dev/null >"$work/stdout" 2>"$work/stderr") || status=$?
  # The build date is the only line that changes from build to build.
  sed '/^Compiled: /d' "$work/stdout" >"$work/stdout.cmp"
  [ -z "$(ls -A "$work/temp")" ] || fail "left behind in TEMP: $(ls -A "$work/temp" | tr '\n' ' ')"
  [ "$status" -ne 124 ] || fail "timed out after ${ZV_SCENARIO_TIMEOUT:-60}s (a box that is never answered?)"

  if [ -f "$expect/status" ]; then
    want_status=$(head -n 1 "$expect/status" | tr -d '\r\n ')
  fi
  [ "$status" -eq "$want_status" ] || fail "exit status $status, expected $want_status"

  if [ -f "$expect/stdout" ]; then
    compare "standard output" "$expect/stdout" "$work/stdout.cmp"
  fi
  if [ -f "$expect/stderr" ]; then
    compare "standard error" "$expect/stderr" "$work/stderr"
  fi

  if [ -f "$expect/events.log" ]; then
    if [ ! -f "$machine/events.log" ]; then
      fail "no events.log in the machine"
    else
      compare events.log "$expect/events.log" "$machine/events.log"
    fi
  fi

  # The next start of the machine, before the machine's files are checked.
  if [ -f "$dir/boot" ]; then
    if [ ! -x "$zvboot" ]; then
      fail "the case asks for a boot, but there is no zvboot at $zvboot"
    else
      local boot_status=0 want_boot=0
      "$zvboot" "$machine" >"$work/boot.stdout" 2>"$work/boot.stderr" || boot_status=$?
      if [ -f "$expect/boot-status" ]; then
        want_boot=$(head -n 1 "$expect/boot-status" | tr -d '\r\n ')
      fi
      [ "$want_boot" = any ] || [ "$boot_status" -eq "$want_boot" ] ||
        fail "zvboot exit status $boot_status, expected $want_boot"
      if [ -f "$expect/boot" ]; then
        compare "zvboot's output" "$expect/boot" "$work/boot.stdout"
      fi
    fi
  fi

  if [ -f "$expect/changes" ]; then
    "$zvdiff" show "$work/before" "$machine" >"$work/changes" 2>&1 || fail "zvpatch-diff show failed"
    compare "zvpatch-diff's report" "$expect/changes" "$work/changes"
  fi

  if [ -d "$expect/machine" ]; then
    while IFS= read -r -d '' path; do
      path=${path#"$expect/machine/"}
      actual=$(machine_path "$path")
      if [ ! -f "$actual" ]; then
        fail "missing in the machine: $path"
      else
        compare "$path" "$expect/machine/$path" "$actual"
      fi
    done < <(find "$expect/machine" -type f -print0 | sort -z)
  fi

  # Nothing else in the machine but machine.ini, events.log, machine.lock and the files
  # of expect/machine (staged names compared as ZVaNNNNN).
  if [ -f "$expect/no-other-files" ]; then
    while IFS= read -r path; do
      case $path in machine.ini | events.log | machine.lock) continue ;; esac
      [ -f "$expect/machine/$path" ] || fail "not expected in the machine: $path"
    done < <(cd "$machine" && find . -type f | sed -E 's|^\./||; s/(Z[VTB][a-z])[0-9]{5}/\1NNNNN/g' | sort)
  fi

  # "PATH YYYYmmddHHMM" (or YYYYmmddHHMM.SS): the time of a machine file.
  if [ -f "$expect/stamps" ]; then
    local stamp got format
    while IFS= read -r line || [ -n "$line" ]; do
      line=${line%$'\r'}
      case $line in '' | '#'*) continue ;; esac
      stamp=${line##* }
      path=${line% *}
      actual=$(machine_path "$path")
      format=%Y%m%d%H%M
      [[ $stamp != *.* ]] || format=%Y%m%d%H%M.%S
      if [ ! -e "$actual" ]; then
        fail "stamps: missing in the machine: $path"
      else
        got=$(date -r "$actual" +"$format")
        [ "$got" = "$stamp" ] || fail "stamps: $path is dated $got, expected $stamp"
      fi
    done <"$expect/stamps"
  fi

  if [ -f "$expect/absent" ]; then
    while IFS= read -r path || [ -n "$path" ]; do
      path=${path%$'\r'}
      [ -n "$path" ] || continue
      # Names on the machine are found without regard to case; the path is
      # a pattern, so DIR/* says that DIR is empty.
      if [ -n "$(find "$machine" -ipath "$machine/${path//NNNNN/[0-9][0-9][0-9][0-9][0-9]}" \
        -print -quit 2>/dev/null)" ]; then
        fail "should not exist in the machine: $path"
      fi
    done <"$expect/absent"
  fi

  if [ "$failures" -ne "$before" ]; then
    echo "--- standard output of [$step_label] ---" >&2
    cat "$work/stdout" >&2
    echo "--- standard error of [$step_label] ---" >&2
    cat "$work/stderr" >&2
    if [ -f "$dir/boot" ] && [ -f "$work/boot.stdout" ]; then
      echo "--- zvboot of [$step_label] ---" >&2
      cat "$work/boot.stdout" "$work/boot.stderr" >&2
    fi
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
