#!/usr/bin/env bash
# Builds and runs the benchmarks (Linux, optimised). Extra arguments go to
# the benchmark program (e.g. --benchmark_filter=SetValue). Then times the
# program's compression and expansion against the Unix compress program.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
source scripts/deps.sh
zv_install_packages "${ZV_LINUX_PACKAGES[@]}" libbenchmark-dev ncompress time
cmake --preset bench >/dev/null
cmake --build --preset bench
build/bench/zv_bench "$@"
bench/compress_bench.sh build/bench/zvpatch
# Whole installs at scale: 100, 1,000 and 10,000 FILE entries and a
# FINDFILE over 10,000 directories (the largest takes minutes).
bench/scale_bench.sh build/bench/zvpatch ${ZV_SCALE_SIZES:-100 1000 10000}
