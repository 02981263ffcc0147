#!/usr/bin/env bash
# Builds and runs the benchmarks (Linux, optimised). Extra arguments go to
# the benchmark program (e.g. --benchmark_filter=SetValue).
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
source scripts/deps.sh
zv_install_packages "${ZV_LINUX_PACKAGES[@]}" libbenchmark-dev
cmake --preset bench >/dev/null
cmake --build --preset bench
build/bench/zv_bench "$@"
