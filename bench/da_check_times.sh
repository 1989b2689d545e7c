#!/usr/bin/env bash
# The DA check's own time beside its meter's, with hyperfine, on the program as built:
#   1. all 4096 codes with the simulated meter: the check's whole cost, each code one operation
#      on the simulated card (its kept state read and written under its lock);
#   2. the meter helper alone taking N readings from an emulated network meter through
#      libsigrok's scpi-dmm driver, beside a DA check of N codes read the same way: what the check
#      adds to its meter.
# It measures and passes or fails nothing. Usage: bench/da_check_times.sh [BUILD-DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages hyperfine
build=$(realpath "${1:-build}")
cmake --build "$build" -j"$(nproc)" --target qm5083-bench qm5083-sigrok-meter scpi-dmm-emulator
program=$build/qm5083-bench
work=$(mktemp -d)
trap 'kill "$meter" 2>/dev/null; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=offscreen

hyperfine -N --warmup 1 --runs 10 \
    "$program --simulate da-check --channel 0 --range 0:10 --all --meter sim"

"$build/tests/scpi-dmm-emulator" --port-file "$work/port" --channel 0 --range 0:10 &
meter=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
address="scpi-dmm:conn=tcp-raw/127.0.0.1/$(cat "$work/port")"
codes=$("$program" --simulate da-check --channel 0 --range 0:10 --points 200 --plan | wc -l)
for _ in $(seq "$codes"); do echo read; done >"$work/reads"
echo "$codes readings each:"
hyperfine --warmup 1 --runs 5 \
    "$build/qm5083-sigrok-meter $address <$work/reads" \
    "$program --simulate da-check --channel 0 --range 0:10 --points 200 --meter sigrok:$address"
