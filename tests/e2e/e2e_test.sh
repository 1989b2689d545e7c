#!/usr/bin/env bash
# End to end: the built program in a private Xvfb on the simulated card, driven as a person would
# with xdotool (clicks into boxes, typing over their text, button clicks) and read back through
# the clipboard, checked against the port trace the program writes with --trace.
#
# Usage: e2e_test.sh PATH/TO/qm5083-bench
# Needs Xvfb, xauth, xdotool and xclip (scripts/test.sh installs them). Set E2E_KEEP=1 to keep the
# temporary directory (trace, X server log) for a look after a failure.
set -uo pipefail

program=${1:?usage: e2e_test.sh PATH/TO/qm5083-bench}
[ -x "$program" ] || { echo "FAIL: $program is not an executable program" >&2; exit 1; }
for tool in Xvfb xauth xdotool xclip mcookie; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed" >&2; exit 1; }
done

# shellcheck source-path=SCRIPTDIR source=xdo_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/xdo_helpers.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/qm5083-e2e.XXXXXX") || exit 1
trace_file="$work/stderr"
pid=""
started_ms=$(xdo_now_ms)

running() {
    xdo_process_running "$pid"
}

cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    fi
    xdo_stop_x
    if [ "${E2E_KEEP:-0}" = 1 ]; then
        echo "kept $work" >&2
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

passed=0
elapsed() {
    local ms=$(($(xdo_now_ms) - started_ms))
    printf '%d.%d s' $((ms / 1000)) $((ms % 1000 / 100))
}

pass() {
    passed=$((passed + 1))
    echo "PASS ($(elapsed)): $*"
}

fail() {
    echo "FAIL ($(elapsed)): $*" >&2
    if [ -n "$pid" ] && ! running; then
        echo "(the program is no longer running)" >&2
    fi
    if [ -s "$trace_file" ]; then
        echo "--- last lines the program wrote to stderr:" >&2
        tail -n 40 "$trace_file" >&2
    fi
    echo "$passed passed, 1 failed" >&2
    exit 1
}

# Complete trace lines: "<seconds> <in|out> <port> <byte>". Anything else on stderr (Qt's own
# messages) is not part of the trace.
trace() {
    LC_ALL=C grep -E '^[0-9]+\.[0-9]{6} (in|out) [0-9A-F]{4} [0-9A-F]{2}$' "$trace_file"
}

trace_mark() {
    trace | wc -l
}

# Trace lines after a mark, as "in|out PORT BYTE".
trace_since() {
    trace | tail -n +$(($1 + 1)) | cut -d' ' -f2-
}

# The writes after a mark, as "PORT BYTE".
writes_since() {
    trace_since "$1" | LC_ALL=C sed -n 's/^out //p'
}

# The four reads "PORT BYTE" of the first complete tick after a mark and after every write made
# since it; fails while there is none yet.
tick_after() {
    trace_since "$1" | awk '
        { dir[NR] = $1; port[NR] = $2; byte[NR] = $3; if ($1 == "out") last = NR }
        END {
            for (i = last + 1; i + 3 <= NR; i++) {
                if (dir[i] == "in" && port[i] == "E000" && dir[i + 1] == "in" && port[i + 1] == "E001" &&
                    dir[i + 2] == "in" && port[i + 2] == "E002" && dir[i + 3] == "in" && port[i + 3] == "E003") {
                    for (j = i; j < i + 4; j++) print port[j], byte[j]
                    exit 0
                }
            }
            exit 1
        }'
}

# An operation's writes: those between the click's mark and the next tick. Ticks only read, and
# an operation runs to its end before the next tick starts, so nothing else writes in between.
# Fails when there are not COUNT writes and a tick after them within 5 s.
operation_writes() {
    local mark=$1 count=$2
    # shellcheck disable=SC2317 # called through xdo_wait_for
    ready() { [ "$(writes_since "$mark" | wc -l)" -ge "$count" ] && tick_after "$mark" >/dev/null; }
    xdo_wait_for 5 ready
    writes_since "$mark"
}

# Compares two lists, one item a line, and fails with both when they differ.
expect_lines() {
    local what=$1 expected=$2 actual=$3
    if [ "$expected" != "$actual" ]; then
        echo "--- expected / +++ actual ($what):" >&2
        diff -u <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | tail -n +3 >&2
        fail "$what"
    fi
}

lines() {
    printf '%s\n' "$@"
}

require_running() {
    running || fail "the program ended $1"
}

type_into() {
    xdo_type_into "$1" "$2" || fail "could not type $2 into $1"
}

click() {
    xdo_click "$1" || fail "could not click $1"
}

