#!/usr/bin/env bash
# Every path of every command, as a station script meets it, on the program as built: one row per
# path with the exit status it must end with. Each row runs
#   - plain, in the C locale: the status;
#   - with --json: the status, exactly one JSON object per answer (a batch, one per line), each
#     valid against packaging/schemas/answer.schema.json, its status the exit status's;
#   - with --log: every record line valid against record-line.schema.json, the first a session
#     line, and the run's last line carrying the status;
#   - with --report, for the self-test and the DA check: the report valid against its schema;
#   - in zh_CN: the same status, and no English word left in what it says on either stream but
#     units, commands, options, ids, hex numbers and what was typed.
# One PASS or FAIL line per row.
# Usage: answers.sh PATH/TO/qm5083-bench
set -uo pipefail
program=$(realpath "${1:?usage: answers.sh PATH/TO/qm5083-bench}")
root=$(cd "$(dirname "$0")/.." && pwd)
schemas=$root/packaging/schemas
validate=(/usr/bin/python3 "$root/tests/validate_json.py" "$schemas")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work XDG_DATA_HOME=$work/data
unset DISPLAY WAYLAND_DISPLAY
cd "$work" || exit 1
: >empty.conf
printf 'no database, %.0s' {1..400} >damaged.sqlite
# The ten codes of --points 2 (the carries) read ideal on 0 to 4.096 V, 1 mV an LSB.
printf '%s\n' 0 0.001 1.023 1.024 2.047 2.048 3.071 3.072 4.094 4.095 >readings
/usr/bin/python3 -c 'import os, re
for e in range(1, 134):
    print("s/" + re.sub(r"([][/.*^$\\])", r"\\\1", os.strerror(e)) + "//g")' >system-messages.sed

# The words an answer or reason in Chinese may hold: units, the commands and their options, ids
# and names the technician types or reads on the card, and the program's own name.
allowed='^([0-9A-Fa-f]+|V|mV|Hz|kHz|MHz|LSB|DA[0-3]?|PCI|ID|BAR|FF|FFF|FFFF|NO|VVVV|DDDD|SSSS|TTTT|'
allowed+='cards|out|in|clock|da|check|batch|self|test|setup|expect|channel|range|points|limit|lsb|'
allowed+='readings|meter|sim|report|card|simulate|json|log|trace|config|pci|id|qm5083|bench|lspci|'
allowed+='nn|nnv|sudo|SIGINT|SIGTERM|k|n|K|N|B[1-4]|C[0-3]|LOW|HIGH|FILE|loopback|counters|x|'
allowed+='Run|time|error|Overflow|q|IEEE|Std|libsigrok|meters|command|CMD|file|typed|KEY|VALUE|'
allowed+='results|status|sync|history|yield|pareto|export|since|until|by|day|station|operator|csv|'
allowed+='svg|png|PostgreSQL|SQLite|WAL|URI|HOST|DATABASE|host|dbname|pgpass|pg_service|conf|'
allowed+='postgresql|YYYY|MM|DD|THH|DDTHH|SS|Z|QM|T|counter|no|gain|offset|inl|dnl|monotonic|chip|'
allowed+='absent|true|false|null)$'

failed=0
verdict() { # verdict STATUS NAME DETAIL
    if [ "$1" -eq 0 ]; then echo "PASS: $2"; else
        echo "FAIL: $2: $3" >&2
        failed=1
    fi
}

