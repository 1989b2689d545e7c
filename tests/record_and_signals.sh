#!/usr/bin/env bash
# The session record's faults and the ending signals, on the program as built and the simulated
# card: a record on a full file system, one removed and replaced by a directory mid-run, one cut
# in the middle of a line, a program killed in the middle of a batch; SIGTERM ending a batch
# after its line in progress, and the window as Exit does; the DA check at a terminal, where a
# reading that is not a number is asked again and Ctrl-C leaves the channel at code 0, and the DA
# check ended by a signal while it settles or its meter reads. One PASS or FAIL line each.
# Usage: record_and_signals.sh PATH/TO/qm5083-bench
set -uo pipefail
program=$(realpath "${1:?usage: record_and_signals.sh PATH/TO/qm5083-bench}")
work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work XDG_DATA_HOME=$work/data LANG=C.UTF-8 LC_ALL=C.UTF-8
cd "$work" || exit 1

failed=0
verdict() { # verdict STATUS NAME DETAIL
    if [ "$1" -eq 0 ]; then echo "PASS: $2"; else
        echo "FAIL: $2: $3" >&2
        failed=1
    fi
}
# Every line a JSON value, and the file ending in a whole line.
whole_json_lines() {
    [ -s "$1" ] && [ -z "$(tail -c 1 "$1")" ] && jq -e . "$1" >/dev/null 2>&1
}
# wait_for SECONDS COMMAND...: until COMMAND succeeds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.05
    done
}
lines_in() { [ -f "$1" ] && [ "$(wc -l <"$1")" -ge "$2" ]; }
reports() { grep -c "session record .* cannot be written" "$1"; }

# start_batch PIPE LOG: a batch on the simulated card that reads PIPE (held open on fd 3) and
# records to LOG, once it has answered a first line; its process id in batch_pid.
start_batch() {
    mkfifo "$1"
    # An earlier batch's answers must not pass for this one's: the shell's child makes the new
    # file only once it runs.
    rm -f out.txt err.txt
    "$program" --simulate --log "$2" batch <"$1" >out.txt 2>err.txt &
    batch_pid=$!
    pids+=("$batch_pid")
    exec 3>"$1"
    echo "out 01 02 03 04" >&3
    wait_for 10 lines_in out.txt 1
}

# A file system of 8 KiB, mounted where only this test sees it (as root, or in a user namespace).
full_disk() {
    local mount=(unshare --mount --propagation private)
    [ "$(id -u)" -ne 0 ] && mount=(unshare --user --map-root-user --mount)
    mkdir tiny
    for _ in $(seq 200); do echo "out 01 02 03 04"; done >batch.txt
    # The record is copied out before its file system goes with the namespace.
    "${mount[@]}" bash -c 'mount -t tmpfs -o size=8k tmpfs tiny || exit 99
        "$@"; status=$?; cp tiny/session.log full.log; exit $status' _ \
        "$program" --simulate --log tiny/session.log batch <batch.txt >out.txt 2>err.txt
    local status=$?
    if grep -q "^mount:\|^unshare:" err.txt; then
        verdict 1 "a full file system" "cannot mount a small file system here: $(head -n1 err.txt)"
        return
    fi
    [ "$status" = 0 ] && [ "$(wc -l <out.txt)" = 200 ] && [ "$(reports err.txt)" = 1 ] \
        && grep -q "No space left on device" err.txt && whole_json_lines full.log
    verdict $? "a full file system: one report, all 200 lines answered, the record whole" \
        "exit $status, $(wc -l <out.txt) answers, stderr: $(head -c 300 err.txt)"
}

