#!/usr/bin/env bash
# scale_bench.sh PROGRAM [SIZES...]
# Installs generated packages on fresh simulated machines, unattended, and
# prints the wall time and peak memory of each run, with the ratio to the
# run of the first size (default sizes 1000 and 10000):
#   N FILE entries: half new files, half replacing older ones, so half the
#     entries record restart work, all in one directory;
#   N INI entries: N keys written into one INI file, one at a time;
#   one FINDFILE over a tree of 10,100 directories.
set -euo pipefail
program=$(realpath "$1")
shift
sizes=("$@")
[ $# -gt 0 ] || sizes=(1000 10000)
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

# measure NAME: runs the package; sets seconds and kib.
measure() {
  local dir=$work/$1 t0 t1
  t0=$(date +%s.%N)
  (cd "$dir" && ZVPATCH_MACHINE=$dir/machine TEMP= /usr/bin/time -f '%M' -o "$dir/rss" \
    ./pkg/UPD </dev/null >/dev/null 2>&1)
  t1=$(date +%s.%N)
  seconds=$(awk "BEGIN { printf \"%.2f\", $t1 - $t0 }")
  kib=$(cat "$dir/rss")
}

# report WHAT FIRST_SECONDS FIRST_KIB: one line, with the ratios to the
# first size when there is one.
report() {
  local ratio=""
  if [ -n "$2" ]; then
    ratio=$(awk -v s="$seconds" -v s0="$2" -v k="$kib" -v k0="$3" \
      'BEGIN { printf "  x%.1f time  x%.1f memory", s / (s0 > 0.005 ? s0 : 0.005), k / k0 }')
  fi
  printf '%-26s %8s s %8s KiB%s\n' "$1" "$seconds" "$kib" "$ratio"
}

first_s="" first_k=""
for n in "${sizes[@]}"; do
  name=files$n
  m=$(machine "$name")
  p=$(package "$name")
  {
    printf '[Patch]\r\nCondition0=FIX,7,0,Zevra,root\r\n[FIX]\r\n'
    for ((i = 1; i <= n; i++)); do printf 'FILE%d=ZEVRA,F%05d.DLL\r\n' "$i" "$i"; done
  } >"$p/UPD.DAT"
  for ((i = 1; i <= n; i++)); do
    printf -v f 'F%05d.DLL' "$i"
    echo "new $i" >"$p/$f"
    if ((i % 2)); then echo "old $i" >"$m/drive_c/PROD/$f"; fi
  done
  touch -t 199901010000 "$m"/drive_c/PROD/*.DLL 2>/dev/null || true
  measure "$name"
  report "$n FILE entries" "$first_s" "$first_k"
  [ -n "$first_s" ] || { first_s=$seconds first_k=$kib; }
done

first_s="" first_k=""
for n in "${sizes[@]}"; do
  name=ini$n
  machine "$name" >/dev/null
  p=$(package "$name")
  {
    printf '[Patch]\r\nCondition0=FIX,7,0,Zevra,root\r\n[FIX]\r\n'
    for ((i = 1; i <= n; i++)); do printf 'INI%d=ZEVRA,BIG.INI,Keys,K%05d,%d\r\n' "$i" "$i" "$i"; done
  } >"$p/UPD.DAT"
  measure "$name"
  report "$n INI entries" "$first_s" "$first_k"
  [ -n "$first_s" ] || { first_s=$seconds first_k=$kib; }
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
measure "$name"
report "FINDFILE, 10,100 dirs" "" ""