# --- Start-up -------------------------------------------------------------------------------------
xdo_start_x "$work" || fail "could not start Xvfb"
xdo_load_layout "$program" "$work" || fail "could not read the program's layout"
"$program" --simulate --trace </dev/null >"$work/stdout" 2>"$trace_file" &
pid=$!
xdo_find_window 15 "$pid" || fail "the main window did not appear"
require_running "at start-up"
title=$(xdotool getwindowname "$XDO_WINDOW")
[ "$title" = "qm5083测试程序 [仿真]" ] || fail "window title is '$title', not the simulated card's caption"
base=$(xdo_read_box txtIOBase) || fail "could not read txtIOBase through the clipboard"
[ "$base" = E000 ] || fail "base address box shows '$base' after start, not the simulated card's E000"
pass "window '$title' opened; the start-up locate shows base E000"

# --- Digital outputs, read back by the inputs -----------------------------------------------------
outputs=(12 A5 0 FF)
for g in 0 1 2 3; do
    type_into "txtOutput$g" "${outputs[g]}"
done
mark=$(trace_mark)
click cmdOutput
writes=$(operation_writes "$mark" 4) || fail "no 4 writes and a tick after them within 5 s of 输出: ${writes//$'\n'/, }"
expect_lines "digital output writes after typing 12 A5 0 FF" \
    "$(lines "E000 12" "E001 A5" "E002 00" "E003 FF")" "$writes"
pass "输出 wrote 12 A5 00 FF to E000..E003 in order"

tick=$(tick_after "$mark")
expect_lines "inputs read on the tick after the outputs" \
    "$(lines "E000 12" "E001 A5" "E002 00" "E003 FF")" "$tick"
shown=()
for g in 0 1 2 3; do
    text=$(xdo_read_box "txtInput$g") || fail "could not read txtInput$g through the clipboard"
    shown+=("$text")
done
expect_lines "input boxes after the tick" "$(lines 12 A5 0 FF)" "$(lines "${shown[@]}")"
pass "the next tick read the outputs back and the input boxes show 12 A5 0 FF"

# --- Clock output with the starting dividers ---------------------------------------------------
clk_base=$(xdo_read_box txtClkBase) || fail "could not read txtClkBase through the clipboard"
clk_output=$(xdo_read_box txtClkOutput) || fail "could not read txtClkOutput through the clipboard"
[ "$clk_base $clk_output" = "1000 10" ] || fail "clock boxes show k=$clk_base n=$clk_output, not 1000 and 10"
# Each counter gets its control word (36, 76, B6 for counters 0, 1, 2: low then high byte, square
# wave) on its chip's control port, then its count, low byte first. k = 1000 = 03E8, n = 10 = 000A.
clock_writes=(
    "E007 76" "E005 E8" "E005 03" # chip A counter 1: k
    "E007 B6" "E006 0A" "E006 00" # chip A counter 2: n
    "E00B 36" "E008 0A" "E008 00" # chip B counters 0, 1, 2: n
    "E00B 76" "E009 0A" "E009 00"
    "E00B B6" "E00A 0A" "E00A 00"
    "E00F 36" "E00C 0A" "E00C 00" # chip C
    "E00F 76" "E00D 0A" "E00D 00"
    "E00F B6" "E00E 0A" "E00E 00"
    "E013 36" "E010 0A" "E010 00" # chip D
    "E013 76" "E011 0A" "E011 00"
    "E013 B6" "E012 0A" "E012 00"
)
mark=$(trace_mark)
click cmdClk
writes=$(operation_writes "$mark" 33) || fail "no 33 writes and a tick after them within 5 s of 时钟输出: ${writes//$'\n'/, }"
expect_lines "clock writes with k=1000, n=10" "$(lines "${clock_writes[@]}")" "$writes"
pass "时钟输出 made the 33 writes of k=1000 (E8 03) and n=10 (0A 00) in order"

# --- DA output ------------------------------------------------------------------------------------
da_codes=(0 123 FFF 800)
for c in 0 1 2 3; do
    type_into "txtda($c)" "${da_codes[c]}"
done
mark=$(trace_mark)
click cmdDA
writes=$(operation_writes "$mark" 12) || fail "no 12 writes and a tick after them within 5 s of DA 输出: ${writes//$'\n'/, }"
# Per channel: low byte to E008, code / 256 with the channel in bits 4-5 to E009, 0 to E00A.
expect_lines "DA writes for codes 0 123 FFF 800" "$(lines \
    "E008 00" "E009 00" "E00A 00" \
    "E008 23" "E009 11" "E00A 00" \
    "E008 FF" "E009 2F" "E00A 00" \
    "E008 00" "E009 38" "E00A 00")" "$writes"
