#!/usr/bin/env bash
# clang-tidy over our sources (src/) with every check in .clang-tidy, the path-sensitive
# clang-analyzer ones included, on the sanitizers' build's compile commands. Fails on any
# finding. The test command (scripts/test.sh) runs it after the sanitizers' build; it can be run
# alone too. Tests and fuzzers are left out: they are held to -Werror and run under the sanitizers,
# and GoogleTest's macros trip these checks without a fault behind them.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM5083_SANITIZE=ON -DQM5083_WERROR=ON \
    -DQM5083_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" >/dev/null
# The generated sources (moc, resources) that the compile commands name.
cmake --build build-asan -j"$(nproc)" --target qm5083-bench >/dev/null
# Found by name rather than asked of git, so that a checkout git will not read cannot make the
# check pass on nothing.
mapfile -t sources < <(find src -type f -name '*.cpp' | sort)
[ "${#sources[@]}" -gt 0 ] || { echo "no C++ sources found under src" >&2; exit 1; }
printf '%s\n' "${sources[@]}" | xargs -P"$(nproc)" -n1 clang-tidy-14 -p build-asan --quiet 2>&1 \
    | sed -E '/^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$/d'
echo "clang-tidy found nothing in ${#sources[@]} files"
