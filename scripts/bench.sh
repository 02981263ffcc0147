#!/usr/bin/env bash
# Builds and runs the benchmarks (Linux, optimised). Extra arguments go to
# the benchmark program (e.g. --benchmark_filter=SetValue). Then times the
# program's compression and expansion against the Unix compress program,
# installs and the registry at scale.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
source scripts/deps.sh
zv_install_packages "${ZV_LINUX_PACKAGES[@]}" libbenchmark-dev ncompress time
cmake --preset bench >/dev/null
cmake --build --preset bench
build/bench/zv_bench "$@"
bench/compress_bench.sh build/bench/zvpatch
# Whole installs at scale: 1,000 and 10,000 FILE and INI entries, with the
# ratios of the larger to the smaller, and a FINDFILE over 10,000 folders.
bench/scale_bench.sh build/bench/zvpatch ${ZV_SCALE_SIZES:-1000 10000}
# The registry at scale: a key of 10,000 and 40,000 values, 10,000 and
# 100,000 keys, loaded and compared by zvpatch-diff.
RUNS=3 bench/registry_scale.sh build/bench