pass "DA 输出 made the 12 writes for 0 123 FFF 800 in order"

# --- Overflow in group 3: reported, earlier groups written, the program goes on -------------------
overflow_outputs=(5A 3C 10000 77)
for g in 0 1 2 3; do
    type_into "txtOutput$g" "${overflow_outputs[g]}"
done
[ "$(xdo_program_windows | wc -l)" -eq 1 ] || fail "a second window was open before the overflow"
mark=$(trace_mark)
click cmdOutput
find_report() { report=$(xdo_program_windows | grep -vx "$XDO_WINDOW" | head -n 1) && [ -n "$report" ]; }
report=""
xdo_wait_for 5 find_report || fail "no error report window appeared after 输出 with 10000 in group 3"
opened_ms=$(xdo_now_ms)
open_mark=$(trace_mark)
require_running "on the overflow"
report_title=$(xdotool getwindowname "$report")
[ "$report_title" = "$title" ] || fail "error report titled '$report_title', not '$title'"

# A person trying a button of the window while the report is open gets nowhere: it is modal.
# The button must be one the report does not cover.
eval "$(xdotool getwindowgeometry --shell "$report" | sed 's/^/REPORT_/')"
blocked=""
for candidate in cmdClk cmdDA cmdIOBase; do
    read -r x y <<<"$(xdo_control_center "$candidate")"
    if ((x < REPORT_X || x >= REPORT_X + REPORT_WIDTH || y < REPORT_Y || y >= REPORT_Y + REPORT_HEIGHT)); then
        blocked=$candidate
        break
    fi
done
[ -n "$blocked" ] || fail "the error report covers every button of the window"
click "$blocked"
mapfile -t report_texts < <(xdo_read_window_texts "$report" 2)
[ "${report_texts[0]:-}" = "Run-time error 6: Overflow" ] ||
    fail "error report says '${report_texts[0]:-}', not 'Run-time error 6: Overflow'"
[[ "${report_texts[1]:-}" == *"开关量输出 第三组"*10000*"00 to FF"* ]] ||
    fail "error report does not name 开关量输出 第三组, its text 10000 and 00 to FF: '${report_texts[1]:-}'"
grep -q "Run-time error 6: Overflow: 开关量输出 第三组: \"10000\" cannot be used; type a value from 00 to FF (a larger value, up to FFFF, keeps its low 8 bits)\. | Written before it stopped (port=byte): E000=5A, E001=3C\. | " "$trace_file" ||
    fail "the report was not written to standard error as one line"
pass "an error report titled like the window says '${report_texts[0]}' and '${report_texts[1]}'"

# Stay open longer than a tick period: nothing may run meanwhile.
remaining_ms=$((1500 - ($(xdo_now_ms) - opened_ms)))
((remaining_ms > 0)) && sleep "$((remaining_ms / 1000)).$(printf '%03d' $((remaining_ms % 1000)))"
expect_lines "port accesses while the error report was open" "" "$(trace_since "$open_mark")"
pass "while the report was open no tick ran and a click on $blocked did nothing"

xdotool key --clearmodifiers Return
report_closed() { [ "$(xdo_program_windows | wc -l)" -eq 1 ]; }
xdo_wait_for 3 report_closed || fail "the error report did not close on Return"
require_running "after the error report closed"
close_mark=$(trace_mark)
expect_lines "writes of the output that overflowed in group 3" \
    "$(lines "E000 5A" "E001 3C")" "$(writes_since "$mark")"
failing_box=$(xdo_copy_focused) || fail "nothing could be copied from the focused box after the report"
[ "$failing_box" = 10000 ] || fail "after the report the focused box holds '$failing_box', not the failing 10000"
xdo_wait_for 3 tick_after "$close_mark" >/dev/null || fail "no tick read the inputs within 3 s of closing the report"
# Groups 1 and 2 were written; groups 3 and 4 keep what the first output wrote.
expect_lines "inputs on the first tick after the report" \
    "$(lines "E000 5A" "E001 3C" "E002 00" "E003 FF")" "$(tick_after "$close_mark")"
pass "after Return the program runs on: groups 1-2 written (5A 3C), 3-4 untouched, ticks go on"

# --- Exit -----------------------------------------------------------------------------------------
click Command_exit
exited() { ! running; }
xdo_wait_for 3 exited || fail "the program was still running 3 s after Exit"
wait "$pid"
status=$?
pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status after Exit, not 0"
pass "Exit ended the program with status 0"