# The record removed and a directory put in its place while a batch runs.
replaced_by_directory() {
    start_batch lines replaced.log
    rm replaced.log && mkdir replaced.log
    echo "out 05 06 07 08" >&3
    echo "in" >&3
    exec 3>&-
    wait "$batch_pid"
    local status=$?
    [ "$status" = 0 ] && [ "$(wc -l <out.txt)" = 3 ] && [ "$(reports err.txt)" = 1 ] \
        && grep -q "removed or replaced" err.txt
    verdict $? "a record replaced by a directory: one report, the batch goes on" \
        "exit $status, answers: $(tr '\n' '|' <out.txt), stderr: $(head -c 300 err.txt)"
    rm -f lines
}

# A record cut in the middle of a line, as a power cut leaves it.
cut_by_hand() {
    printf '{"session":{}}\n{"operation":"out 01 0' >cut.log
    "$program" --simulate --log cut.log out 12 A5 3C FF >out.txt 2>err.txt
    local status=$? kept
    kept=$(sed -n 2p cut.log)
    [ "$status" = 0 ] && whole_json_lines cut.log \
        && [ "$kept" = '{"incomplete":"{\"operation\":\"out 01 0"}' ] \
        && grep -q "ended in a line cut short" err.txt && [ "$(wc -l <cut.log)" = 4 ]
    verdict $? "a record cut mid-line: kept as a line of its own, the next lines after it" \
        "exit $status, line 2: $kept, stderr: $(head -c 200 err.txt)"
}

# Killed with SIGKILL in the middle of a batch: whole lines, but for a last one the kill cut (a
# line goes to the kernel in one write, which a kill can still cut at a page's edge), which the
# next program to open the record keeps as {"incomplete": ...}. After that, only whole lines.
killed_mid_batch() {
    yes "clock 1000 10" | "$program" --simulate --log killed.log batch >/dev/null 2>err.txt &
    local pid=$!
    pids+=("$pid")
    wait_for 20 bash -c '[ "$(stat -c %s killed.log 2>/dev/null || echo 0)" -gt 300000 ]'
    local grown=$?
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    local before cut_short=no
    before=$(wc -l <killed.log) # whole lines: a cut last one has no end yet
    [ -n "$(tail -c 1 killed.log)" ] && cut_short=yes
    head -n "$before" killed.log >whole.log
    "$program" --simulate --log killed.log cards >/dev/null 2>err.txt
    local reopened=$?
    [ "$grown" = 0 ] && [ "$reopened" = 0 ] && whole_json_lines whole.log \
        && whole_json_lines killed.log \
        && if [ $cut_short = yes ]; then
            sed -n "$((before + 1))p" killed.log | jq -e 'has("incomplete")' >/dev/null
        else ! grep -q '"incomplete"' killed.log; fi
    verdict $? "killed mid-batch: whole lines, a cut last line ($cut_short) kept as incomplete" \
        "$(wc -l <killed.log) lines, reopened: exit $reopened, ends in: $(tail -c 120 killed.log)"
}

# SIGTERM in a batch: the line in progress ends, then the batch, with status 143.
batch_ended_by_sigterm() {
    start_batch more ended.log
    kill -TERM "$batch_pid"
    wait "$batch_pid"
    local status=$?
    exec 3>&-
    local last
    last=$(tail -n 1 ended.log | jq -r '.operation + " " + .endedBy' 2>/dev/null)
    [ "$status" = 143 ] && [ "$(wc -l <out.txt)" = 1 ] && whole_json_lines ended.log \
        && [ "$last" = "batch SIGTERM" ]
    verdict $? "SIGTERM ends a batch after its line, with status 143, and the record says so" \
        "exit $status, answers: $(tr '\n' '|' <out.txt), stderr: $(head -c 200 err.txt)"
    rm -f more
}

