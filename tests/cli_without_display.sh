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
# Building the window loads no image plug-in (the menu's overflow icon waits until it is drawn).
loaded=$(LD_DEBUG=files "$program" --simulate --print-layout 2>&1 >/dev/null | grep -o 'file=[^ ]*')
if grep 'plugins/imageformats/' <<<"$loaded" || ! grep -q 'libQt6Widgets' <<<"$loaded"; then
    echo "FAIL: building the window loaded image plug-ins" >&2 && failed=1
else echo "PASS: the window is built without image plug-ins"; fi
exit "$failed"
