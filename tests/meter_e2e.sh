#!/usr/bin/env bash
# The DA check reading a meter on the network, end to end: an emulated SCPI bench multimeter on
# the loopback address, read by libsigrok's own scpi-dmm driver in the program's meter helper,
# answering with the simulated card's DA output as the program left it. One row per way a meter
# behaves; each checks the exit status, the answer and the report (valid against their schemas)
# and what the row is for. One PASS or FAIL line per row.
# Usage: meter_e2e.sh PATH/TO/qm5083-bench PATH/TO/scpi-dmm-emulator
set -uo pipefail
program=$(realpath "${1:?usage: meter_e2e.sh PROGRAM EMULATOR}")
emulator=$(realpath "${2:?usage: meter_e2e.sh PROGRAM EMULATOR}")
root=$(cd "$(dirname "$0")/.." && pwd)
validate=(/usr/bin/python3 "$root/tests/validate_json.py" "$root/packaging/schemas")
work=$(mktemp -d)
meter_pid=
trap '[ -n "$meter_pid" ] && kill "$meter_pid" 2>/dev/null; rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work XDG_DATA_HOME=$work/data LANG=C.UTF-8 LC_ALL=C.UTF-8
cd "$work" || exit 1
failed=0

# meter EMULATOR-OPTIONS...: starts an emulated meter; its port in $port.
meter() {
    rm -f port
    "$emulator" --port-file port "$@" &
    meter_pid=$!
    for _ in $(seq 100); do [ -s port ] && break; sleep 0.05; done
    port=$(cat port)
}
stop_meter() {
    kill "$meter_pid" 2>/dev/null
    wait "$meter_pid" 2>/dev/null
    meter_pid=
}

# One reading of the emulated meter, asked by hand as a station would: what DA0 gives now.
read_by_hand() {
    meter --channel 0 --range -10:10
    exec 3<>"/dev/tcp/127.0.0.1/$port"
    printf 'READ?\n' >&3
    read -r -t 5 reading <&3
    exec 3<&-
    stop_meter
    echo "$reading"
}

