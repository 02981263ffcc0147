#!/usr/bin/env bash
# Compress and decompress from the command line: the file layout, the
# stored name and stamp, damaged input, and the code stream checked against
# the Unix compress program (ncompress) in both directions. The headers
# differ (23 bytes here, 3 there), the code streams are interchangeable.
source "$(dirname "$0")/lib.sh" "$1"
T=$'\t'
if ! command -v compress >/dev/null; then
  echo "compress (ncompress) is not installed: scenario skipped"
  exit 0
fi
package UPD
: >"$zv_work/pkg/UPD.MSG"
data=$zv_work/data
mkdir -p "$data"

# The inputs: text, a program, random bytes, nothing, one byte, and random
# bytes then text, which fills the table and makes the encoder clear it.
awk 'BEGIN {
  srand(7)
  split("patch file the install version of update system and directory", w, " ")
  for (i = 0; i < 30000; i++) printf "%s%s", w[1 + int(rand() * 10)], (rand() < 0.1 ? ".\r\n" : " ")
}' >"$data/TEXT.TXT"
head -c 400000 "$zv_program" >"$data/PROGRAM.EXE"
head -c 100000 /dev/urandom >"$data/RANDOM.BIN"
: >"$data/EMPTY.DAT"
printf 'A' >"$data/ONE.DAT"
printf 'AB' >"$data/TWO.DAT"
{ head -c 300000 /dev/urandom; cat "$data/TEXT.TXT"; } >"$data/CLEARS.BIN"

# packed NAME: the compressed file's name, as the program derives it.
packed() {
  local ext=${1##*.}
  echo "${1%.*}.${ext:0:2}_"
}
# bytes FILE FROM COUNT: the bytes in hex, no spaces.
bytes() { od -An -tx1 -j "$2" -N "$3" "$1" | tr -d ' \n'; }

for name in TEXT.TXT PROGRAM.EXE RANDOM.BIN EMPTY.DAT ONE.DAT TWO.DAT CLEARS.BIN; do
  source_file=$data/$name
  out_file=$data/$(packed "$name")
  touch -d '2001-02-03 04:05:06' "$source_file"

  run -c "data/$name"
  expect_status 0
  expect_out "\nCompressing data/$name...\nCompleted!"
  expect_events "box${T}MB_OK${T}Compression${T}Completed!${T}OK" "window${T}closed-by-program"
  [ "$(bytes "$out_file" 0 2)" = 1f9d ] || fail "$name: no magic"
  [ "$(bytes "$out_file" 22 1)" = 8c ] || fail "$name: flags"
  stored=$(head -c 22 "$out_file" | tail -c 14 | tr -d '\0')
  [ "$stored" = "$name" ] || fail "$name: stored name '$stored'"

  # Ours expanded by the peer, with the peer's 3-byte header.
  { printf '\x1f\x9d\x8c'; tail -c +24 "$out_file"; } | compress -d -c >"$data/peer.out" ||
    fail "$name: the peer refused our code stream"
  cmp -s "$data/peer.out" "$source_file" || fail "$name: the peer expanded our file differently"

  # Ours expanded by ours, under the stored name, with the stored stamp.
  rm -rf "$data/x" && mkdir "$data/x" && cp "$out_file" "$data/x/"
  run -x "data/x/$(packed "$name")"
  expect_status 0
  expect_events "box${T}MB_OK${T}Decompression${T}Completed!${T}OK" "window${T}closed-by-program"
  cmp -s "$data/x/$name" "$source_file" || fail "$name: our expansion differs"
  [ "$(stat -c %Y "$data/x/$name")" = "$(stat -c %Y "$source_file")" ] ||
    fail "$name: the expanded file does not carry the source's time"

  # The peer's code stream behind our header, expanded by ours.
  compress -b 12 -c "$source_file" >"$data/peer.Z" || [ $? -eq 2 ]
  rm -rf "$data/y" && mkdir "$data/y"
  { head -c 23 "$out_file"; tail -c +4 "$data/peer.Z"; } >"$data/y/$(packed "$name")"
  run -x "data/y/$(packed "$name")"
  expect_status 0
  expect_events "box${T}MB_OK${T}Decompression${T}Completed!${T}OK" "window${T}closed-by-program"
  cmp -s "$data/y/$name" "$source_file" || fail "$name: our expansion of the peer's stream differs"
done

# The smallest files, byte for byte: the header alone, then 9-bit codes
# packed least significant bit first.
[ "$(stat -c %s "$data/EMPTY.DA_")" -eq 23 ] || fail "an empty file is not the header alone"
[ "$(bytes "$data/ONE.DA_" 23 10)" = 4100 ] || fail "one byte: $(bytes "$data/ONE.DA_" 23 10)"
[ "$(bytes "$data/TWO.DA_" 23 10)" = 418400 ] || fail "two bytes: $(bytes "$data/TWO.DA_" 23 10)"

# Damaged data: codes beyond the table. A box names the file, and no
# output is left.
rm -rf "$data/z" && mkdir "$data/z"
cp "$data/TEXT.TX_" "$data/z/"
printf '\xff\xff\xff\xff\xff\xff\xff\xff\xff' | dd of="$data/z/TEXT.TX_" bs=1 seek=50 conv=notrunc 2>/dev/null
run -x data/z/TEXT.TX_
expect_status 0
expect_out '\nDecompressing data/z/TEXT.TX_...\n\nDamaged compressed data in data/z/TEXT.TX_'
expect_events "box${T}MB_OK${T}Patch Update Error${T}\\nDamaged compressed data in data/z/TEXT.TX_\\n${T}OK" \
  "window${T}closed-by-user"
[ ! -e "$data/z/TEXT.TXT" ] || fail "a damaged file left output"

# A file that was never compressed.
run -x data/TEXT.TXT
expect_out '\nDecompressing data/TEXT.TXT...\n\nUnable to find magic header for decompression.'
expect_events "box${T}MB_OK${T}Patch Update Error${T}\\nUnable to find magic header for decompression.\\n${T}OK" \
  "window${T}closed-by-user"
