#!/usr/bin/env bash
# registry_scale.sh PROGRAM_DIR [VALUES_SMALL VALUES_LARGE KEYS_SMALL KEYS_LARGE]
# Times loading a big registry.reg (zvboot on a machine with no work left
# for the restart loads the registry once and changes nothing) and
# zvpatch-diff show after a few changes to it, for a key holding many
# values and for a registry of many keys (default 10000 40000 10000 100000).
# Prints seconds and peak memory, and on the larger size the ratios to the
# smaller one. RUNS=N keeps the fastest of N runs of each (default 1).
set -euo pipefail
export LC_ALL=C
bin=$(realpath "$1")
shift
sizes=(10000 40000 10000 100000)
[ $# -eq 0 ] || sizes=("$@")
[ ${#sizes[@]} -eq 4 ] || {
  echo "usage: $0 PROGRAM_DIR [VALUES_SMALL VALUES_LARGE KEYS_SMALL KEYS_LARGE]" >&2
  exit 2
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# machine NAME: an empty Windows 98 machine; prints its directory.
machine() {
  local m=$work/$1/machine
  mkdir -p "$m/drive_c/WINDOWS"
  printf '[Machine]\r\nVersion=win98\r\n' >"$m/machine.ini"
  echo "$m"
}

# values N: one key of N values, strings and dwords by turns.
values() {
  awk -v n="$1" 'BEGIN {
    printf "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zevra\\Big]\r\n"
    for (i = 1; i <= n; i++) {
      if (i % 2) printf "\"Value%06d\"=\"data of %d\"\r\n", i, i
      else printf "\"Value%06d\"=dword:%08x\r\n", i, i
    }
    printf "\r\n"
  }'
}

# keys N: N keys of two values each, a hundred to a group.
keys() {
  awk -v n="$1" 'BEGIN {
    printf "REGEDIT4\r\n\r\n"
    for (i = 1; i <= n; i++) {
      printf "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zevra\\Group%04d\\Key%06d]\r\n", int(i / 100), i
      printf "\"Name\"=\"key %d\"\r\n\"Size\"=dword:%08x\r\n\r\n", i, i
    }
  }'
}

# change: a value changed, one removed, one added and a key added; the
# second key block (with its values) removed.
change() {
  awk '
    /^\[/ { blocks++ }
    blocks == 2 { next }
    /^"Value000005"=/ { print "\"Value000005\"=\"changed\"\r"; next }
    /^"Value000010"=/ { next }
    /^"Size"=dword:00000007/ { print "\"Size\"=dword:0000beef\r"; next }
    { print }
    END {
      printf "\"Added\"=\"new\"\r\n\r\n"
      printf "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zevra\\New\\Key]\r\n\"A\"=dword:00000001\r\n\r\n"
    }' "$1" >"$1.new"
  mv "$1.new" "$1"
}

# run OUT COMMAND...: runs the command under /usr/bin/time; OUT gets
# "seconds peakKiB" of the fastest run. %e counts hundredths only, too
# coarse for the small sizes: the seconds are taken around it.
run() {
  local out=$1 t0 t1 i
  shift
  : >"$out.all"
  for ((i = 0; i < ${RUNS:-1}; i++)); do
    t0=$EPOCHREALTIME
    /usr/bin/time -f '%e %M' -o "$out" "$@" >/dev/null
    t1=$EPOCHREALTIME
    awk -v t0="$t0" -v t1="$t1" '{ printf "%.3f %d\n", t1 - t0, $2 }' "$out" >>"$out.all"
  done
  sort -n "$out.all" | head -n 1 >"$out"
}

# report WHAT SIZE FIGURES [SMALLER_FIGURES]
report() {
  awk -v what="$1" -v n="$2" -v f="$3" -v g="${4:-}" 'BEGIN {
    split(f, a, " ")
    printf "%-36s %7d %8.3f s %9d KiB", what, n, a[1], a[2]
    if (g != "") {
      split(g, b, " ")
      t = b[1] > 0.001 ? b[1] : 0.001
      printf "  x%.1f time  x%.1f memory", a[1] / t, a[2] / b[2]
    }
    printf "\n"
  }'
}

# measure KIND N: prints "load-figures|show-figures".
measure() {
  local kind=$1 n=$2 name=$1$2
  local m
  m=$(machine "$name")
  "$kind" "$n" >"$m/registry.reg"
  run "$work/$name/load" "$bin/zvboot" "$m"
  "$bin/zvpatch-diff" save "$m" "$work/$name/snapshot"
  change "$m/registry.reg"
  run "$work/$name/show" "$bin/zvpatch-diff" show "$work/$name/snapshot" "$m"
  echo "$(cat "$work/$name/load")|$(cat "$work/$name/show")"
}

for kind in values keys; do
  if [ "$kind" = values ]; then
    small=${sizes[0]} large=${sizes[1]} label="values in one key"
  else
    small=${sizes[2]} large=${sizes[3]} label="keys"
  fi
  s=$(measure "$kind" "$small")
  l=$(measure "$kind" "$large")
  report "registry load, $label" "$small" "${s%|*}"
  report "registry load, $label" "$large" "${l%|*}" "${s%|*}"
  report "zvpatch-diff show, $label" "$small" "${s#*|}"
  report "zvpatch-diff show, $label" "$large" "${l#*|}" "${s#*|}"
done
