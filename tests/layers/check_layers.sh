#!/usr/bin/env bash
# check_layers.sh SRC_DIR: every #include "room/..." of a file under
# SRC_DIR/<room>/ names a room that room may use. The arrows point down:
#   zvpatch > shell > engine > files > profile > platform > base
#   simulator > platform;  tools > engine, files, simulator
set -euo pipefail
src=${1:?usage: check_layers.sh SRC_DIR}
declare -A uses=(
  [base]="base"
  [platform]="base platform"
  [profile]="base platform profile"
  [files]="base platform profile files"
  [engine]="base platform profile files engine"
  [shell]="base platform profile files engine shell"
  [simulator]="base platform simulator"
  [tools]="base platform profile files engine simulator tools"
  [zvpatch]="base platform shell simulator zvpatch"
)
bad=0
while IFS= read -r -d '' file; do
  room=${file#"$src"/}
  room=${room%%/*}
  allowed=${uses[$room]:-}
  if [ -z "$allowed" ]; then
    echo "$file: the room $room has no place in the layers" >&2
    bad=1
    continue
  fi
  while IFS=: read -r line included; do
    target=${included%%/*}
    case " $allowed " in
    *" $target "*) ;;
    *)
      echo "$file:$line: $room may not include $included" >&2
      bad=1
      ;;
    esac
  done < <(awk -F'"' '/^[ \t]*#[ \t]*include[ \t]*"[a-z_]+\// { print FNR ":" $2 }' "$file")
done < <(find "$src" -mindepth 2 \( -name '*.cpp' -o -name '*.h' \) -print0)
[ $bad -eq 0 ] && echo "layers: every include points down"
exit $bad
