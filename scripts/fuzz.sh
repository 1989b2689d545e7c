#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang into build-fuzz/ and runs each one for the
# given number of seconds (default 15: about a minute for all of them). Each run starts from a
# temporary copy of the target's seed corpus (fuzz/corpus/<target>/), so what it finds does not
# land in the repository. Fails on any crash, sanitizer report or failed property; the input
# that caused it is kept as build-fuzz/artifacts/<target>-crash-*.
#   scripts/fuzz.sh [seconds-per-target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-15}"
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"

# target, longest input in bytes, dictionary
targets=(
    "fuzz_parse_number 512 fuzz/number.dict"
    "fuzz_fields 128 fuzz/number.dict"
    "fuzz_panels 256 fuzz/number.dict"
    "fuzz_pit8254 512 -"
    "fuzz_kept_state 512 -"
    "fuzz_batch 512 fuzz/batch.dict"
)
names=()
for entry in "${targets[@]}"; do
    names+=("${entry%% *}")
done

# A tree configured with another compiler would be reconfigured without the options below.
if [ -f build-fuzz/CMakeCache.txt ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang++-14$' build-fuzz/CMakeCache.txt; then
    rm -rf build-fuzz/CMakeCache.txt build-fuzz/CMakeFiles
fi
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQM5083_FUZZ=ON -DQM5083_WERROR=ON -DQM5083_BUILD_TESTS=OFF -DQM5083_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${names[@]}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
artifacts="build-fuzz/artifacts"
mkdir -p "$artifacts"
passed=0
failed=0
for entry in "${targets[@]}"; do
    read -r name maxlen dict <<<"$entry"
    cp -r "fuzz/corpus/$name" "$work/$name"
    options=(-max_total_time="$seconds" -max_len="$maxlen" -timeout=10 -rss_limit_mb=2048
        -print_final_stats=1 -artifact_prefix="$artifacts/$name-")
    [ "$dict" != "-" ] && options+=(-dict="$dict")
    log="$work/$name.log"
    if "build-fuzz/fuzz/$name" "${options[@]}" "$work/$name" >"$log" 2>&1; then
        runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
        echo "$name: ${runs:-?} executions in ${seconds} s, no failure"
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "$name: FAILED"
        grep -E -A40 'property failed|ERROR:|runtime error|deadly signal|uncaught exception' "$log" \
            | head -60 || tail -40 "$log"
    fi
done
echo "fuzzers: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
