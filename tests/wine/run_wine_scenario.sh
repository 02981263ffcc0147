#!/usr/bin/env bash
# run_wine_scenario.sh CASEDIR
# Runs one scenario case (the format of tests/scenarios/cases/README.md) with
# the real zvpatch.exe in a copy of a 32-bit Wine prefix, answers its boxes
# by caption with zvwin.exe, and compares what it leaves with the case's
# expectations (through wine_case.py). A folder tests/wine/cases/<case>
# overrides files of the case where Wine legitimately differs (see the
# README there); a case that lives only there is run the same way.
#
# Environment:
#   ZV_WINE_PROGRAM   zvpatch.exe           (default build/mingw/zvpatch.exe)
#   ZV_WINE_HELPER    zvwin.exe             (default build/mingw/zvwin.exe)
#   ZV_WINE_TEMPLATE  the template prefix   (default build/wine/prefix, made if missing)
#   DISPLAY           an X display; without one an Xvfb is started for this case
#   ZV_WINE_TIMEOUT   seconds for one run of the program (default 60)
#   ZV_WINE_KEEP=1    keep the work folder (prefix, relay trace, events.log)
#   ZV_WINE_SCREENSHOT=FILE  a PNG of the log window when the first run waits
#                     for the user to close it (needs ImageMagick's import)
set -uo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: $0 CASEDIR" >&2
  exit 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
case_dir=$(cd "$1" && pwd)
name=$(basename "$case_dir")
program=${ZV_WINE_PROGRAM:-$repo/build/mingw/zvpatch.exe}
helper=${ZV_WINE_HELPER:-$repo/build/mingw/zvwin.exe}
timeout_s=${ZV_WINE_TIMEOUT:-60}
for f in "$program" "$helper"; do
  [[ -f $f ]] || { echo "missing: $f (build the mingw preset first)" >&2; exit 2; }
done

# A case under tests/wine/cases that names no package of its own overrides
# the simulator case of the same name; one that has its own is complete.
override=""
if [[ $case_dir == "$here/cases/"* ]]; then
  if [[ ! -e $case_dir/package && ! -e $case_dir/args ]]; then
    override=$case_dir
    case_dir=$repo/tests/scenarios/cases/$name
  fi
elif [[ -d $here/cases/$name ]]; then
  override=$here/cases/$name
fi
export ZV_WINE_OVERRIDE=$override
if [[ -n $override && -f $override/skip ]]; then
  echo "scenario $name: skipped: $(head -n 1 "$override/skip")"
  exit 0
fi

