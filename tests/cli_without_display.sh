#!/usr/bin/env bash
# What the program answers on a machine without a display: its command-line outcomes, each an
# exit status and the message that starts its standard error, before any window is needed.
# Usage: cli_without_display.sh PATH/TO/qm5083-bench
set -uo pipefail
program=${1:?usage: cli_without_display.sh PATH/TO/qm5083-bench}
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# A session's own runtime directory, as a desktop login gives one (Qt warns without it).
XDG_RUNTIME_DIR=$(mktemp -d)
XDG_DATA_HOME=$XDG_RUNTIME_DIR/data
export XDG_RUNTIME_DIR XDG_DATA_HOME
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

failed=0
# expected status | expected first line of standard error | arguments
rows=(
    '2|qm5083-bench: --pci-id "zz" is not VVVV:DDDD[:BAR][/SSSS:TTTT] (vendor and device id, four hex digits each as lspci -nn shows them, BAR 0 to 5, and the subsystem'"'"'s ids as lspci -nnv shows them)|--pci-id zz'
    # A terminal's escape in an argument is shown, not obeyed.
    '2|qm5083-bench: --pci-id "\x1B]2;pwned\x07" is not VVVV:DDDD[:BAR][/SSSS:TTTT] (vendor and device id, four hex digits each as lspci -nn shows them, BAR 0 to 5, and the subsystem'"'"'s ids as lspci -nnv shows them)|--pci-id '$'\e]2;pwned\a'
    "2|qm5083-bench: Unknown option 'simulat'.|--simulat"
    '2|qm5083-bench: cannot open the session record /nonexistent/qm5083/session.log for appending: its folder /nonexistent/qm5083 does not exist|--simulate --log /nonexistent/qm5083/session.log'
    '2|qm5083-bench: --sim-fault gives the simulated card a fault: give --simulate too|--self-test --sim-fault dead-chip:A'
    '0||--simulate --self-test --meter sim'
    '3||--simulate --self-test'
    '0||--simulate --print-layout'
    '0||--simulate out 12 A5 3C FF'
    '2|qm5083-bench: cannot open the session record /dev/full for appending: it is not a regular file (a device, a pipe or a socket); the record goes to a file only|--simulate --log /dev/full out 12 A5 3C FF'
    '2|qm5083-bench: out: B1 "100" is not a byte: 00 to FF in hexadecimal|--simulate out 100 0 0 0'
    '2|qm5083-bench: --simulate 9: give the number of simulated cards, 1 to 8|--simulate 9 in'
    '2|qm5083-bench: --simulate 0: give the number of simulated cards, 1 to 8|--simulate 0 in'
)
for row in "${rows[@]}"; do
    IFS='|' read -r status message arguments <<<"$row"
    # shellcheck disable=SC2086 # the arguments are words
    actual_message=$("$program" $arguments 2>&1 >/dev/null | head -n 1)
    "$program" $arguments >/dev/null 2>&1
    actual_status=$?
    if [ "$actual_status" != "$status" ] || [ "$actual_message" != "$message" ]; then
        echo "FAIL: $arguments: status $actual_status, '$actual_message'; expected $status, '$message'" >&2
        failed=1
    else
        echo "PASS: $arguments: status $status"
    fi
done

# The simulated cards keep their state from program to program, as real cards do: the manual
# page's example, a reset, and a third card beside the first. Each check is a line of commands.
checks=(
    'qm5083-bench --simulate out 12 A5 3C FF && qm5083-bench --simulate in --expect 12 A5 3C FF'
    'qm5083-bench --sim-reset && qm5083-bench --simulate in --expect 00 00 00 00'
    'qm5083-bench --simulate 3 --card 3 out 33 00 00 00 && qm5083-bench --simulate 3 --card 1 in --expect 00 00 00 00 && qm5083-bench --simulate 3 --card 3 in --expect 33 00 00 00'
    # The reset reaches every card, the last of eight too.
    'qm5083-bench --simulate 8 --card 8 out 88 00 00 00 && qm5083-bench --sim-reset && qm5083-bench --simulate 8 --card 8 in --expect 00 00 00 00'
    # The picture needs no display, whatever platform the environment names.
    'QT_QPA_PLATFORM=xcb qm5083-bench --simulate da-check --channel 0 --range 0:10 --meter sim --limit 1 --plot "$XDG_RUNTIME_DIR/check.svg" >/dev/null && test -s "$XDG_RUNTIME_DIR/check.svg"'
)
qm5083-bench() { "$program" "$@"; }
for check in "${checks[@]}"; do
    if output=$(eval "$check" 2>&1); then
        echo "PASS: $check"
    else
        echo "FAIL: $check: $output" >&2
        failed=1
    fi
done
# A card held by a program stopped inside an operation (its trace's pipe full and never read): a
# second program gives up after its 2 s, naming the holder by its process and its command line cut
# to 200 characters; one waiting for the card when a reset removes its state, once the holder
# ends, takes the state made afresh, not the one removed.
# wait_until SECONDS COMMAND...: until COMMAND succeeds.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.05
    done
}
held=$XDG_RUNTIME_DIR/held
mkfifo "$held"
exec 7<>"$held"
long_name=$(printf 'x%.0s' $(seq 300))
yes 'out 01 02 03 04' | (exec -a "$long_name" "$program" --simulate --trace batch >/dev/null 2>&7) &
holder=$!
stopped() { grep -q pipe_write "/proc/$holder/wchan" 2>/dev/null; }
waiting() { ls -l "/proc/$1/fd" 2>/dev/null | grep -q 'card1\.state'; }
if wait_until 30 stopped; then
    busy=$("$program" --simulate in 2>&1 >/dev/null)
    busy_status=$?
    "$program" --simulate in >"$held.out" 2>"$held.err" &
    waiter=$!
    wait_until 10 waiting "$waiter" && "$program" --sim-reset >/dev/null
    kill -9 "$holder"
    wait "$waiter"
    waiter_status=$?
else
    busy="the holder never stopped" busy_status=0 waiter_status=0
fi
kill -9 "$holder" 2>/dev/null
exec 7>&-
if [ "$busy_status" = 2 ] && grep -qF "process $holder (${long_name:0:200}…)" <<<"$busy"; then
    echo "PASS: a card held: the holder named, its command line cut to 200 characters"
else
    echo "FAIL: a card held: status $busy_status, '$(head -c 400 <<<"$busy")'" >&2
    failed=1
fi
if [ "$waiter_status" = 0 ] && [ "$(cat "$held.out")" = "00 00 00 00" ]; then
    echo "PASS: a program waiting for a card when a reset removes its state takes the new one"
else
    echo "FAIL: a reset while a program waits: status $waiter_status, '$(cat "$held.out" "$held.err")'" >&2
    failed=1
fi

# Building the window loads no image plug-in (the menu's overflow icon waits until it is drawn).
loaded=$(LD_DEBUG=files "$program" --simulate --print-layout 2>&1 >/dev/null | grep -o 'file=[^ ]*')
if grep 'plugins/imageformats/' <<<"$loaded" || ! grep -q 'libQt6Widgets' <<<"$loaded"; then
    echo "FAIL: building the window loaded image plug-ins" >&2 && failed=1
else echo "PASS: the window is built without image plug-ins"; fi
exit "$failed"