# row STATUS 'STANDARD INPUT' ARGUMENTS...: one path and the status it ends with.
row() {
    local want=$1 input=$2 problems=()
    shift 2
    local name="$* -> $want"
    local status
    printf '%b' "$input" | LANG=C.UTF-8 LC_ALL=C.UTF-8 "$program" "$@" >plain.out 2>plain.err
    status=$?
    [ "$status" = "$want" ] || problems+=("plain: exit $status: $(head -c 300 plain.err)")

    # With --json, before the command word (its options are its own).
    local json_args=("--json" "$@")
    printf '%b' "$input" | LANG=C.UTF-8 LC_ALL=C.UTF-8 "$program" "${json_args[@]}" >json.out 2>/dev/null
    status=$?
    local answers expected_answers=1
    answers=$(grep -c . json.out)
    [ "${*: -1}" = batch ] && expected_answers=$(printf '%b' "$input" | grep -cv '^\s*\(#.*\)\?$')
    [ "$status" = "$want" ] || problems+=("json: exit $status")
    [ "$answers" = "$expected_answers" ] || problems+=("json: $answers objects, not $expected_answers")
    "${validate[@]}" answer.schema.json json.out >schema.txt 2>&1 \
        || problems+=("json: $(head -c 300 schema.txt)")
    if [ "${*: -1}" != batch ] && [ "$(jq -r .status json.out 2>/dev/null)" != "$want" ]; then
        problems+=("json: status $(jq -r .status json.out 2>/dev/null) in the answer")
    fi

    rm -f record.log
    printf '%b' "$input" | LANG=C.UTF-8 LC_ALL=C.UTF-8 "$program" --log record.log "$@" \
        >/dev/null 2>&1
    if [ -s record.log ]; then
        "${validate[@]}" record-line.schema.json record.log >schema.txt 2>&1 \
            || problems+=("record: $(head -c 300 schema.txt)")
        head -n 1 record.log | jq -e 'has("session")' >/dev/null \
            || problems+=("record: no session line first")
        [ "$(tail -n 1 record.log | jq -r '.status // empty')" = "$want" ] \
            || problems+=("record: last line's status $(tail -n 1 record.log | jq -c .status)")
    else
        problems+=("record: no record written")
    fi

    printf '%b' "$input" | LANG=zh_CN.UTF-8 LC_ALL= LANGUAGE= "$program" "$@" >zh.out 2>zh.err
    status=$?
    [ "$status" = "$want" ] || problems+=("zh_CN: exit $status")
    # The system's own messages (strerror) are in the system's language, which this machine may
    # not have installed: they are taken out before looking, and so are libsigrok's driver names.
    local english
    english=$(cat zh.out zh.err | sed -f system-messages.sed \
        | sed -E 's/“[^”]*”//g; s/"[^"]*"//g; s/\/[^ ：，；]*//g; s/sigrok:[A-Za-z0-9_-]+//g' \
        | grep -oE '[A-Za-z][A-Za-z0-9]*' | grep -vE "$allowed" | sort -u | tr '\n' ' ')
    [ -z "$english" ] || problems+=("zh_CN: English left: $english in $(head -c 200 zh.out zh.err | tr '\n' '|')")

    if [ "${#problems[@]}" -eq 0 ]; then verdict 0 "$name" ""; else
        verdict 1 "$name" "$(printf '%s; ' "${problems[@]}")"
    fi
}

# report ARGUMENTS...: the report a self-test or DA check files is valid against its schema.
report() {
    local schema=$1
    shift
    rm -f report.json
    "$program" "$@" --report report.json >/dev/null 2>&1
    "${validate[@]}" "$schema" report.json >schema.txt 2>&1
    verdict $? "report of $* against $schema" "$(head -c 300 schema.txt)"
}

