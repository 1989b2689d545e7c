#!/usr/bin/env bash
# Builds the benchmarks into build/ and runs them: each operation's own work against the bus time
# of its port accesses, the real-card backend against bare pread/pwrite calls on the same file,
# the program's start-up against an empty Qt window, and the results database (storing a result;
# the yield and the Pareto over a million results on SQLite and on a PostgreSQL server it starts).
# Prints the figures and their ratios.
# Benchmarks measure; they are not tests and pass or fail nothing. Run it on a quiet machine.
#   QM5083_BENCH_BUILD_DIR  build directory (default: build)
#   QM5083_BENCH_REPETITIONS, QM5083_STARTUP_RUNS  how often to measure (default: 10, 20)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" postgresql-15

build="${QM5083_BENCH_BUILD_DIR:-build}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)" --target bench_operations startup_measure bench_results

"$build/bench/bench_operations" \
    --benchmark_repetitions="${QM5083_BENCH_REPETITIONS:-10}" \
    --benchmark_enable_random_interleaving=true \
    --benchmark_display_aggregates_only=true
echo
"$build/bench/startup_measure" "${QM5083_STARTUP_RUNS:-20}"
echo
"$build/bench/bench_results" --benchmark_repetitions="${QM5083_BENCH_REPETITIONS:-10}" \
    --benchmark_display_aggregates_only=true
