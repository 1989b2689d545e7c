#!/usr/bin/env bash
# clang-tidy's path-sensitive clang-analyzer checks (listed in .clang-tidy) over src/, with the
# sanitizers' build's compile commands: null dereferences, divisions by zero, leaks, misuse of the
# C library around the card's files. Slower than the other checks, so scripts/test.sh leaves them
# here. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
[ -f build-asan/compile_commands.json ] || cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQM5083_SANITIZE=ON -DQM5083_WERROR=ON -DQM5083_BUILD_BENCH=OFF >/dev/null
# The generated sources (moc, resources) the commands name.
cmake --build build-asan -j"$(nproc)" --target qm5083-bench >/dev/null
find src -name '*.cpp' | sort | xargs -P"$(nproc)" -n1 clang-tidy-14 -p build-asan --quiet \
    --checks='-*,clang-analyzer-core.*,clang-analyzer-cplusplus.*,clang-analyzer-deadcode.*,clang-analyzer-unix.*' 2>&1 \
    | sed -E '/^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$/d'
echo "clang-analyzer found nothing"