sim=(--simulate)
row 0 '' "${sim[@]}" cards
row 1 '' --config ./empty.conf cards
row 2 '' "${sim[@]}" cards extra
row 0 '' "${sim[@]}" out 12 A5 3C FF
row 2 '' "${sim[@]}" out 100 0 0 0
row 2 '' "${sim[@]}" out 1 2 3
row 2 '' "${sim[@]}" --card 2 out 0 0 0 0
row 0 '' "${sim[@]}" in
row 0 '' "${sim[@]}" in --expect 12 A5 3C FF
row 1 '' "${sim[@]}" --sim-fault stuck:2.3=1 in --expect 12 A5 3C FF
row 2 '' "${sim[@]}" in extra
row 0 '' "${sim[@]}" clock 2 65536
row 2 '' "${sim[@]}" clock 1 10
row 0 '' "${sim[@]}" da 0 400 800 FFF
row 2 '' "${sim[@]}" da 0 0 0 1000
row 3 '' "${sim[@]}" da-check --channel 2 --range 0:4.096 --readings ./readings --points 2
row 0 '' "${sim[@]}" da-check --channel 2 --range 0:4.096 --readings ./readings --points 2 --limit 1
row 0 '' "${sim[@]}" da-check --channel 1 --range 0:10 --meter sim --limit 1
row 3 '' "${sim[@]}" da-check --channel 1 --range 0:10 --meter sim --limit inl=1
row 2 '' "${sim[@]}" da-check --channel 1 --range 0:10 --meter 'command:echo 5.000' --limit 1
row 1 '' "${sim[@]}" --sim-fault da-offset:1=50 da-check --channel 1 --range 0:10 --meter sim --limit 1
row 2 '' "${sim[@]}" da-check --channel 1 --range 0:10 --readings ./missing
row 2 '0\nq\n' "${sim[@]}" da-check --channel 0 --range 0:10 --points 2
row 2 '' "${sim[@]}" da-check --channel 4 --range 0:10
row 0 '' "${sim[@]}" da-check --channel 0 --range 0:10 --plan
row 2 '' "${sim[@]}" da-check --channel 0 --range 0:10 --meter command:false
row 3 '' "${sim[@]}" --self-test
row 0 '' "${sim[@]}" --self-test --meter sim
row 3 '' "${sim[@]}" --self-test --meter sim --skip loopback
row 2 '' "${sim[@]}" --self-test --skip loopback --skip counters --skip da
row 1 '' "${sim[@]}" --sim-fault counter-stopped:D.2 --self-test
row 1 '' "${sim[@]}" --sim-fault da-gain:2=5 --self-test --meter sim
row 2 '' "${sim[@]}" --self-test --meter nonsense
row 2 '' "${sim[@]}" --self-test --meter sim --da-range 10
row 2 '' "${sim[@]}" --bogus --self-test
row 2 '' "${sim[@]}" --card 2 --self-test
row 2 '' "${sim[@]}" --self-test --report /tmp
row 0 'out 01 02 03 04\n\n# a comment\nin --expect 01 02 03 04\n' "${sim[@]}" batch
row 1 'out 01 02 03 04\nin --expect 00 00 00 00\n' "${sim[@]}" batch
row 2 'out 01 02 03 04\nblink\nin\n' "${sim[@]}" batch
row 2 'out 01 02 03 04\nself-test\n' "${sim[@]}" batch
row 2 '' "${sim[@]}" blink
row 0 '' meters
row 2 '' meters extra
row 2 '' --config ./empty.conf in
row 2 '' "${sim[@]}" --self-test self-test
row 0 '' results status
row 0 '' results sync
row 0 '' results history QM-0042
row 0 '' results yield --by day
row 0 '' results pareto --since 2026-01-01
row 0 '' results export --json --until 2026-12-31T23:59+08:00
row 2 '' results yield --since 2026-02-30
row 2 '' results pareto --since 2026-12-08 --until 2026-12-01
row 2 '' results frobnicate
row 2 '' results export
row 2 '' --results postgresql://qm5083:secret@db/line results status
row 2 '' --results "host=$work/no-server dbname=qm5083" results history QM-0042
row 2 '' --results ./damaged.sqlite results status
row 2 '' --results ./damaged.sqlite "${sim[@]}" --self-test
report self-test-report.schema.json "${sim[@]}" --self-test
report self-test-report.schema.json "${sim[@]}" --sim-fault chip-data:B.5=0 --self-test
report self-test-report.schema.json "${sim[@]}" --card 3 --self-test
report self-test-report.schema.json "${sim[@]}" --self-test --meter sim --skip counters
report self-test-report.schema.json "${sim[@]}" --sim-fault da-offset:3=-300 --self-test --meter sim
report da-check-report.schema.json "${sim[@]}" da-check --channel 0 --range 0:10 --meter sim
report da-check-report.schema.json "${sim[@]}" da-check --channel 0 --range 0:10 \
    --meter 'command:echo 5.000'
report da-check-report.schema.json "${sim[@]}" da-check --channel 0 --range 0:10 --meter sim \
    --limit 1
report da-check-report.schema.json "${sim[@]}" da-check --channel 0 --range 0:10 --meter sim \
    --average 2 --limit offset=1,dnl=0.5 --serial QM-0042 --operator "Li Wei" --station 3
exit "$failed"