# row NAME STATUS 'EMULATOR OPTIONS' 'PYTHON CHECK OF answer AND report' DA-CHECK OPTIONS...
row() {
    local name=$1 want=$2 emulated=$3 check=$4 problems=()
    shift 4
    # shellcheck disable=SC2086 # the emulator's options are words
    meter $emulated
    rm -f report.json
    "$program" --simulate --json da-check "$@" --meter "sigrok:scpi-dmm:conn=tcp-raw/127.0.0.1/$port" \
        --report report.json >answer.json 2>stderr.txt
    local status=$?
    stop_meter
    [ "$status" = "$want" ] || problems+=("exit $status, not $want: $(head -c 300 stderr.txt)")
    "${validate[@]}" answer.schema.json answer.json >schema.txt 2>&1 || problems+=("answer: $(head -c 300 schema.txt)")
    "${validate[@]}" da-check-report.schema.json report.json >schema.txt 2>&1 ||
        problems+=("report: $(head -c 300 schema.txt)")
    /usr/bin/python3 - "$check" >check.txt 2>&1 <<'PY' || problems+=("$(head -c 400 check.txt)")
import json, sys
answer = json.load(open("answer.json"))
report = json.load(open("report.json"))
def near(value, literal, within):
    assert abs(value - literal) <= within, f"{value} is not {literal} within {within}"
exec(sys.argv[1])
PY
    if [ ${#problems[@]} -eq 0 ]; then echo "PASS: $name"; else
        echo "FAIL: $name: ${problems[*]}" >&2
        failed=1
    fi
}

check=(--channel 0 --range -10:10 --points 5)
meter_is='for j in (answer, report):
    assert j["meter"] == {"kind": "sigrok", "driver": "scpi-dmm", "vendor": "Agilent Technologies",
        "model": "34405A", "serial": "EMULATED-0001", "version": "1.00-1.00",
        "connection": j["meter"]["connection"]}, j["meter"]'

# 15 mV high on -10 to 10 V, where an LSB is 20 V / 4096 = 4.8828125 mV: 3.072 LSB at every code,
# so offset and the zero-code error are 3.072 LSB, gain and INL 0 (the meter shows 6 digits).
offset_figures='f = answer["figures"]
near(f["offset"]["lsb"], 3.072, 1e-4); near(f["zeroCode"]["lsb"], 3.072, 1e-4)
near(f["gain"]["lsb"], 0, 2e-3); near(f["inl"]["lsb"], 0, 2e-3)
assert [p["code"] for p in report["points"]] == ["0", "1", "3FF", "400", "7FF", "800", "BFF", "C00", "FFE", "FFF"]
near(report["points"][0]["reading"], -9.985, 1e-9)
assert report["complete"] is True and report["status"] == answer["status"]
'"$meter_is"
row "OffsetJustWithinItsLimit" 0 "--channel 0 --range -10:10 --sim-fault da-offset:0=15" \
    "$offset_figures" "${check[@]}" --limit 3.08
row "OffsetJustBeyondItsLimit" 1 "--channel 0 --range -10:10 --sim-fault da-offset:0=15" \
    "$offset_figures
assert [v for v in answer['verdicts'] if not v['within']] == [{'figure': 'offset', 'limit': 3.06,
    'value': answer['figures']['offset']['lsb'], 'within': False}], answer['verdicts']" \
    "${check[@]}" --limit offset=3.06,gain=1,inl=1,dnl=1

row "NoiseAveragedAndItsSpreadShown" 0 "--channel 0 --range -10:10 --noise 0.001 --seed 7" \
    'for p in report["points"]:
    assert len(p["readings"]) == 3 and p["spread"] > 0, p
    near(p["reading"], sum(p["readings"]) / 3, 1e-12)
    near(p["spread"], max(p["readings"]) - min(p["readings"]), 1e-12)' \
    "${check[@]}" --average 3 --limit 100

row "MeterOnAnotherFunctionIsRefused" 2 "--channel 0 --range -10:10 --function VOLT:AC" \
    'assert "measures AC voltage" in answer["error"] and "DA0 is left at code 0" in answer["error"], answer
assert report["complete"] is False and report["points"] == [] and report["status"] == 2' \
    "${check[@]}"

# Silent after four readings: the fifth code, 7FF, is never read; the channel goes back to 0.
row "MeterThatStopsAnsweringEndsTheCheck" 2 "--channel 0 --range -10:10 --silent-after 4" \
    'assert "at code 7FF: it gave no answer within 1 s; DA0 is left at code 0" in answer["error"], answer
assert report["complete"] is False and len(report["points"]) == 4, report
'"$meter_is" "${check[@]}" --meter-timeout 1
left=$(read_by_hand)
if [ "$left" = "-1.000000E+01" ]; then echo "PASS: DA0 left at code 0 (-10 V) after the silent meter"; else
    echo "FAIL: DA0 left at code 0 after the silent meter: the meter reads $left" >&2
    failed=1
fi

row "MeterThatClosesTheConnectionEndsTheCheck" 2 "--channel 0 --range -10:10 --close-after 3" \
    'assert "at code 400: its reader ended" in answer["error"], answer
assert report["complete"] is False and len(report["points"]) == 3, report' "${check[@]}"

# Nothing listens where the meter was.
meter --channel 0 --range -10:10
gone=$port
stop_meter
"$program" --simulate --json da-check "${check[@]}" \
    --meter "sigrok:scpi-dmm:conn=tcp-raw/127.0.0.1/$gone" >answer.json 2>stderr.txt
status=$?
if [ "$status" = 2 ] && grep -q '"error":"da-check: --meter .* cannot be used: no meter answered' answer.json &&
    ! grep -q QProcess stderr.txt; then
    echo "PASS: NoMeterWhereItWasNamed"
else
    echo "FAIL: NoMeterWhereItWasNamed: exit $status: $(cat answer.json stderr.txt | head -c 400)" >&2
    failed=1
fi
exit $failed