# --- The self-test from the menu, keyboard only: Alt+T, S, a serial and Enter ---------------------
# A home of its own: the results folder under its documents, the dialog's settings in its config.
home="$work/home"
mkdir -p "$home/.config/qm5083-bench"
# The DA check reads the simulated meter on DA1, as a station's settings would say.
printf '[daCheck]\nmeter=sim\nchannel=1\n' >"$home/.config/qm5083-bench/qm5083-bench.conf"
HOME="$home" XDG_CONFIG_HOME="$home/.config" "$program" --simulate --sim-fault stuck:2.3=1 \
    </dev/null >"$work/stdout" 2>"$trace_file" &
pid=$!
xdo_find_window 15 "$pid" || fail "the window did not appear for the self-test"
main_window=$XDO_WINDOW
# A click on a label gives the window the keyboard, as a person's first click does.
click "Label3(0)"
xdotool key --clearmodifiers alt+t
sleep 0.3
xdotool key --clearmodifiers s
find_dialog() { dialog=$(xdo_program_windows | grep -vx "$main_window" | head -n 1) && [ -n "$dialog" ]; }
dialog=""
xdo_wait_for 5 find_dialog || fail "Alt+T, S opened no self-test dialog"
xdotool type --delay 20 "E2E-0001"
xdotool key --clearmodifiers Return
results="$home/Documents/qm5083-bench"
filed() { compgen -G "$results/E2E-0001_*.json" >/dev/null; }
xdo_wait_for 10 filed || fail "no report E2E-0001_*.json was filed in $results"
report_file=$(compgen -G "$results/E2E-0001_*.json" | head -n 1)
python3 - "$report_file" <<'PY' || fail "the filed report $report_file is not the failed self-test of E2E-0001"
import json, sys
report = json.load(open(sys.argv[1]))
assert report["command"] == "self-test" and report["serial"] == "E2E-0001", report
assert report["status"] == 1 and report["passed"] is False, report
assert any(c.get("group") == 2 and c["result"] == "fail" for c in report["checks"]), report
PY
pass "Alt+T, S, a serial and Enter ran the self-test with a stuck bit and filed $(basename "$report_file") with status 1"

xdotool key --clearmodifiers Escape
closed() { [ "$(xdo_program_windows | wc -l)" -eq 1 ]; }
xdo_wait_for 3 closed || fail "Esc did not close the self-test dialog"
click "Label3(0)" # without a window manager the keyboard does not come back by itself
xdotool key --clearmodifiers alt+t
sleep 0.3
xdotool key --clearmodifiers d
xdo_wait_for 5 find_dialog || fail "Alt+T, D opened no DA check dialog"
xdotool type --delay 20 "E2E-0001"
xdotool key --clearmodifiers Return
da_filed() { compgen -G "$results/E2E-0001_DA1_*.json" >/dev/null; }
xdo_wait_for 10 da_filed || fail "no DA check report E2E-0001_DA1_*.json was filed in $results"
da_file=$(compgen -G "$results/E2E-0001_DA1_*.json" | head -n 1)
python3 - "$da_file" <<'PY' || fail "the filed report $da_file is not a complete DA check of DA1"
import json, sys
report = json.load(open(sys.argv[1]))
assert report["command"] == "da-check" and report["channel"] == 1, report
assert report["complete"] is True and report["meter"]["kind"] == "simulated", report
PY
pass "Alt+T, D, a serial and Enter ran the DA check on DA1 with the simulated meter and filed $(basename "$da_file")"
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
pid=""

# --- In a Chinese locale, without a card: the start-up report in Chinese --------------------------
LANG=zh_CN.UTF-8 LC_ALL= LANGUAGE= "$program" </dev/null >"$work/stdout" 2>"$trace_file" &
pid=$!
said_no_card() { grep -q "没有板卡: 程序未连接任何板卡：启动时没有给出 --pci-id，" "$trace_file"; }
xdo_wait_for 10 said_no_card || fail "started in zh_CN without a card, no Chinese report of it"
pass "in zh_CN without --simulate or --pci-id the program reports at once, in Chinese, that it reaches no card"

# --- A bad option, as when started from the desktop menu: the reason in a report window too -------
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
"$program" --simulat </dev/null >"$work/stdout" 2>"$work/bad-option" &
pid=$!
report_shown() { [ -n "$(xdo_program_windows)" ]; }
xdo_wait_for 10 report_shown || fail "a bad option showed no report window"
grep -q "Unknown option 'simulat'" "$work/bad-option" || fail "a bad option was not on standard error"
pass "a bad option is shown in a report window as well as on standard error"

echo "end to end, $(elapsed): $passed passed, 0 failed"
