#!/usr/bin/env bash
# Checks the JSON the tests kept (tests/support/json_samples.h) against the schemas: each
# <schema>-<process>.jsonl file against packaging/schemas/<schema>.schema.json.
# Usage: validate_samples.sh SAMPLES_FOLDER
set -uo pipefail
folder=${1:?usage: validate_samples.sh SAMPLES_FOLDER}
root=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
files=("$folder"/*.jsonl)
if [ "${#files[@]}" -eq 0 ]; then
    echo "FAIL: no test kept any JSON in $folder" >&2
    exit 1
fi
failed=0
for schema in answer self-test-report da-check-report record-line; do
    kept=("$folder/$schema"-*.jsonl)
    [ "${#kept[@]}" -eq 0 ] && continue
    /usr/bin/python3 "$root/tests/validate_json.py" "$root/packaging/schemas" \
        "$schema.schema.json" "${kept[@]}" || failed=1
done
exit "$failed"