# case_file REL: the override of a case file, else the case's own.
case_file() {
  if [[ -n $override && -e $override/$1 ]]; then
    echo "$override/$1"
  elif [[ -e $case_dir/$1 ]]; then
    echo "$case_dir/$1"
  fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/zvwine.XXXXXX")
prefix=$work/prefix
xvfb_pid=""
run_pid=""
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml=,winemenubuilder.exe=d'
export WINEPREFIX=$prefix

cleanup() {
  if [[ -n $run_pid ]] && kill -0 "$run_pid" 2>/dev/null; then kill "$run_pid" 2>/dev/null; fi
  [[ -d $prefix ]] && wineserver -k >/dev/null 2>&1
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  if [[ ${ZV_WINE_KEEP:-0} == 1 ]]; then
    echo "work folder kept: $work" >&2
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT

failures=0
label=$name
fail() {
  echo "FAILED [$label]: $*" >&2
  failures=$((failures + 1))
}

# --- the display and the prefix ----------------------------------------------
if [[ -z ${DISPLAY:-} ]]; then
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  exec 3>&-
  for ((i = 0; i < 100; i++)); do [[ -s $work/display ]] && break; sleep 0.05; done
  [[ -s $work/display ]] || { echo "Xvfb did not start" >&2; exit 1; }
  display=$(head -n 1 "$work/display")
  export DISPLAY=:$display
fi
template=${ZV_WINE_TEMPLATE:-$repo/build/wine/prefix}
ZV_WINE_PREFIX=$template "$repo/scripts/wine-prefix.sh" || exit 1
cp -a "$template" "$prefix"

# One server for the whole case: each fresh server start would do the
# machine's restart work on its own.
wineserver -p </dev/null >/dev/null 2>&1
# The services and the desktop (explorer) start with the first console and
# window processes and keep their descriptors: start them here, silently,
# so that they never write into the program's relay trace.
zvwin() { wine "$helper" "$@"; }
machine_ini=$(case_file machine/machine.ini)
version=win98
[[ -n $machine_ini ]] && version=$(sed -n 's/^[[:space:]]*Version[[:space:]]*=[[:space:]]*\([A-Za-z0-9]*\).*/\1/p' "$machine_ini" | head -n 1 | tr 'A-Z' 'a-z')
# Wine has no Win32s; its Windows 3.1 reports the same platform.
[[ $version == win32s ]] && version=win31
{
  wine reg add 'HKCU\Software\Wine' /v Version /d "$version" /f
  wine reg add 'HKCU\Environment' /v TEMP /d 'C:\ZVTEMP' /f
  wine reg add 'HKCU\Environment' /v TMP /d 'C:\ZVTEMP' /f
  # Only the calls that show what the simulator writes to events.log.
  wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d \
    'user32.GetMessageA;user32.PostMessageA;gdi32.TextOutA;user32.BeginPaint;user32.ExitWindowsEx;advapi32.AdjustTokenPrivileges;kernelbase.AdjustTokenPrivileges' /f
  zvwin find '#32770' 'no such window' 0
} </dev/null >/dev/null 2>&1
mkdir -p "$prefix/drive_c/ZVTEMP"

# --- the machine and the package ---------------------------------------------
python3 "$here/wine_case.py" seed "$case_dir" "$prefix" || exit 1
exe=UPD
pf=$(case_file program)
[[ -n $pf ]] && exe=$(head -n 1 "$pf" | tr -d '\r\n')
pkg=$prefix/drive_c/PKG
cp "$program" "$pkg/$exe.EXE"
if [[ -z $(find "$pkg" -maxdepth 1 -iname "$exe.MSG" -print -quit) ]]; then
  cp "$repo/tests/scenarios/cases/common/UPD.MSG" "$pkg/$exe.MSG"
fi
find "$pkg" -type f -exec touch -t 199906011200 {} +
reg_seed=$(case_file machine/registry.reg)
if [[ -n $reg_seed ]]; then
  wine regedit /s "Z:${reg_seed//\//\\}" </dev/null >/dev/null 2>&1 || fail "regedit could not import $reg_seed"
fi
mapfile -t reg_keys < <(python3 "$here/wine_case.py" keys "$case_dir")

# Paths of the Unix side as the Windows side sees them.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
file_list() { (cd "$prefix" && find drive_c -type f -not -path 'drive_c/PKG/*' | LC_ALL=C sort); }

# shoot FILE: a PNG of the log window as it is now (ImageMagick's import).
shoot() {
  local w h x y
  read -r w h x y < <(zvwin rect 'Zevra Patch' 'Patch Upgrade' 5000 </dev/null 2>/dev/null) || return 1
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "png:$1"
}

# --- one run -------------------------------------------------------------------
# run_step DIR LABEL: the run of the case folder, or of its rerun/ folder.
run_step() {
  local step=$1 before=$failures line status
  local -a argv=() answers=()
  local sdir=${step:+$step/}
  label=$name${step:+/$step}
  rm -f "$work/events.log" "$work/done" "$work/relay" "$work/stdout" "$work/painted"
  python3 "$here/wine_case.py" stamps "$case_dir" "$step" "$prefix" || fail "stamps"
  local f
  f=$(case_file "${sdir}args")
  if [[ -n $f ]]; then
    IFS= read -r line <"$f" || true
    read -r -a argv <<<"${line%$'\r'}" || true
  fi
  f=$(case_file "${sdir}answers")
  if [[ -n $f ]]; then
    IFS=, read -r -a answers < <(head -n 1 "$f" | tr -d '\r\n ') || true
  fi
  zvwin reg "${reg_keys[@]}" </dev/null >"$work/reg.before" 2>/dev/null
  file_list >"$work/files.before"

  # The program: C:\ is the current folder, as the simulator's runs start in
  # the folder that holds the package folder.
  (
    cd "$prefix/drive_c" || exit 1
    WINEDEBUG=-all,+relay wine "C:\\PKG\\$exe.EXE" ${argv[@]+"${argv[@]}"} \
      </dev/null >"$work/stdout" 2>"$work/relay"
    echo $? >"$work/done.tmp"
    mv "$work/done.tmp" "$work/done"
  ) &
  run_pid=$!

  local deadline=$((SECONDS + timeout_s)) rc box answer style caption id closed=0
  while ((SECONDS < deadline)); do
    [[ -f $work/done ]] && break
    box=$(zvwin wait $(((deadline - SECONDS) * 1000)) "$(winpath "$work/done")" \
      "$(winpath "$work/relay")" 'Call user32.GetMessageA' </dev/null 2>/dev/null)
    rc=$?
    case $rc in
      10)
        IFS=$'\t' read -r _ style caption _ <<<"$box"
        answer=${answers[0]:-}
        answers=("${answers[@]:1}")
        if [[ $answer == close ]]; then
          printf '%s\tCLOSE\n' "$box" >>"$work/events.log"
          zvwin close 5000 </dev/null >/dev/null 2>&1 || fail "could not close the log window"
          printf 'window\tclosed-by-user\n' >>"$work/events.log"
          closed=1
          break
        fi
        if [[ $style == MB_YESNO ]]; then
          if [[ $answer == yes ]]; then id=6 answer=YES; else id=7 answer=NO; fi
        else
          id=1 answer=OK
        fi
        printf '%s\t%s\n' "$box" "$answer" >>"$work/events.log"
        zvwin press "$caption" "$id" 10000 </dev/null >/dev/null 2>&1 ||
          { fail "could not answer the box '$caption'"; break; }
        ;;
      30)
        # In the final message loop. A program that posted itself WM_DESTROY
        # or asked for the restart ends on its own; otherwise the window
        # stays open until the user closes it.
        if grep -qE 'Call user32\.(PostMessageA\([0-9a-f]+,00000002,|ExitWindowsEx\()' "$work/relay"; then
          break
        fi
        [[ ${answers[0]:-} == close ]] && answers=("${answers[@]:1}")
        # The final paint, before the window goes, for the window's text.
        zvwin repaint 5000 </dev/null >/dev/null 2>&1 && : >"$work/painted"
        if [[ -n ${ZV_WINE_SCREENSHOT:-} && -z $step ]]; then
          shoot "$ZV_WINE_SCREENSHOT" || fail "no screenshot"
        fi
        zvwin close 5000 </dev/null >/dev/null 2>&1 || fail "could not close the log window"
        printf 'window\tclosed-by-user\n' >>"$work/events.log"
        closed=1
        break
        ;;
      40) break ;;
      *) ;;
    esac
  done
  while ((SECONDS < deadline)) && [[ ! -f $work/done ]]; do
    zvwin wait $(((deadline - SECONDS) * 1000)) "$(winpath "$work/done")" </dev/null >/dev/null 2>&1
    [[ $? == 10 ]] && { fail "a box appeared after the window was closed"; break; }
  done
  if [[ ! -f $work/done ]]; then
    fail "timed out after ${timeout_s}s (a box that is never answered?)"
    kill "$run_pid" 2>/dev/null
  fi
  wait "$run_pid" 2>/dev/null
  run_pid=""
  status=$(cat "$work/done" 2>/dev/null || echo none)

  if grep -q 'Call user32.ExitWindowsEx(00000002' "$work/relay"; then
    # ExitWindowsEx hands the restart to a wineboot process, which ends the
    # program first and then does the restart work.
    zvwin gone wineboot.exe $((timeout_s * 1000)) </dev/null >/dev/null 2>&1 ||
      fail "the restart (wineboot) did not finish"
    # The privilege counts when it was asked for before the restart.
    if sed -n '1,/Call user32.ExitWindowsEx(/p' "$work/relay" | grep -q 'Call [a-z0-9]*\.AdjustTokenPrivileges('; then
      printf 'restart\tEWX_REBOOT\tprivilege\n' >>"$work/events.log"
    else
      printf 'restart\tEWX_REBOOT\tno-privilege\n' >>"$work/events.log"
    fi
  elif ((!closed)) && grep -qE 'Call user32\.PostMessageA\([0-9a-f]+,00000002,' "$work/relay"; then
    printf 'window\tclosed-by-program\n' >>"$work/events.log"
  fi

  local want_status=0
  f=$(case_file "${sdir}expect/status")
  [[ -n $f ]] && want_status=$(head -n 1 "$f" | tr -d '\r\n ')
  [[ $status == "$want_status" ]] || fail "exit status $status, expected $want_status"
  [[ -z $(ls -A "$prefix/drive_c/ZVTEMP") ]] || fail "left behind in TEMP: $(ls -A "$prefix/drive_c/ZVTEMP" | tr '\n' ' ')"

  # The next start of Windows, for a restart the user declined.
  if [[ -n $(case_file "${sdir}boot") ]]; then
    wine wineboot -r </dev/null >/dev/null 2>&1 || fail "wineboot -r failed"
  fi

  zvwin reg "${reg_keys[@]}" </dev/null >"$work/reg.after" 2>/dev/null
  file_list >"$work/files.after"
  python3 "$here/wine_case.py" check "$case_dir" "$step" "$prefix" "$work" 2>&1 |
    sed "s|^FAILED: |FAILED [$label]: |" >&2
  [[ ${PIPESTATUS[0]} == 0 ]] || failures=$((failures + 1))

  if ((failures != before)); then
    echo "--- events of [$label] ---" >&2
    cat "$work/events.log" >&2 2>/dev/null
    echo "--- program calls of [$label] ---" >&2
    grep -E '^[0-9a-f]+:(Call|Ret) +(user32|advapi32|kernelbase)\.' "$work/relay" >&2
  fi
  if [[ -n $step ]]; then
    mkdir -p "$work/$step" && cp "$work/relay" "$work/events.log" "$work/$step/" 2>/dev/null
  fi
}

run_step ""
if [[ -d $case_dir/rerun || ( -n $override && -d $override/rerun ) ]]; then
  run_step rerun
fi

if ((failures)); then
  echo "scenario $name: $failures check(s) failed" >&2
  exit 1
fi
echo "scenario $name: passed"
