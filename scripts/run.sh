#!/usr/bin/env bash
# Builds the program into build/ and starts it on the simulated card. Extra arguments go to the
# program (for example --trace).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target qm5083-bench
exec build/qm5083-bench --simulate "$@"
