#!/usr/bin/env bash
# Times whole processes: zvpatch -c / -x against the Unix compress program
# (compress -b 12 -c / compress -d -c) on an 8 MiB text corpus and an 8 MiB
# binary corpus made at run time. Prints MiB/s of uncompressed data for
# each, the ratio ours/theirs and the compressed sizes.
# Usage: compress_bench.sh [zvpatch program] [runs]
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program=$(realpath "${1:-$repo/build/bench/zvpatch}")
runs=${2:-7}
if ! command -v compress >/dev/null; then
  echo "compress_bench: the compress program (ncompress) is not installed; skipped"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# The program needs its (empty) catalog beside it; the simulated machine
# lives in the work folder.
cp "$program" ./zvpatch
: >zvpatch.MSG
export ZVPATCH_MACHINE=$work/machine
size=$((8 * 1024 * 1024))

# Text: sentences of a made-up vocabulary with a skewed word frequency,
# numbered sections and paragraphs.
awk -v size=$size 'BEGIN {
  srand(20240601)
  split("ka lo mi ren tas vel or un pre dis ing ter al con ble ment ous ive", syl, " ")
  nw = 4000
  for (w = 1; w <= nw; w++) {
    n = 1 + int(rand() * 3) + (w > 200)
    word = ""
    for (s = 0; s < n; s++) word = word syl[1 + int(rand() * 18)]
    vocab[w] = word
  }
  total = 0; section = 0
  while (total < size) {
    if (rand() < 0.02) {
      section++
      line = sprintf("\n%d. Section %d: %s %s\n\n", section, section, vocab[1 + int(rand() * 50)],
                     vocab[1 + int(rand() * 50)])
    } else {
      line = ""
      n = 6 + int(rand() * 14)
      for (k = 0; k < n; k++) {
        r = rand()
        w = 1 + int(nw * r * r * r)
        word = vocab[w]
        if (k == 0) word = toupper(substr(word, 1, 1)) substr(word, 2)
        line = line word (k == n - 1 ? "." : (rand() < 0.1 ? ", " : " "))
      }
      if (rand() < 0.1) line = line sprintf(" (%d)", int(rand() * 10000))
      line = line "\n"
    }
    printf "%s", line
    total += length(line)
  }
}' | head -c $size >TEXT.TXT
# Binary: the system's programs, one after the other.
find /usr/bin -maxdepth 1 -type f -size +64k -print0 | sort -z | xargs -0 cat 2>/dev/null |
  head -c $size >BINARY.BIN || true
[ "$(stat -c %s BINARY.BIN)" -eq $size ] || { echo "compress_bench: not enough programs in /usr/bin"; exit 1; }

now() { date +%s%N; }
# median of the arguments
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
mibs() { awk -v b=$size -v ns="$1" 'BEGIN { printf "%.1f", b / 1048576 / (ns / 1e9) }'; }

printf '%-8s %-10s %12s %12s %8s %14s %14s\n' corpus direction "ours MiB/s" "peer MiB/s" \
  ours/peer "ours bytes" "peer bytes"
for corpus in TEXT.TXT BINARY.BIN; do
  packed=${corpus%?}_
  mkdir -p x
  oc=() pc=() ox=() px=()
  for ((r = 0; r <= runs; r++)); do
    # Every run writes a new file: over an old one the file system would
    # first write out the new data (ext4 does so when a file is renamed over
    # another, as ours are, or cut to nothing), which is not what is timed.
    rm -f $packed; t0=$(now); ./zvpatch -c $corpus </dev/null >/dev/null 2>&1; t1=$(now)
    rm -f peer.Z; t1p=$(now); compress -b 12 -c $corpus >peer.Z; t2=$(now)
    cp $packed x/; rm -f x/$corpus; t3=$(now); ./zvpatch -x x/$packed </dev/null >/dev/null 2>&1; t4=$(now)
    rm -f peer.out; t4p=$(now); compress -d -c peer.Z >peer.out; t5=$(now)
    # The first round warms the caches and is not counted.
    if ((r > 0)); then
      oc+=($((t1 - t0))); pc+=($((t2 - t1p))); ox+=($((t4 - t3))); px+=($((t5 - t4p)))
    fi
  done
  cmp -s x/$corpus $corpus || { echo "compress_bench: our expansion of $corpus differs"; exit 1; }
  cmp -s peer.out $corpus || { echo "compress_bench: the peer's expansion of $corpus differs"; exit 1; }
  osize=$(stat -c %s $packed) psize=$(stat -c %s peer.Z)
  for dir in compress expand; do
    if [ $dir = compress ]; then o=$(median "${oc[@]}") p=$(median "${pc[@]}"); else o=$(median "${ox[@]}") p=$(median "${px[@]}"); fi
    printf '%-8s %-10s %12s %12s %8s %14s %14s\n' ${corpus%.*} $dir "$(mibs $o)" "$(mibs $p)" \
      "$(awk -v a=$o -v b=$p 'BEGIN { printf "%.2f", b / a }')" $osize $psize
  done
  rm -rf x peer.Z peer.out $packed
done