# SIGTERM to the window: it ends as Exit does, with status 0 and the Exit line last. Sent as soon
# as the record has its first line, the earliest moment the window's handler must be in place by.
# Without a card the window starts with a report saying so, which the signal closes too.
window_ended_by_sigterm() {
    local card
    for card in --simulate --config=/nonexistent/cards.conf; do
        rm -f window.log
        "$program" "$card" --log window.log >/dev/null 2>err.txt &
        local pid=$!
        pids+=("$pid")
        wait_for 20 lines_in window.log 1
        kill -TERM "$pid"
        wait "$pid"
        local status=$? last
        last=$(tail -n 1 window.log | jq -r '.operation + " " + .result' 2>/dev/null)
        [ "$status" = 0 ] && whole_json_lines window.log && [ "$last" = "Exit done" ]
        verdict $? "SIGTERM closes the window as Exit does ($card)" "exit $status, last line: $last"
    done
}

# The DA check typed at a terminal (a pseudo-terminal under script): a bad reading is asked
# again, and Ctrl-C at the third code ends the check with DA0 written back to code 0.
da_check_at_a_terminal() {
    mkfifo keys
    script -qfec "$program --simulate --trace da-check --channel 0 --range 0:10 --points 2" \
        terminal.txt <keys >/dev/null 2>&1 &
    local pid=$!
    pids+=("$pid")
    exec 3>keys
    prompts() { [ "$(grep -so 'or q to end: ' terminal.txt | wc -l)" -ge "$1" ]; }
    local key prompt=1
    for key in '0\n' 'abc\n' '1.0\n' '\003'; do
        wait_for 10 prompts "$prompt" || break
        printf "$key" >&3
        prompt=$((prompt + 1))
    done
    wait "$pid"
    local status=$?
    exec 3>&-
    local text
    text=$(tr -d '\r' <terminal.txt)
    grep -q '^"abc" is not a number of volts; type the reading, or q to end$' <<<"$text" \
        && [ "$(grep -c 'DA0 at code 1 ' <<<"$text")" = 2 ] \
        && grep -q '^qm5083-bench: da-check: the check was ended by SIGINT at code 3FF; DA0 is left at code 0$' <<<"$text" \
        && [ "$(grep -o 'out E00. ..' <<<"$text" | tail -n 3 | tr '\n' ' ')" \
            = "out E008 00 out E009 00 out E00A 00 " ] && [ "$status" = 130 ]
    verdict $? "the DA check at a terminal asks again after a bad reading; Ctrl-C leaves DA0 at 0, on a line of its own, with status 130" \
        "exit $status, the terminal showed: $(tail -c 400 <<<"$text")"
    rm -f keys
}

# Ctrl-C in the self-test: it ends after the part in progress, leaves the card as a whole
# self-test does (the same last writes), reports "could not run" and exits 130. The signal is
# sent once the program has written its trace's first line, so its handler is in place.
self_test_ended_by_sigint() {
    "$program" --simulate --trace --self-test --report whole.json >/dev/null 2>whole.trace
    mkfifo trace
    "$program" --simulate --trace --self-test --report ended.json >/dev/null 2>trace &
    local pid=$! header status
    pids+=("$pid")
    exec 4<trace
    read -r header <&4
    kill -INT "$pid"
    cat <&4 >ended.trace
    wait "$pid"
    status=$?
    exec 4<&-
    last_writes() { grep -o ' out .*' "$1" | tail -n 45; }
    [ "$status" = 130 ] && grep -q '^qm5083-bench: the self-test ended by SIGINT after' ended.trace \
        && [ "$(last_writes ended.trace)" = "$(last_writes whole.trace)" ] \
        && [ "$(jq -r '.command + " " + (.status | tostring)' ended.json)" = "self-test 130" ] \
        && jq -e '.error | startswith("the self-test ended by SIGINT")' ended.json >/dev/null
    verdict $? "Ctrl-C ends the self-test after its part, the card left as always, status 130" \
        "exit $status, $(grep -v '^[0-9]' ended.trace | head -c 300), report: $(head -c 200 ended.json)"
    rm -f trace
}

