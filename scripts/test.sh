#!/usr/bin/env bash
# The test command, which CI runs: checks the formatting (clang-format) first, as it needs no
# build; builds everything once with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/)
# and runs every test there; builds the Debian package as distributions build it, optimised, with
# warnings as errors (scripts/package.sh); and runs the PCI backend and that package against a
# real Linux kernel in virtual machines (scripts/kernel-test.sh); runs clang-tidy with every check
# (scripts/analyze.sh) and each fuzzer for a short run from its corpus in the tree
# (scripts/fuzz.sh). Stops at the first step that fails. CI (.ci/run) runs it in a new, minimal
# Debian 12; the README says how long it takes.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}" \
    "${KERNEL_TEST_PACKAGES[@]}"

step() {
    echo
    echo "==== $* ($(date +%T))"
}

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

# Warnings are errors in every build here (QM5083_WERROR, off for packagers). The one full build
# is the sanitizers' at -O1 with line tables only (-g1), as their authors suggest: reports keep
# their file and line. The optimised build is the package's own (below), where a warning that
# only optimisation raises is caught.
step "Build with AddressSanitizer and UndefinedBehaviorSanitizer, and test"
# The benchmarks measure and test nothing: scripts/bench.sh builds them and runs them.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM5083_SANITIZE=ON -DQM5083_WERROR=ON \
    -DQM5083_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
cmake --build build-asan -j"$(nproc)"
# Every test runs here, the end-to-end one included (the sanitized program under Xvfb).
# tests/lsan.supp holds the third-party leaks LeakSanitizer is told to ignore, and why.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
    ctest --test-dir build-asan --output-on-failure -j"$(nproc)"

step "clang-tidy with every check in .clang-tidy (scripts/analyze.sh)"
bash scripts/analyze.sh

step "Fuzzers, 10 seconds each from their corpus (scripts/fuzz.sh)"
bash scripts/fuzz.sh 10

step "Debian package, optimised, warnings as errors (dpkg-buildpackage, lintian, desktop-file-validate, appstreamcli)"
QM5083_PACKAGE_WERROR=1 bash scripts/package.sh

step "Kernel test (the PCI backend and the package's install in virtual machines)"
# The program, the helper and the rule come from the package; the probe, a test tool that no
# package ships, is built alone.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQM5083_WERROR=ON -DQM5083_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target qm5083-pci-probe
bash scripts/kernel-test.sh build build-deb/qm5083-bench_*_"$(dpkg --print-architecture)".deb
