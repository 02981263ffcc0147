#!/usr/bin/env bash
# scale_bench.sh PROGRAM [SIZES...]
# Installs generated packages of N FILE entries (half new files, half
# replacing older ones, so half the entries record restart work) and one
# FINDFILE over a tree of 10,000 directories on fresh simulated machines,
# unattended, and prints the wall time and peak memory of each run.
set -euo pipefail
program=$(realpath "$1")
shift
sizes=("${@:-100 1000 10000}")
[ $# -gt 0 ] || sizes=(100 1000 10000)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# machine NAME: a Windows 98 machine with the product in C:\PROD.
machine() {
  local m=$work/$1/machine
  mkdir -p "$m/drive_c/WINDOWS" "$m/drive_c/PROD"
  printf '[Machine]\r\nVersion=win98\r\n' >"$m/machine.ini"
  printf '[Zevra]\r\nroot=C:\\PROD\r\n' >"$m/drive_c/WINDOWS/ZEVRA.INI"
  echo "$m"
}

# package NAME: the program and its files, run unattended.
package() {
  local p=$work/$1/pkg
  mkdir -p "$p"
  cp "$program" "$p/UPD"
  for n in $(seq 1 47); do echo "M$n"; done >"$p/UPD.MSG"
  printf '[CID]\r\nCID=1\r\nCIDInstall=1\r\n' >"$p/UPD.RSP"
  : >"$p/ZVPATCH.001"
  echo "$p"
}

# measure NAME: runs the package; prints seconds and peak KiB.
measure() {
  local dir=$work/$1
  local t0 t1
  t0=$(date +%s.%N)
  (cd "$dir" && ZVPATCH_MACHINE=$dir/machine TEMP= /usr/bin/time -f '%M' -o "$dir/rss" \
    ./pkg/UPD </dev/null >/dev/null 2>&1)
  t1=$(date +%s.%N)
  printf '%8.2f s  %7d KiB' "$(awk "BEGIN { print $t1 - $t0 }")" "$(cat "$dir/rss")"
}

for n in "${sizes[@]}"; do
  name=files$n
  m=$(machine "$name")
  p=$(package "$name")
  {
    printf '[Patch]\r\nCondition0=FIX,7,0,Zevra,root\r\n[FIX]\r\n'
    for i in $(seq 1 "$n"); do printf 'FILE%d=ZEVRA,F%05d.DLL\r\n' "$i" "$i"; done
  } >"$p/UPD.DAT"
  for i in $(seq 1 "$n"); do echo "new $i" >"$p/$(printf 'F%05d.DLL' "$i")"; done
  for i in $(seq 1 2 "$n"); do echo "old $i" >"$m/drive_c/PROD/$(printf 'F%05d.DLL' "$i")"; done
  touch -t 199901010000 "$m"/drive_c/PROD/*.DLL 2>/dev/null || true
  printf '%-28s %s\n' "$n FILE entries" "$(measure "$name")"
done

name=findfile
m=$(machine "$name")
p=$(package "$name")
printf '[Patch]\r\nCondition0=FIX,7,0,Zevra,root\r\n[FIX]\r\nFINDFILE1=ZEVRA,X.DLL\r\n' >"$p/UPD.DAT"
echo new >"$p/X.DLL"
for a in $(seq 1 100); do
  for b in $(seq 1 100); do mkdir -p "$m/drive_c/PROD/D$a/E$b"; done
  echo old >"$m/drive_c/PROD/D$a/X.DLL"
done
touch -t 199901010000 "$m"/drive_c/PROD/D*/X.DLL
printf '%-28s %s\n' "FINDFILE, 10,100 dirs" "$(measure "$name")"
