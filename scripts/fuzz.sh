#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset) and runs each for SECONDS
# (default 30) on a copy of its seed corpus, fuzz/corpus/TARGET (left
# unchanged), plus the inputs of fuzz/regressions/TARGET. Exits 1 when any
# target finds a crash, leak or undefined behaviour; its input is kept and
# named in the output. Installs what is missing first.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     TARGET: profile nls data_file ...
#
# A longer run, e.g. overnight on four cores, growing a corpus of its own:
#   cmake --preset fuzz && cmake --build --preset fuzz
#   mkdir -p /tmp/grown && build/fuzz/data_file_fuzz -timeout=10 -rss_limit_mb=1024 \
#     -max_total_time=28800 -jobs=4 -workers=4 -artifact_prefix=/tmp/grown/ \
#     /tmp/grown fuzz/corpus/data_file fuzz/regressions/data_file
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
source scripts/deps.sh

seconds=30
if [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
all=(profile nls data_file condition compressed command_line registry)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")
for t in "${targets[@]}"; do
  [[ " ${all[*]} " == *" $t "* ]] || { echo "unknown target: $t (one of: ${all[*]})" >&2; exit 2; }
done

zv_install_packages cmake ninja-build clang-14 libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

passed=0
failed=0
for t in "${targets[@]}"; do
  work=$(mktemp -d "${TMPDIR:-/tmp}/zvfuzz-run-$t-XXXXXX")
  mkdir "$work/corpus"
  cp -R "fuzz/corpus/$t/." "$work/corpus/"
  dirs=("$work/corpus")
  [ -d "fuzz/regressions/$t" ] && dirs+=("fuzz/regressions/$t")
  echo "== $t: $seconds s"
  if "build/fuzz/${t}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
    -print_final_stats=1 -artifact_prefix="$work/" "${dirs[@]}" >"$work/log" 2>&1; then
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$work/log" | tr '\n' ' '
    echo
    passed=$((passed + 1))
    rm -rf "$work"
  else
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$work/log" | head -5 || true
    echo "$t FAILED: log $work/log, input(s):"
    ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* 2>/dev/null || true
    failed=$((failed + 1))
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
