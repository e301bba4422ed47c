#!/usr/bin/env bash
# Builds the benchmarks in Release into build-bench/, runs each with repetitions and prints Google
# Benchmark's report, then one table: median, ratio to the baseline of bare file operations, target.
#
# Usage: bench/run.sh [REPETITIONS] [Google Benchmark flags, e.g. --benchmark_filter=refresh]
# The benchmarks work in a temporary directory below $TMPDIR (/tmp when unset); TMPDIR=/dev/shm
# takes the disk, and so the cost of fsync, out of the figures.
set -euo pipefail
cd "$(dirname "$0")/.."

repetitions=10
if [[ $# -gt 0 && "$1" =~ ^[0-9]+$ ]]; then
    repetitions="$1"
    shift
fi

scripts/deps.sh test
build=build-bench
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTANDRILL_BUILD_TESTS=ON -DTANDRILL_BUILD_BENCH=ON
fi
cmake --build "$build" --target tandrill_bench

cpu="$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo 2>/dev/null | head -n 1)"
[[ -n "$cpu" ]] || cpu="$(sysctl -n machdep.cpu.brand_string 2>/dev/null || true)"
echo "Machine: $(nproc 2>/dev/null || sysctl -n hw.ncpu) cores, ${cpu:-unknown CPU}; files below ${TMPDIR:-/tmp}"
"$build/bin/tandrill_bench" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true "$@"
