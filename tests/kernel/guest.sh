#!/bin/bash
# The kernel test's checks, run inside its virtual machine as the first process, on the host's
# root (read-only) with the test's share at /run/kernel-test. The kernel parameter qm5083.boot
# says which boot this is: "normal", "lockdown" (booted with lockdown=integrity), or "install"
# (the host's root under an overlay in memory, so writable, with the package in the share). Each check
# writes one PASS or FAIL line with what it saw to the share's results-<boot>; "END" closes the
# file, and the machine powers itself off.
#
# The cards (scripts/kernel-test.sh places them): three pci-testdev (1b36:0005: BAR 0 memory,
# BAR 1 256 ports), one behind a bridge, and an AC97 (8086:2415: two I/O BARs). Writing 0, 1 or
# 2 to a test card's first port selects one of its port tests; from then on its ports 10 up
# read back that test's name.
#
# Probe arguments and lspci regions come from functions as words to split: hence SC2046.
# shellcheck disable=SC2046
export PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C
share=/run/kernel-test
probe=$share/qm5083-pci-probe
bench=$share/qm5083-bench
test_card_addresses=() ac97_address="" board_address="" twin_address=""
# shellcheck source=/dev/null
source "$share/config" # test_card_addresses (in PCI address order), ac97_address, the e1000e pair
boot=$(sed -n 's/.*qm5083\.boot=\([a-z]*\).*/\1/p' /proc/cmdline)
results=$share/results-$boot
scratch=$(mktemp -d)
readonly kTestIds=1b36:0005 kUser=5083 kGroup=5084
readonly kTestNames=(portio-no-eventfd portio-wildcard-eventfd portio-datamatch-eventfd)

mount -t securityfs securityfs /sys/kernel/security
mkdir -p /dev/pts && mount -t devpts devpts /dev/pts
# What udev or systemd would make in a booted system; bash's <(...) needs /dev/fd.
ln -sfn /proc/self/fd /dev/fd

check=""
pass() { echo "PASS $check: $*" >>"$results"; }
fail() { echo "FAIL $check: $*" >>"$results"; }
# verdict STATUS TEXT: PASS when STATUS is 0, else FAIL; either with TEXT, and on failure with the
# last command run's results. Called as verdict $? ..., since $? is expanded before any command
# substitution in TEXT runs.
verdict() {
    if [ "$1" -eq 0 ]; then pass "$2"; else fail "$2 [last run: $(seen)]"; fi
}

# run COMMAND...: keeps its standard output, standard error and exit status in out, err and rc.
run() {
    out=$(timeout 60 "$@" 2>"$scratch/err")
    rc=$?
    err=$(<"$scratch/err")
}
oneline() { tr '\n' '|' <<<"$1" | sed 's/|$//'; }
seen() { echo "exit $rc, out \"$(oneline "$out")\", err \"$(oneline "$err")\""; }

hex() { printf '%04X' "$1"; }
# region ADDRESS BAR: the I/O region lspci -vv shows as "START SIZE" (start in upper-case hex).
region() {
    local line start size
    line=$(lspci -vv -s "$1" | grep -E "^\s+Region $2: I/O ports at ") || return 1
    start=$(sed -E 's/.* at ([0-9a-f]+) .*/\1/' <<<"$line")
    size=$(sed -E 's/.*\[size=([0-9]+K?)\].*/\1/' <<<"$line")
    [[ $size == *K ]] && size=$((${size%K} * 1024))
    echo "$(hex $((16#$start))) $size"
}
base() { region "$1" "$2" | cut -d' ' -f1; }
# name_reads BASE LENGTH: probe arguments reading a test card's test name.
name_reads() {
    local i
    for ((i = 0; i < $2; i++)); do printf 'in %s ' "$(hex $((16#$1 + 0x10 + i)))"; done
}
# text: the probe's output bytes (one hex byte a line) as characters.
text() { printf '%b' "$(sed -n 's/^\([0-9A-F][0-9A-F]\)$/\\x\1/p' | tr -d '\n')"; }
list_line() { echo "card $1 $2 $3 BAR $4 base $5 size $6"; }
# A user with no access of its own: uid 5083, primary group nogroup.
as_user=(setpriv --reuid="$kUser" --regid=65534)

cards=("${test_card_addresses[@]}")
bases=()
for address in "${cards[@]}"; do bases+=("$(base "$address" 1)"); done

# ---- normal boot

