#!/usr/bin/env bash
# escapes.sh ZVPATCH ZVBOOT
# Hostile packages and machine images on the simulated machine: each tries
# to reach a folder of the host that nobody handed over (through
# WININIT.INI, the delayed moves, the log name, a link inside the machine, a
# UNC path). After each run and the next start, that folder must be exactly
# as it was. A FINDFILE through links back to a parent must end.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 ZVPATCH ZVBOOT" >&2
  exit 2
fi
zvpatch=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
zvboot=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/zvsandbox.XXXXXX")
trap 'rm -rf "$work"' EXIT
host=$work/host  # watched: nobody hands it over
catalog=$(cd "$(dirname "${BASH_SOURCE[0]}")/../scenarios/cases/common" && pwd)/UPD.MSG
failures=0
fail() {
  echo "FAILED [$name]: $*" >&2
  failures=$((failures + 1))
}

# Everything about the watched folder: names, sizes, times, contents.
watch() { (cd "$host" && find . -printf '%p %s %T@ %y\n' | sort && find . -type f -exec md5sum {} + | sort); }

# fresh VERSION: a machine with the product in C:\PROD, and a package.
fresh() {
  rm -rf "$work/machine" "$work/pkg" "$host"
  mkdir -p "$work/machine/drive_c/WINDOWS" "$work/machine/drive_c/PROD" "$work/pkg" "$host/dir"
  printf '[Machine]\r\nVersion=%s\r\n' "$1" >"$work/machine/machine.ini"
  printf 'REGEDIT4\r\n\r\n' >"$work/machine/registry.reg"
  printf '[Zevra]\r\nroot=C:\\PROD\r\n' >"$work/machine/drive_c/WINDOWS/ZEVRA.INI"
  echo "precious" >"$host/dir/precious.txt"
  echo "other" >"$host/dir/other.txt"
  cp "$zvpatch" "$work/pkg/UPD"
  cp "$catalog" "$work/pkg/"
  : >"$work/pkg/ZVPATCH.001"
  printf '[CID]\r\nCID=1\r\nCIDInstall=1\r\n' >"$work/pkg/UPD.RSP"
  before=$(watch)
}
# install LINES...: the package's work section, installed, then the next start.
install() {
  {
    printf '[Patch]\r\nPatch=HOSTILE\r\n%s\r\n' "${settings:-}"
    printf 'Condition0=FIX,7,0,Zevra,root\r\nCondition1=FIX,8,0,Zevra,root\r\n\r\n[FIX]\r\n'
    printf '%s\r\n' "$@"
  } >"$work/pkg/UPD.DAT"
  (cd "$work" && timeout 20 env ZVPATCH_MACHINE="$work/machine" ./pkg/UPD </dev/null \
    >"$work/out" 2>&1) || fail "the install ended with status $?: $(tail -3 "$work/out")"
  timeout 20 "$zvboot" "$work/machine" >"$work/boot" 2>&1 || true
  [ "$(watch)" = "$before" ] || fail "the host folder changed: $(diff <(echo "$before") <(watch) | head -5)"
}

name="WININIT.INI edited to delete and move host files"
fresh win98
install "INI1=WINDOWS,WININIT.INI,rename,NUL,$host/dir/precious.txt" \
  "INI2=WINDOWS,WININIT.INI,rename,C:\\\\STOLEN.TXT,$host/dir/other.txt" \
  "INI3=WINDOWS,WININIT.INI,rename,\\\\\\\\server\\\\share\\\\x,C:\\\\PROD\\\\ZEVRA.INI"
grep -q "precious.txt" "$work/machine/drive_c/WINDOWS/WININIT.BAK" &&
  grep -q "other.txt" "$work/machine/drive_c/WINDOWS/WININIT.BAK" ||
  fail "the lines did not reach WININIT.INI: $(cat "$work/boot")"

name="delayed moves in the registry image"
fresh nt40
multi() { # the hex(7) bytes of the strings given, as REGEDIT4 writes them
  local s out=""
  for s in "$@"; do out+=$(printf '%s' "$s" | od -An -tx1 | tr -s ' \n' ',,')"00,"; done
  printf '%s00' "${out#,}" | sed 's/,,/,/g'
}
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager]\r\n"PendingFileRenameOperations"=hex(7):%s\r\n\r\n' \
  "$(multi "\\??\\$host/dir/precious.txt" "" "$host/dir/other.txt" "!\\??\\C:\\STOLEN.TXT")" \
  >"$work/machine/registry.reg"
timeout 20 "$zvboot" "$work/machine" >"$work/boot" 2>&1 || true
[ "$(watch)" = "$before" ] || fail "the host folder changed: $(cat "$work/boot")"

name="a log file named by the package"
fresh win98
settings="LogFile=$host/dir/precious.txt" install "REBOOT1=0"
settings=""

name="a link inside the machine to a host folder"
fresh win98
ln -s "$host/dir" "$work/machine/drive_c/PROD/LINK"
echo "replaced" >"$work/pkg/precious.txt"
install "FINDFILE1=ZEVRA,precious.txt,,,1,1" "FILE2=ZEVRA,precious.txt,LINK,,1,1" \
  "ERASE1=ZEVRA,LINK\\\\other.txt"

name="links back to a parent below a FINDFILE folder"
fresh win98
mkdir -p "$work/machine/drive_c/PROD/A/B"
ln -s .. "$work/machine/drive_c/PROD/A/B/UP1"
ln -s ../.. "$work/machine/drive_c/PROD/A/B/UP2"
echo "new" >"$work/pkg/X.DLL"
install "FINDFILE1=ZEVRA,X.DLL"

if [ "$failures" -ne 0 ]; then
  echo "escapes: $failures failure(s)" >&2
  exit 1
fi
echo "escapes: no package or machine image reached the host"
