#!/usr/bin/env bash
# kill_install.sh ZVPATCH ZVBOOT [KILLS]
# Kills an install at random moments (SIGKILL, as a crash or a power cut
# would end it), then starts the machine again with zvboot, itself killed
# once in a while and run again. After every start each product file must
# be its old version or its new one, whole, under its own name. The
# moments come from a fixed seed, so a failure can be repeated.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 ZVPATCH ZVBOOT [KILLS]" >&2
  exit 2
fi
zvpatch=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
zvboot=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
kills=${3:-30}
work=$(mktemp -d "${TMPDIR:-/tmp}/zvkill.XXXXXX")
trap 'rm -rf "$work"' EXIT
RANDOM=1985
failures=0

# --- the package and the machine ------------------------------------------
# Replaced files (with backup), new files, a compressed file replacing an
# installed one and a new one, an INI edit and a registry value: enough
# work that a kill can land in the middle of each kind.
pkg=$work/pkg
mkdir -p "$pkg" "$work/ref"
cp "$zvpatch" "$pkg/UPD"
cp "$(dirname "${BASH_SOURCE[0]}")/../scenarios/cases/common/UPD.MSG" "$pkg/"
names=()
{
  printf '[Patch]\r\nPatch=KILLED\r\nAllowReinstall=1\r\nBackup=1\r\n'
  printf 'Condition0=FIX,7,0,Zevra,root\r\nCondition1=FIX,8,0,Zevra,root\r\n\r\n[FIX]\r\n'
  for i in $(seq -w 1 12); do
    printf 'FILE%s=ZEVRA,R%s.DLL\r\nFILE1%s=ZEVRA,N%s.DLL\r\n' "$i" "$i" "$i" "$i"
    names+=("R$i.DLL" "N$i.DLL")
  done
  printf 'FILE30=ZEVRA,C1.DLL,,,0,1,1\r\nFILE31=ZEVRA,C2.DLL,,,0,1,1\r\n'
  printf 'INI1=ZEVRA,APP.INI,Settings,Level,2\r\n'
  printf 'REG1=HKLM,SOFTWARE\\\\QEL,Level,2\r\n'
} >"$pkg/UPD.DAT"
names+=(C1.DLL C2.DLL)
printf '[CID]\r\nCID=1\r\nCIDInstall=1\r\n' >"$pkg/UPD.RSP"
: >"$pkg/ZVPATCH.001"
content() { # NAME VERSION: a file of about 100 KB that tells both apart
  local line
  line=$(printf '%s %s %0100d' "$1" "$2" 0)
  for _ in $(seq 1000); do echo "$line"; done
}
for name in "${names[@]}"; do content "$name" new >"$work/ref/$name.new"; done
for name in C1.DLL C2.DLL; do
  cp "$work/ref/$name.new" "$work/$name"
  (cd "$work" && ZVPATCH_MACHINE=$work/scratch "$pkg/UPD" -c "$name" </dev/null >/dev/null 2>&1)
  mv "$work/${name%?}_" "$pkg/"
  rm "$work/$name"
done
for name in "${names[@]}"; do
  [ -f "$pkg/$name" ] || [ "${name:0:1}" = C ] || cp "$work/ref/$name.new" "$pkg/$name"
done
touch -t 200001011200 "$pkg"/*.DLL

fresh_machine() { # DIR VERSION
  local m=$1 prod
  prod=$m/drive_c/PROD
  mkdir -p "$m/drive_c/WINDOWS" "$prod"
  printf '[Machine]\r\nVersion=%s\r\n' "$2" >"$m/machine.ini"
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\QEL]\r\n"Level"="1"\r\n\r\n' \
    >"$m/registry.reg"
  printf '[Zevra]\r\nroot=C:\\PROD\r\n' >"$m/drive_c/WINDOWS/ZEVRA.INI"
  printf '[Settings]\r\nLevel=1\r\n' >"$prod/APP.INI"
  for name in "${names[@]}"; do
    case $name in N*) continue ;; esac
    content "$name" old >"$prod/$name"
  done
  touch -t 199901011200 "$prod"/*
}
for name in "${names[@]}"; do content "$name" old >"$work/ref/$name.old"; done

fail() {
  echo "FAILED (kill $k, $version, install killed after ${delay}s$boot_note): $*" >&2
  failures=$((failures + 1))
}

# check MACHINE: every product file is whole, old or new, after the start.
check() {
  local prod=$1/drive_c/PROD name got level
  for name in "${names[@]}"; do
    if [ ! -e "$prod/$name" ]; then
      case $name in N*) continue ;; esac
      fail "$name is missing"
    elif ! cmp -s "$prod/$name" "$work/ref/$name.new" && ! cmp -s "$prod/$name" "$work/ref/$name.old"; then
      fail "$name is neither its old version nor its new one ($(stat -c %s "$prod/$name") bytes)"
    fi
    if [ -e "$prod/${name%.*}.OLD" ] && ! cmp -s "$prod/${name%.*}.OLD" "$work/ref/$name.old"; then
      fail "${name%.*}.OLD is not the old $name"
    fi
  done
  level=$(tr -d '\r' <"$prod/APP.INI" | sed -n 's/^Level=//p')
  case $level in 1 | 2) ;; *) fail "APP.INI is cut or lost: Level=$level" ;; esac
  got=$(tr -d '\r' <"$1/registry.reg" | grep -c '^"Level"="[12]"$' || true)
  [ "$got" = 1 ] || fail "registry.reg lost its value"
}

# --- how long an install takes, to spread the kills over it ---------------
fresh_machine "$work/calibrate" win98
start=$(date +%s%N)
(cd "$work" && ZVPATCH_MACHINE=$work/calibrate "$pkg/UPD" </dev/null >/dev/null 2>&1)
took=$((($(date +%s%N) - start) / 1000))  # microseconds
check "$work/calibrate"
[ "$failures" -eq 0 ] || { echo "the install itself fails" >&2; exit 1; }

for k in $(seq "$kills"); do
  version=win98
  [ $((k % 2)) -eq 0 ] && version=nt40
  machine=$work/m$k
  fresh_machine "$machine" "$version"
  micros=$((RANDOM * took * 12 / 10 / 32768))
  delay=$(printf '%d.%06d' $((micros / 1000000)) $((micros % 1000000)))
  boot_note=""
  (cd "$work" && exec env ZVPATCH_MACHINE="$machine" "$pkg/UPD" </dev/null >/dev/null 2>&1) &
  pid=$!
  sleep "$delay"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  # Every third start is cut off too, then started again.
  if [ $((k % 3)) -eq 0 ]; then
    boot_note=", zvboot killed once"
    "$zvboot" "$machine" >/dev/null 2>&1 &
    pid=$!
    sleep "0.00$((RANDOM % 10))"
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  "$zvboot" "$machine" >"$work/boot.out" 2>&1 || fail "zvboot failed: $(cat "$work/boot.out")"
  check "$machine"
  rm -rf "$machine"
done

if [ "$failures" -ne 0 ]; then
  echo "kill_install: $failures failure(s) in $kills kills" >&2
  exit 1
fi
echo "kill_install: $kills kills, every product file whole (an install takes ${took} us)"