check_numbering() {
    local expected="" n=0 address
    for address in "${cards[@]}"; do
        n=$((n + 1))
        expected+="card $n $address 1B36:0005"$'\n'
    done
    run "$probe" --pci-id $kTestIds list
    [ "$rc" = 0 ] && [ "$(cut -d' ' -f1-4 <<<"$out")" = "${expected%$'\n'}" ] \
        && [ "$(lspci -D -n -d $kTestIds | cut -d' ' -f1 | sort)" \
            = "$(printf '%s\n' "${cards[@]}")" ]
    verdict $? "cards 1-${#cards[@]} in PCI address order: $(oneline "$out")"
}

check_bases() {
    local expected="" n=0 address
    for address in "${cards[@]}"; do
        n=$((n + 1))
        expected+="$(list_line $n "$address" 1B36:0005 1 $(region "$address" 1))"$'\n'
    done
    run "$probe" --pci-id $kTestIds list
    [ "$rc" = 0 ] && [ "$out" = "${expected%$'\n'}" ]
    verdict $? "BAR 1 base and size as lspci -vv shows them: $(oneline "$out")"
}

check_numbering_across_ids() {
    local expected="card 1 $ac97_address 8086:2415"$'\n'"card 2 ${cards[0]} 1B36:0005"
    run "$probe" --pci-id $kTestIds --pci-id 8086:2415 list
    [ "$rc" = 0 ] && [ "$(cut -d' ' -f1-4 <<<"$out" | head -n2)" = "$expected" ] \
        && [ "$(wc -l <<<"$out")" = $((${#cards[@]} + 1)) ]
    verdict $? "AC97, given second, is card 1 by address: $(oneline "$out")"
}

check_first_io_bar() {
    local expected
    expected=$(list_line 1 "$ac97_address" 8086:2415 0 $(region "$ac97_address" 0))
    run "$probe" --pci-id 8086:2415 list
    [ "$rc" = 0 ] && [ "$out" = "$expected" ]
    verdict $? "no BAR given: its first I/O BAR, as lspci: $out"
}

check_chosen_bar() {
    local start expected
    start=$(base "$ac97_address" 1)
    # Its bus-master status register (BAR 1 + 6) reads 01 after reset.
    expected=$(list_line 1 "$ac97_address" 8086:2415 1 $(region "$ac97_address" 1))$'\n'01
    run "$probe" --pci-id 8086:2415:1 list in "$(hex $((16#$start + 6)))"
    [ "$rc" = 0 ] && [ "$out" = "$expected" ]
    verdict $? "8086:2415:1 gives BAR 1, as lspci, and reaches it: $(oneline "$out")"
}

# unusable_bar BAR WHY: every test card listed with the locator's message for that BAR.
unusable_bar() {
    local n=0 address ok=0 advice
    run "$probe" --pci-id $kTestIds:"$1" list
    [ "$rc" = 0 ] && [ "$(wc -l <<<"$out")" = ${#cards[@]} ] || ok=1
    for address in "${cards[@]}"; do
        n=$((n + 1))
        advice="choose its I/O BAR with --pci-id 1B36:0005:<BAR> (lspci -vv -s $address lists"
        advice+=" its BARs as regions; I/O BARs show \"I/O ports\")"
        grep -qxF "card $n ($address, 1B36:0005) cannot be used: BAR $1 $2; $advice" <<<"$out" \
            || ok=1
    done
    [ $ok = 0 ]
    verdict $? "$(head -n1 <<<"$out")"
}
check_memory_bar() { unusable_bar 0 "is a memory BAR, not an I/O BAR"; }
check_missing_bar() { unusable_bar 3 "is not present"; }

check_write_read() {
    local test before after=() ok=0
    before=$("$probe" --pci-id $kTestIds $(name_reads "${bases[0]}" 17) | text)
    for test in 0 1 2; do
        run "$probe" --pci-id $kTestIds out "${bases[0]}" $test \
            $(name_reads "${bases[0]}" ${#kTestNames[test]})
        after+=("$(text <<<"$out")")
        [ "$rc" = 0 ] && [ "${after[test]}" = "${kTestNames[test]}" ] || ok=1
    done
    [ $ok = 0 ]
    verdict $? "writes 0, 1, 2 to ${bases[0]} turn its reads \"$before\" into: ${after[*]}"
}

check_cards_apart() {
    local n ops=() names=() ok=0
    for n in 0 1 2; do ops+=(out "${bases[n]}" "$n"); done
    run "$probe" --pci-id $kTestIds "${ops[@]}"
    for n in 0 1 2; do
        names+=("$("$probe" --pci-id $kTestIds \
            $(name_reads "${bases[n]}" ${#kTestNames[n]}) | text)")
        [ "${names[n]}" = "${kTestNames[n]}" ] || ok=1
    done
    [ "$rc" = 0 ] && [ $ok = 0 ]
    verdict $? "each card keeps its own test (${bases[*]}): ${names[*]}"
}

check_trace() {
    local port
    port=$(hex $((16#${bases[1]} + 0x17)))
    run "$probe" --trace --pci-id $kTestIds out "${bases[1]}" 01 in "$port"
    # Port 17 holds the "w" (77) of portio-wildcard-eventfd.
    [ "$rc" = 0 ] && [ "$out" = 77 ] \
        && grep -Eq "^[0-9]+\.[0-9]{6} out ${bases[1]} 01
[0-9]+\.[0-9]{6} in $port 77\$" <<<"$err" && [ "$(wc -l <<<"$err")" = 2 ]
    verdict $? "$(oneline "$err")"
}

check_refused() {
    local ranges="" n port start size expected
    for n in 0 1 2; do
        read -r start size <<<"$(region "${cards[n]}" 1)"
        ranges+="${ranges:+, }${cards[n]} BAR 1: $start-$(hex $((16#$start + size - 1)))"
    done
    # The last port of the AC97's BAR 1: a real port, but not one of the given cards'.
    read -r start size <<<"$(region "$ac97_address" 1)"
    port=$(hex $((16#$start + size - 1)))
    expected="port $port refused: it is not a register of the cards given with --pci-id ($ranges);"
    expected+=" check the base address"
    run strace -f -qq -e trace=open,openat,pwrite64 -o "$scratch/strace" \
        "$probe" --trace --pci-id $kTestIds out "$port" 00
    [ "$rc" = 1 ] && [ -z "$out" ] && [ "$err" = "$expected" ] \
        && ! grep -Eq 'resource[0-5]"|pwrite64' "$scratch/strace"
    verdict $? "no resource file opened, nothing written: $err"
}

check_refused_without_cards() {
    local expected="port ${bases[0]} refused: no card was given with --pci-id, so the program"
    expected+=" reaches no port"
    run "$probe" in "${bases[0]}"
    [ "$rc" = 1 ] && [ "$err" = "$expected" ]
    verdict $? "$err"
}

check_no_permission() {
    local expected="no permission to open /sys/bus/pci/devices/${cards[0]}/resource1 for port"
    expected+=" ${bases[0]}: \"qm5083-bench --check-setup\" says what is missing"
    run "${as_user[@]}" --clear-groups "$probe" --pci-id $kTestIds in "${bases[0]}"
    [ "$rc" = 1 ] && [[ $err == "$expected"* ]]
    verdict $? "uid $kUser: $err"
}

# access ADDRESS FILE...: "FILE GROUP MODE" for each of the device's files, one a line.
access() {
    local address=$1 file
    shift
    for file in "$@"; do
        echo "$file $(stat -c '%G %A' "/sys/bus/pci/devices/$address/$file")"
    done
}
# What the kernel made them: root's, the BARs rw-------, config rw-r--r--.
kernel_made() {
    local file
    for file in "$@"; do
        case $file in
            config) echo "$file root -rw-r--r--" ;;
            *) echo "$file root -rw-------" ;;
        esac
    done
}
opened() { echo "$1 qm5083 -rw-rw----"; }
# subsystem_of ADDRESS: "1AF4:1100", as the program shows a board's subsystem ids.
subsystem_of() {
    local dir=/sys/bus/pci/devices/$1
    printf '%04X:%04X' "$(<"$dir/subsystem_vendor")" "$(<"$dir/subsystem_device")"
}

# The rule as installed, with its helper, pointed at a card set-up that names the test cards by
# their I/O BAR and one e1000e by its subsystem ids: exactly the I/O BAR of each opens to the
# group; their memory BARs and config, the AC97 and the other e1000e stay as the kernel made them.
check_udev_rule() {
    local rule=/run/udev/rules.d/60-qm5083-bench.rules address seen expected
    if ! getent group qm5083 >/dev/null; then
        # /etc is read-only here: a copy of the group file with the group added takes its place.
        { cat /etc/group && echo "qm5083:x:$kGroup:"; } >"$scratch/group"
        mount --bind "$scratch/group" /etc/group
    fi
    mkdir -p "$(dirname "$rule")"
    printf '# test cards\n1B36:0005:1\n8086:10D3/5083:0001\n' >"$scratch/cards.conf"
    sed -e "s|RUN+=\"[^ ]*|RUN+=\"$share/qm5083-card-access --config $scratch/cards.conf|" \
        "$share/60-qm5083-bench.rules" >"$rule"
    run /lib/systemd/systemd-udevd --daemon
    local started=$rc
    for address in "$ac97_address" "$board_address" "$twin_address" "${cards[@]}"; do
        udevadm trigger --action=add "/sys/bus/pci/devices/$address"
    done
    udevadm settle --timeout=30
    seen="" expected=""
    for address in "${cards[@]}"; do
        seen+=$(access "$address" resource0 resource1 config)$'\n'
        expected+=$(kernel_made resource0)$'\n'$(opened resource1)$'\n'$(kernel_made config)$'\n'
    done
    seen+=$(access "$board_address" resource0 resource1 resource2 resource3 config)$'\n'
    expected+=$(kernel_made resource0 resource1)$'\n'$(opened resource2)$'\n'
    expected+=$(kernel_made resource3 config)$'\n'
    seen+=$(access "$twin_address" resource0 resource2 config)$'\n'
    expected+=$(kernel_made resource0 resource2 config)$'\n'
    seen+=$(access "$ac97_address" resource0 resource1)
    expected+=$(kernel_made resource0 resource1)
    [ "$started" = 0 ] && [ "$seen" = "$expected" ]
    verdict $? "udevd applied the rule; what differs from the expected: $(diff <(echo "$expected") \
        <(echo "$seen") | grep '^[<>]' | tr '\n' ' ')"
}

check_group_access() {
    local group name
    group=$(getent group qm5083 | cut -d: -f3)
    run "${as_user[@]}" --groups="$group" "$probe" --pci-id $kTestIds out "${bases[2]}" 00 \
        $(name_reads "${bases[2]}" 17)
    name=$(text <<<"$out")
    local member_rc=$rc
    run "${as_user[@]}" --clear-groups "$probe" --pci-id $kTestIds in "${bases[2]}"
    [ "$member_rc" = 0 ] && [ "$name" = "${kTestNames[0]}" ] && [ "$rc" = 1 ] \
        && [[ $err == "no permission to open "* ]]
    verdict $? "uid $kUser in group qm5083 wrote and read \"$name\"; outside it: $(oneline "$err")"
}

# A second set-up with other ids: the cards it no longer names are closed at once, the new one
# opened, by the program's own --setup. It writes only its built-in card set-up; /etc being
# read-only here, a copy of it (the group file with the group among it) takes its place, and the
# rule's helper reads the card set-up there.
check_setup_closes_old_cards() {
    local seen expected rule=/run/udev/rules.d/60-qm5083-bench.rules
    cp -a /etc "$scratch/etc" && mount --bind "$scratch/etc" /etc \
        && mkdir -m 755 -p /etc/qm5083-bench && cp "$scratch/cards.conf" /etc/qm5083-bench/ \
        && sed -i "s|--config [^ \"]*|--config /etc/qm5083-bench/cards.conf|" "$rule"
    run "$bench" --setup 8086:2415
    seen=$(access "${cards[0]}" resource1; access "$board_address" resource2
        access "$ac97_address" resource0 resource1)
    expected=$(kernel_made resource1 resource2; opened resource0; kernel_made resource1)
    [ "$rc" = 0 ] && [ "$seen" = "$expected" ] && grep -qx '8086:2415' /etc/qm5083-bench/cards.conf
    verdict $? "$(oneline "$seen") [setup: $(seen)]"
}

check_io_decoding_off() {
    local address=${cards[2]} port=${bases[2]} message off_rc shown_off=0 expected
    expected="card $address has I/O decoding switched off (I/O Space bit of its PCI command"
    expected+=" register is 0), so port $port would not reach it; enable it as root with"
    expected+=" \"setpci -s $address COMMAND=0001:0001\""
    setpci -s "$address" COMMAND=0000:0001
    lspci -vv -s "$address" | grep -q 'Control: I/O-' || shown_off=1
    run "$probe" --pci-id $kTestIds in "$port"
    off_rc=$rc message=$err
    setpci -s "$address" COMMAND=0001:0001
    run "$probe" --pci-id $kTestIds in "$port"
    [ $shown_off = 0 ] && [ "$off_rc" = 1 ] && [[ $message == "$expected"* ]] && [ "$rc" = 0 ]
    verdict $? "$message; switched on again it reads $out"
}

# The commands for scripts on a test card: out selects a test through the card's first port, and
# in reads the card's first four ports back as the probe reads them: the header of the test just
# selected, another for each test.
check_commands() {
    local test probed seen=() ok=0 i
    for test in 1 2; do
        run "$bench" --pci-id $kTestIds --card 1 out "0$test" 00 00 00
        [ "$rc" = 0 ] || ok=1
        run "$bench" --pci-id $kTestIds --card 1 in
        probed=$(for i in 0 1 2 3; do
            "$probe" --pci-id $kTestIds in "$(hex $((16#${bases[0]} + i)))"
        done | tr '\n' ' ')
        seen+=("$out")
        [ "$rc" = 0 ] && [ "$out" = "${probed% }" ] || ok=1
    done
    [ $ok = 0 ] && [ "${seen[0]}" != "${seen[1]}" ]
    verdict $? "out 01 then 02 at ${bases[0]}; in read, as the probe does: ${seen[*]}"
}

# The program's own self-test against a test card, which is no qm5083: it must report the card
# as failing (exit status 1) in a JSON report.
check_self_test() {
    local report=$scratch/self-test.json
    run env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch" XDG_DATA_HOME="$scratch/data" \
        "$bench" --self-test --pci-id $kTestIds --card 1 --report "$report"
    [ "$rc" = 1 ] && [ -s "$report" ] && jq empty "$report" 2>/dev/null
    verdict $? "exit $rc, report: $(jq -c . "$report" 2>&1 | cut -c1-200)"
}

# ---- two programs on one card, and a card that leaves the bus

# The program's trace with its times in Unix time: "START END" of each clock set-up (33 writes).
setup_spans() {
    awk '/^# trace of process/ { base = $NF }
         /^[0-9]+\.[0-9]+ out / { n++; t = sprintf("%.6f", base + $1)
                                  if (n % 33 == 1) start = t; if (n % 33 == 0) print start, t }' "$1"
}

# Two batches of clock set-ups on card 1 at once, each traced: no write of one falls inside a
# set-up of the other.
check_sequences_apart() {
    local i rc_a rc_b overlapping together clocks turns
    clocks=$(for ((i = 0; i < 120; i++)); do echo "clock 1000 10"; done)
    # Each batch reads its own pipe. Both have started and answered a first line before either
    # gets its set-ups, so the two run at the same time, not one after the other's start-up.
    mkfifo "$scratch/a.in" "$scratch/b.in"
    "$bench" --pci-id $kTestIds --trace batch <"$scratch/a.in" >"$scratch/a.out" \
        2>"$scratch/a.trace" &
    local a=$!
    "$bench" --pci-id $kTestIds --trace batch <"$scratch/b.in" >"$scratch/b.out" \
        2>"$scratch/b.trace" &
    local b=$!
    exec 5>"$scratch/a.in" 6>"$scratch/b.in"
    echo in >&5
    echo in >&6
    timeout 20 sh -c "until [ -s '$scratch/a.out' ] && [ -s '$scratch/b.out' ]; do sleep 0.05; done"
    # One write each, from the shell itself: a microsecond apart, not a process start.
    printf '%s\n' "$clocks" >&5
    printf '%s\n' "$clocks" >&6
    exec 5>&- 6>&-
    wait $a
    rc_a=$?
    wait $b
    rc_b=$?
    setup_spans "$scratch/a.trace" >"$scratch/a.spans"
    setup_spans "$scratch/b.trace" >"$scratch/b.spans"
    # Each span against the latest end before it, in time order.
    overlapping=$(sort -n "$scratch/a.spans" "$scratch/b.spans" | awk '
        NR > 1 && $1 < last { bad++ } $2 > last { last = $2 } END { print bad + 0 }')
    # The two ran at the same time, or the check would prove nothing.
    together=$(awk 'FNR == 1 { file++; first[file] = $1 } { last[file] = $2 }
        END { print (first[1] < last[2] && first[2] < last[1]) ? "yes" : "no" }' \
        "$scratch/a.spans" "$scratch/b.spans")
    # How often the card passed from one program to the other, in time order.
    turns=$(awk '{ print $1, FILENAME }' "$scratch/a.spans" "$scratch/b.spans" | sort -n \
        | awk '$2 != owner { turns++ } { owner = $2 } END { print turns - 1 }')
    [ "$rc_a" = 0 ] && [ "$rc_b" = 0 ] && [ "$(wc -l <"$scratch/a.spans")" = 120 ] \
        && [ "$(wc -l <"$scratch/b.spans")" = 120 ] && [ "$overlapping" = 0 ] \
        && [ "$together" = yes ]
    verdict $? "exit $rc_a and $rc_b, $(wc -l <"$scratch/a.spans") and $(wc -l \
        <"$scratch/b.spans") set-ups, at the same time: $together (the card changed hands $turns \
times), overlapping: $overlapping"
}

# A program stopped inside a clock set-up (its trace's pipe full, never read) holds card 1: a
# second waits 2 s, names it and writes nothing; card 2 is free meanwhile; the first killed,
# card 1 is free at once.
check_lock_holder() {
    local holder busy_rc busy_err other_rc started waited expected after_rc
    mkfifo "$scratch/unread"
    exec 4<>"$scratch/unread"
    yes "clock 1000 10" | "$bench" --pci-id $kTestIds --trace batch >/dev/null 2>&4 &
    holder=$!
    # Until the trace's pipe is full and the program waits inside a set-up.
    timeout 10 sh -c "until grep -q pipe_write /proc/$holder/wchan; do sleep 0.1; done"
    started=$(date +%s%N)
    run "$bench" --pci-id $kTestIds --trace out 01 02 03 04
    waited=$((($(date +%s%N) - started) / 1000000))
    busy_rc=$rc busy_err=$err
    run "$bench" --pci-id $kTestIds --card 2 out 01 02 03 04
    other_rc=$rc
    kill -9 "$holder"
    wait "$holder" 2>/dev/null
    exec 4>&-
    run "$bench" --pci-id $kTestIds out 00 00 00 00
    after_rc=$rc
    expected="card ${cards[0]} is busy: process $holder ($bench --pci-id $kTestIds --trace batch)"
    expected+=" has held /sys/bus/pci/devices/${cards[0]}/resource1 for over 2 s"
    [ "$busy_rc" = 2 ] && [[ $busy_err == *"$expected"* ]] && ! grep -q ' out ' <<<"$busy_err" \
        && [ "$waited" -ge 2000 ] && [ "$other_rc" = 0 ] && [ "$after_rc" = 0 ]
    verdict $? "after ${waited} ms: $(grep -v '^#' <<<"$busy_err" | head -c 300); card 2: exit \
$other_rc; after the kill: exit $after_rc"
}

# Card 3 removed from the bus under a running batch, then found again after a rescan.
check_card_removed() {
    local address=${cards[2]} answers expected
    mkfifo "$scratch/lines"
    "$bench" --pci-id $kTestIds --card 3 batch <"$scratch/lines" >"$scratch/removed.out" \
        2>&1 &
    local pid=$!
    exec 6>"$scratch/lines"
    echo in >&6
    timeout 20 sh -c "until [ \$(wc -l <'$scratch/removed.out') -ge 1 ]; do sleep 0.1; done"
    echo 1 >"/sys/bus/pci/devices/$address/remove"
    echo in >&6
    timeout 20 sh -c "until [ \$(wc -l <'$scratch/removed.out') -ge 2 ]; do sleep 0.1; done"
    echo 1 >/sys/bus/pci/rescan
    echo cards >&6
    echo in >&6
    exec 6>&-
    wait "$pid"
    answers=$(<"$scratch/removed.out")
    expected="card $address is no longer reachable at port ${bases[2]}"
    [ "$(wc -l <<<"$answers")" = 4 ] && [[ $(sed -n 2p <<<"$answers") == "error: in: "*"$expected"* ]] \
        && [ "$(sed -n 4p <<<"$answers")" = "$(sed -n 1p <<<"$answers")" ] \
        && [ -e "/sys/bus/pci/devices/$address" ]
    verdict $? "$(oneline "$answers")"
}

# ---- lockdown boot

check_lockdown_mode() {
    run cat /sys/kernel/security/lockdown
    [[ $out == *"[integrity]"* ]]
    verdict $? "$out"
}

check_lockdown_read() {
    local status
    status=$(hex $((16#$(base "$ac97_address" 1) + 6)))
    run "$probe" --pci-id $kTestIds --pci-id 8086:2415:1 in "$status" in "${bases[0]}"
    # 01: the AC97's bus-master status after reset; 00: a test card with no test chosen (a port
    # that no card decodes would read FF).
    [ "$rc" = 0 ] && [ "$out" = $'01\n00' ]
    verdict $? "reads $status and ${bases[0]}: $(oneline "$out")"
}

check_lockdown_write() {
    local after expected
    expected="writing port ${bases[0]} through /sys/bus/pci/devices/${cards[0]}/resource1 was"
    expected+=" refused: kernel lockdown (mode \"integrity\") forbids port writes from user space"
    run "$probe" --pci-id $kTestIds out "${bases[0]}" 01
    after=$("$probe" --pci-id $kTestIds in "$(hex $((16#${bases[0]} + 0x10)))")
    [ "$rc" = 1 ] && [ "$after" = 00 ] && [[ $err == "$expected"* ]]
    verdict $? "card unchanged ($after): $err"
}

# ---- install boot: the package on the writable root, set up as a technician would

readonly kTech=tech kOther=other installed=/usr/bin/qm5083-bench
skip_list=$(sed -n 's/.*qm5083\.skip=\([a-z,]*\).*/\1/p' /proc/cmdline)
skipped() { [[ ",$skip_list," == *",$1,"* ]]; }
# step NAME COMMAND...: runs it as run does, unless KERNEL_TEST_SKIP named it.
step() {
    local name=$1
    shift
    if skipped "$name"; then
        out="" err="" rc="skipped $name"
    else
        run "$@"
    fi
}
# as_login USER COMMAND: COMMAND in a new login of USER, with the groups /etc/group gives now.
as_login() { run su - "$1" -c "$2"; }

prepare_install() {
    useradd --create-home --uid 5085 --shell /bin/bash "$kTech"
    useradd --create-home --uid 5086 --shell /bin/bash "$kOther"
    echo "$kTech ALL=(root) NOPASSWD: $installed" >/etc/sudoers.d/kernel-test
    chmod 440 /etc/sudoers.d/kernel-test
    # Rebuilding the manual's index takes long under emulation, and nothing here reads it.
    rm -f /var/lib/man-db/auto-update
    skipped udevd || /lib/systemd/systemd-udevd --daemon
}

check_install() {
    step install env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
        "$share"/qm5083-bench_*.deb
    [ "$rc" = 0 ] && [ -x "$installed" ] && getent group qm5083 >/dev/null \
        && [ -f /lib/udev/rules.d/60-qm5083-bench.rules ] \
        && [ -x /usr/libexec/qm5083-bench/qm5083-card-access ] \
        && [ "$(stat -c '%a %U %G' /var/lib/qm5083-bench 2>&1)" = "2775 root qm5083" ]
    verdict $? "$(dpkg-query -W -f='${Package} ${Version} ${Status}' qm5083-bench 2>&1);" \
        "group: $(getent group qm5083); results folder: $(stat -c '%a %U %G' /var/lib/qm5083-bench 2>&1)"
}

# From /usr/bin, by a user with no card: the simulated card's whole self-test (its DA channels
# measured by the simulated meter, so that it can pass), the help in Chinese and in English. Not
# in group qm5083, the user keeps the results in a database of their own.
check_installed_program() {
    local self_test_rc help_zh help_en
    run su - "$kOther" -c "QT_QPA_PLATFORM=offscreen $installed --simulate --self-test --meter sim"
    self_test_rc=$rc
    help_zh=$(su - "$kOther" -c "LANG=zh_CN.UTF-8 $installed --help" 2>&1 | sed -n 2p)
    help_en=$(su - "$kOther" -c "LANG=C.UTF-8 $installed --help" 2>&1 | sed -n 2p)
    [ "$self_test_rc" = 0 ] && [[ $help_zh == "qm5083 PCI 输入输出板卡的测试程序"* ]] \
        && [[ $help_en == "Bench test program for the qm5083 PCI I/O card"* ]]
    verdict $? "self-test exit $self_test_rc; help: \"$help_zh\" / \"$help_en\""
}

check_setup_by_sudo() {
    local expected_card files=() modes
    expected_card="Card 1: ${cards[0]} (1B36:0005, subsystem $(subsystem_of "${cards[0]}")), BAR 1,"
    expected_card+=" base ${bases[0]}."
    if skipped sudo; then
        step setup "$installed" --setup $kTestIds
    else
        step setup su "$kTech" -c "sudo $installed --setup $kTestIds"
    fi
    files=("/sys/bus/pci/devices/${cards[0]}/resource"[01])
    modes=$(stat -c '%G %A' "${files[@]}" | tr '\n' ' ')
    [ "$rc" = 0 ] && grep -qxF "Added $kTech to group qm5083." <<<"$out" \
        && grep -qxF "$expected_card" <<<"$out" \
        && grep -qx '1B36:0005' /etc/qm5083-bench/cards.conf \
        && [ "$modes" = "root -rw------- qm5083 -rw-rw---- " ]
    verdict $? "$(oneline "$out"); ${cards[0]}: $modes"
}

check_setup_again() {
    local before after
    before=$(md5sum /etc/group /etc/gshadow /etc/qm5083-bench/cards.conf 2>&1)
    step setup su "$kTech" -c "sudo $installed --setup $kTestIds"
    after=$(md5sum /etc/group /etc/gshadow /etc/qm5083-bench/cards.conf 2>&1)
    [ "$rc" = 0 ] && [ "$before" = "$after" ] && [ ! -e /etc/qm5083-bench/cards.conf.old ] \
        && grep -q "already names" <<<"$out"
    verdict $? "$(oneline "$out")"
}

# The technician's session from before the set-up still lacks the group.
check_member_before_login() {
    run setpriv --reuid=5085 --regid=5085 --clear-groups "$installed" --check-setup
    [ "$rc" = 1 ] && grep -qxF "FAIL card 1: $kTech is in group qm5083 but has not logged in again since: log out and in" <<<"$out"
    verdict $? "$(oneline "$(grep '^FAIL' <<<"$out")")"
}

check_member_after_login() {
    local check_rc check_out probed i
    if skipped login; then
        run setpriv --reuid=5085 --regid=5085 --clear-groups "$installed" --check-setup
    else
        as_login "$kTech" "$installed --check-setup"
    fi
    check_rc=$rc check_out=$out
    probed=$(for i in 0 1 2 3; do
        "$probe" --pci-id $kTestIds in "$(hex $((16#${bases[0]} + i)))"
    done | tr '\n' ' ')
    if skipped login; then
        run setpriv --reuid=5085 --regid=5085 --clear-groups "$installed" in
    else
        as_login "$kTech" "$installed in"
    fi
    [ "$check_rc" = 0 ] && ! grep -q '^FAIL' <<<"$check_out" \
        && grep -qxF "OK   card 1: $kTech can open it" <<<"$check_out" \
        && [ "$rc" = 0 ] && [ "$out" = "${probed% }" ]
    verdict $? "check exit $check_rc: $(oneline "$check_out"); in: $out"
}

check_outsider() {
    as_login "$kOther" "$installed --check-setup"
    [ "$rc" = 1 ] && grep -qxF "FAIL card 1: $kOther is not in group qm5083: sudo usermod -aG qm5083 $kOther, then log in again" <<<"$out"
    verdict $? "$(oneline "$(grep '^FAIL' <<<"$out")")"
}

check_purge() {
    local left
    step purge env DEBIAN_FRONTEND=noninteractive apt-get purge -y qm5083-bench
    left=$(find /lib/udev/rules.d /usr/lib/udev/rules.d /etc/udev/rules.d /run/udev/rules.d \
        /usr/libexec /etc /usr/bin -name '*qm5083*' 2>/dev/null | tr '\n' ' ')
    [ "$rc" = 0 ] && [ -z "$left" ]
    verdict $? "left behind: ${left:-nothing}"
}

declare -A checks=(
    [normal]="check_numbering check_bases check_numbering_across_ids check_first_io_bar
        check_chosen_bar check_memory_bar check_missing_bar check_write_read check_cards_apart
        check_trace check_refused check_refused_without_cards check_no_permission
        check_udev_rule check_group_access check_setup_closes_old_cards check_io_decoding_off
        check_self_test check_commands
        check_sequences_apart check_lock_holder check_card_removed"
    [lockdown]="check_lockdown_mode check_lockdown_read check_lockdown_write"
    [install]="check_install check_installed_program check_setup_by_sudo check_setup_again
        check_member_before_login check_member_after_login check_outsider check_purge"
)
[ "$boot" = install ] && prepare_install
: >"$results"
for check in ${checks[$boot]}; do
    lines=$(wc -l <"$results")
    "$check"
    [ "$(wc -l <"$results")" -gt "$lines" ] || fail "reported nothing"
done
echo END >>"$results"
sync
/bin/busybox poweroff -f