# SIGTERM while the DA check waits for a code to settle, and Ctrl-C while a slow meter command
# runs: each ends the check within one reading (well before the next settle or the meter's own
# end), DA1 back at code 0, the report kept with the readings so far, marked incomplete with the
# signal as the reason, and the status 128 + the signal.
da_check_ended_by_a_signal() { # NAME SIGNAL STATUS DA-CHECK OPTIONS...
    local name=$1 signal=$2 want=$3
    shift 3
    # The trace of an earlier run must be gone before this one starts: the shell's child makes
    # the new file only once it runs, and a signal sent before the program is there is lost.
    rm -f ended.json signal.trace
    "$program" --simulate --trace da-check --channel 1 --range 0:10 --points 2 --report ended.json \
        "$@" >/dev/null 2>signal.trace &
    local pid=$! status sent took
    pids+=("$pid")
    set_codes() { [ "$(grep -c 'out E00A' signal.trace 2>/dev/null)" -ge "$1" ] 2>/dev/null; }
    wait_for 10 set_codes 2 # the handler is in place before the first code is set
    sent=$(date +%s%N)
    kill "-$signal" "$pid"
    wait "$pid"
    status=$?
    took=$((($(date +%s%N) - sent) / 1000000))
    # Well within one reading (a 2 s meter; ten codes of 300 ms settling), with room for a loaded
    # machine: not a measure of speed.
    [ "$status" = "$want" ] && [ "$took" -lt 1500 ] \
        && [ "$(grep -o 'out E00. ..' signal.trace | tail -n 3 | tr '\n' ' ')" \
            = "out E008 00 out E009 10 out E00A 00 " ] \
        && jq -e --arg signal "SIG$signal" '.complete == false and .endedBy == $signal
            and .verdict == "stopped" and (.points | length) < 10' ended.json >/dev/null \
        && ! grep -q 'the meter command' signal.trace
    verdict $? "$name: ended by SIG$signal within one reading, DA1 at code 0, status $want" \
        "exit $status after $took ms, $(grep -v '^[0-9]' signal.trace | head -c 300), report: $(head -c 300 ended.json)"
}

# Each record line goes to the kernel in one write, whole: the self-test's line of some 800
# accesses as much as a short one (strace shows each write to the record's file).
one_write_per_line() {
    # LeakSanitizer cannot run under ptrace: it would abort the program at its end.
    ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" \
        strace -f -qq -e trace=write -e signal=none -s 1000000 -o writes.txt \
        "$program" --simulate --log oneline.log --self-test >/dev/null 2>&1
    local fd writes cut
    fd=$(grep -m1 -F '{\"session\"' writes.txt | sed -E 's/^([0-9]+ +)?write\(([0-9]+),.*/\2/')
    writes=$(grep -cE "^([0-9]+ +)?write\($fd, " writes.txt)
    # A write that is not exactly one line: no line's end, one before its last byte, or only part
    # of it written.
    grep -E "^([0-9]+ +)?write\($fd, " writes.txt >record-writes.txt
    cut=$(($(grep -cvE '\\n", ([0-9]+)\) = \1$' record-writes.txt)
        + $(grep -cE '\\n.*\\n", [0-9]+\) = ' record-writes.txt)))
    [ -n "$fd" ] && [ "$writes" = "$(wc -l <oneline.log)" ] && [ "$cut" = 0 ] \
        && whole_json_lines oneline.log
    verdict $? "each record line is one write" "record fd ${fd:-none}, $writes writes for \
$(wc -l <oneline.log) lines, $cut not one whole line"
}

full_disk
replaced_by_directory
cut_by_hand
killed_mid_batch
batch_ended_by_sigterm
window_ended_by_sigterm
da_check_at_a_terminal
self_test_ended_by_sigint
da_check_ended_by_a_signal "the DA check while it settles" TERM 143 --meter sim --settle 300
da_check_ended_by_a_signal "the DA check while a slow meter reads" INT 130 \
    --meter 'command:sleep 2; echo $QM5083_DA_IDEAL'
one_write_per_line
exit "$failed"
