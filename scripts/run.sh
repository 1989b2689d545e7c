#!/usr/bin/env bash
# Builds the program into build/ and starts it: on the simulated card, or on the real cards when
# --pci-id is among the arguments. Extra arguments go to the program (for example --trace, or
# --pci-id 1234:5678 for the card whose ids lspci -nn shows).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target qm5083-bench
for argument in "$@"; do
    case $argument in
    --pci-id | --pci-id=*) exec build/qm5083-bench "$@" ;;
    esac
done
exec build/qm5083-bench --simulate "$@"
