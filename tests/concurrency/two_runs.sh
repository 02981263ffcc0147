#!/usr/bin/env bash
# two_runs.sh ZVPATCH ZVBOOT ZVPATCH_DIFF
# Two packages installed at once on one simulated machine, each making many
# changes to the same registry, INI file and WININIT.INI: one run waits for
# the other, and nothing either one did is lost. Then a run that finds the
# machine held for longer than it waits: zvpatch, zvboot and zvpatch-diff
# each refuse with a message and status 2, and change nothing.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 ZVPATCH ZVBOOT ZVPATCH_DIFF" >&2
  exit 2
fi
zvpatch=$1 zvboot=$2 zvdiff=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/zvtwo.XXXXXX")
trap 'rm -rf "$work"' EXIT
machine=$work/machine
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

mkdir -p "$machine/drive_c/WINDOWS" "$machine/drive_c/PROD"
printf '[Machine]\r\nVersion=win98\r\n' >"$machine/machine.ini"
printf 'REGEDIT4\r\n\r\n' >"$machine/registry.reg"
printf '[Zevra]\r\nroot=C:\\PROD\r\n' >"$machine/drive_c/WINDOWS/ZEVRA.INI"

# package P (A or B): 60 registry values, 40 INI keys, 30 replaced files.
make_package() {
  local p=$1 dir=$work/$1 i
  mkdir -p "$dir"
  cp "$zvpatch" "$dir/UPD"
  cp "$(dirname "${BASH_SOURCE[0]}")/../scenarios/cases/common/UPD.MSG" "$dir/"
  : >"$dir/ZVPATCH.001"
  printf '[CID]\r\nCID=1\r\nCIDInstall=1\r\n' >"$dir/UPD.RSP"
  {
    printf '[Patch]\r\nPatch=%s\r\nCondition0=FIX,7,0,Zevra,root\r\n\r\n[FIX]\r\n' "$p"
    for i in $(seq 1 60); do printf 'REG%d=HKLM,SOFTWARE\\\\%s,V%d,%s%d\r\n' "$i" "$p" "$i" "$p" "$i"; done
    for i in $(seq 1 40); do printf 'INI%d=WINDOWS,SHARED.INI,%s,K%d,%s%d\r\n' "$i" "$p" "$i" "$p" "$i"; done
    for i in $(seq 1 30); do printf 'FILE%d=ZEVRA,%s%02d.DLL\r\n' "$i" "$p" "$i"; done
  } >"$dir/UPD.DAT"
  for i in $(seq -w 1 30); do
    echo "new $p$i" >"$dir/$p$i.DLL"
    echo "old $p$i" >"$machine/drive_c/PROD/$p$i.DLL"
  done
  touch -t 200001011200 "$dir"/*.DLL
  touch -t 199901011200 "$machine/drive_c/PROD"/*.DLL
}
make_package A
make_package B

# --- both at once ----------------------------------------------------------
(cd "$work" && ZVPATCH_MACHINE=$machine ./A/UPD </dev/null >"$work/a.out" 2>&1) &
a=$!
(cd "$work" && ZVPATCH_MACHINE=$machine ./B/UPD </dev/null >"$work/b.out" 2>&1) &
b=$!
wait "$a" || fail "run A: status $? $(cat "$work/a.out")"
wait "$b" || fail "run B: status $? $(cat "$work/b.out")"
for p in A B; do
  grep -q '^M7 installed' "$work/$(echo "$p" | tr AB ab).out" ||
    fail "run $p did not finish: $(cat "$work/$(echo "$p" | tr AB ab).out")"
  for i in $(seq 1 60); do
    grep -q "^\"V$i\"=\"$p$i\"" "$machine/registry.reg" || fail "registry value $p V$i lost"
  done
  for i in $(seq 1 40); do
    grep -q "^K$i=$p$i" "$machine/drive_c/WINDOWS/SHARED.INI" || fail "INI key $p K$i lost"
  done
done
"$zvboot" "$machine" >"$work/boot.out" || fail "zvboot: $(cat "$work/boot.out")"
for p in A B; do
  for i in $(seq -w 1 30); do
    [ "$(cat "$machine/drive_c/PROD/$p$i.DLL")" = "new $p$i" ] || fail "$p$i.DLL not replaced"
  done
done

# --- a machine held by another run -----------------------------------------
cp "$machine/registry.reg" "$work/registry.before"
exec 9>"$machine/machine.lock"
flock 9
for tool in zvpatch zvboot zvpatch-diff; do
  status=0
  case $tool in
    zvpatch) (cd "$work" && ZVPATCH_LOCK_WAIT=1 ZVPATCH_MACHINE=$machine ./A/UPD </dev/null \
      >"$work/held.out" 2>&1) || status=$? ;;
    zvboot) ZVPATCH_LOCK_WAIT=1 "$zvboot" "$machine" >"$work/held.out" 2>&1 || status=$? ;;
    zvpatch-diff) ZVPATCH_LOCK_WAIT=1 "$zvdiff" save "$machine" "$work/snap" \
      >"$work/held.out" 2>&1 || status=$? ;;
  esac
  [ "$status" -eq 2 ] || fail "$tool on a machine in use: status $status"
  grep -q "^$tool: .*is in use by another run" "$work/held.out" ||
    fail "$tool on a machine in use said: $(cat "$work/held.out")"
done
exec 9>&-
cmp -s "$work/registry.before" "$machine/registry.reg" || fail "a refused run changed the registry"
echo "two_runs: two runs at once lost nothing; a machine in use is refused"
