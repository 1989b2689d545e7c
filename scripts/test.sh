#!/usr/bin/env bash
# Builds everything once, with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/), and
# runs every test there; then checks the formatting (clang-format) and our sources (clang-tidy),
# runs each fuzzer for a bounded time (scripts/fuzz.sh, build-fuzz/), builds the Debian package
# as distributions build it, optimised, with warnings as errors (scripts/package.sh), and runs
# the PCI backend and that package against a real Linux kernel in virtual machines
# (scripts/kernel-test.sh). Stops at the first step that fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}" \
    "${KERNEL_TEST_PACKAGES[@]}"

step() {
    echo
    echo "==== $* ($(date +%T))"
}

# Warnings are errors in every build here (QM5083_WERROR, off for packagers). The one full build
# is the sanitizers' at -O1 with line tables only (-g1), as their authors suggest: reports keep
# their file and line. The optimised build is the package's own (step 5), where a warning that
# only optimisation raises is caught.
step "Build with AddressSanitizer and UndefinedBehaviorSanitizer, and test"
# The benchmarks measure and test nothing: scripts/bench.sh builds them.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM5083_SANITIZE=ON -DQM5083_WERROR=ON \
    -DQM5083_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
cmake --build build-asan -j"$(nproc)"
# Every test runs here, the end-to-end one included (the sanitized program under Xvfb).
# tests/lsan.supp holds the third-party leaks LeakSanitizer is told to ignore, and why.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
    ctest --test-dir build-asan --output-on-failure -j"$(nproc)"

# Our C++ files. Found by name rather than asked of git, so that a checkout git will not read
# (another owner, no git at all) cannot make the checks pass on nothing.
mapfile -t sources < <(find src tests fuzz bench -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
if [ "${#sources[@]}" -eq 0 ]; then
    echo "no C++ sources found under src, tests, fuzz and bench" >&2
    exit 1
fi

step "Formatting (clang-format)"
clang-format-14 --dry-run --Werror "${sources[@]}"
echo "${#sources[@]} files formatted as .clang-format says"

step "Static checks (clang-tidy, checks in .clang-tidy)"
# src/ only: tests and fuzzers are held to -Werror and run under the sanitizers, and
# GoogleTest's macros trip these checks without a fault behind them. The path-sensitive
# clang-analyzer checks take a third of the time and are left to scripts/analyze.sh, so that the
# whole command stays within CI's time.
printf '%s\n' "${sources[@]}" | grep -E '^src/.*\.cpp$' \
    | xargs -P"$(nproc)" -n1 clang-tidy-14 -p build-asan --quiet --checks='-clang-analyzer-*' 2>&1 \
    | sed -E '/^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$/d'
echo "clang-tidy found nothing"

step "Fuzzers"
# 5 seconds each here; scripts/fuzz.sh alone runs them longer.
bash scripts/fuzz.sh 5

step "Debian package, optimised, warnings as errors (dpkg-buildpackage, lintian, desktop-file-validate, appstreamcli)"
QM5083_PACKAGE_WERROR=1 bash scripts/package.sh

step "Kernel test (the PCI backend and the package's install in virtual machines)"
# The program, the helper and the rule come from the package; the probe, a test tool that no
# package ships, is built alone.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQM5083_WERROR=ON -DQM5083_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target qm5083-pci-probe
bash scripts/kernel-test.sh build build-deb/qm5083-bench_*_"$(dpkg --print-architecture)".deb
