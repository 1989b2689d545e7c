#!/usr/bin/env bash
# Builds everything into build/ and runs every test; then checks the formatting (clang-format)
# and our sources (clang-tidy), runs the tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), runs each fuzzer for a bounded time
# (scripts/fuzz.sh, build-fuzz/), and runs the PCI backend against a real Linux kernel in a
# virtual machine (scripts/kernel-test.sh), which also installs, sets up and removes the Debian
# package scripts/package.sh builds. Stops at the first step that fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}" \
    "${KERNEL_TEST_PACKAGES[@]}"

step() {
    echo
    echo "==== $* ($(date +%T))"
}

# Warnings are errors in every build here (QM5083_WERROR, off for packagers). The main build is
# Release, as distributions and most users build, so a warning that only optimisation raises is
# caught; the sanitizers' build is RelWithDebInfo at -O1.
step "Build (Release) and test"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQM5083_WERROR=ON
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"

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
# GoogleTest's macros trip these checks without a fault behind them.
printf '%s\n' "${sources[@]}" | grep -E '^src/.*\.cpp$' \
    | xargs -P"$(nproc)" -n1 clang-tidy-14 -p build --quiet 2>&1 \
    | sed -E '/^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$/d'
echo "clang-tidy found nothing"

step "Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# -O1 and line tables only (-g1), as the sanitizers' authors suggest: reports keep their file and
# line, and the build takes about half the time of -O2 -g.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM5083_SANITIZE=ON -DQM5083_WERROR=ON \
    -DQM5083_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
cmake --build build-asan -j"$(nproc)"
# Every test runs here, the end-to-end one included (the sanitized program under Xvfb).
# tests/lsan.supp holds the third-party leaks LeakSanitizer is told to ignore, and why.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
    ctest --test-dir build-asan --output-on-failure -j"$(nproc)"

step "Fuzzers"
bash scripts/fuzz.sh

step "Debian package (dpkg-buildpackage, lintian, desktop-file-validate, appstreamcli)"
bash scripts/package.sh

step "Kernel test (the PCI backend and the package's install in virtual machines)"
bash scripts/kernel-test.sh build build-deb/qm5083-bench_*_"$(dpkg --print-architecture)".deb
