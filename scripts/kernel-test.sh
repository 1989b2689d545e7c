#!/usr/bin/env bash
# The real-card path against a real Linux kernel: boots Debian's kernel in QEMU (software
# emulation) with emulated PCI cards and runs tests/kernel/guest.sh inside, which drives the
# program's PCI backend through build/qm5083-pci-probe (and qm5083-bench itself for its
# self-test). Nothing here touches this machine's own PCI devices or I/O ports: everything that
# does runs inside the virtual machine, whose root is this machine's / read-only over 9p.
#
# The boots run side by side: "normal", "lockdown" with lockdown=integrity, and, given a Debian
# package, "install", which installs it on a writable copy of the root (an overlay in memory),
# sets the cards up as a technician would and removes it again. Each machine powers itself off; a
# host-side timeout kills one that does not. Prints one PASS/FAIL line per check and a summary;
# exits nonzero on any failure, or when a machine did not report.
#
# Usage: scripts/kernel-test.sh BUILD_DIR [PACKAGE.deb]   (the built tree, e.g. build/, with at
#        least qm5083-pci-probe; the package scripts/package.sh made, whose program, helper and
#        rule the machines then run instead of the build's)
# KERNEL_TEST_KEEP=1 keeps the work directory (consoles, share) for a look after a failure.
# KERNEL_TEST_SKIP=STEP,... leaves steps of the install boot out, to see its checks fail without
# them: install, udevd, sudo (the set-up run as root itself), setup, login (the member's checks
# without logging in again), purge.
set -euo pipefail
build=$(realpath "${1:?usage: scripts/kernel-test.sh BUILD_DIR [PACKAGE.deb]}")
package=${2:+$(realpath "$2")}
cd "$(dirname "$0")/.."
source scripts/deps.sh

# Seconds a boot may take in all before it is killed; a normal one needs well under a minute.
readonly kBootLimit=150

# The emulated cards: "QEMU-DEVICE-OPTIONS". pci-testdev (1b36:0005) has a 4 KiB memory BAR 0 and
# 256 ports in BAR 1; AC97 (8086:2415) has two I/O BARs. The test cards are declared out of
# address order, one behind a bridge, so numbering by address differs from creation order. Two
# e1000e (8086:10D3: memory BARs 0, 1 and 3, ports in BAR 2) stand for two boards on one chip:
# the same vendor and device ids, other subsystem ids (the only QEMU 7.2 device whose subsystem
# ids can be set); their driver is kept out (modprobe.blacklist), so nothing else uses them.
readonly kCards=(
    "pci-bridge,id=bridge,chassis_nr=1,addr=0x5"
    "pci-testdev,bus=bridge,addr=0x1"
    "pci-testdev,addr=0x6"
    "pci-testdev,addr=0x4"
    "AC97,audiodev=silent,addr=0x3"
    "e1000e,addr=0x7,romfile=,subsys_ven=0x5083,subsys=0x0001"
    "e1000e,addr=0xa,romfile="
)
# Where the firmware puts them: the test cards in PCI address order (the bridge's bus is 1),
# the AC97, and the e1000e with subsystem 5083:0001 and its twin.
readonly kTestCardAddresses="0000:00:04.0 0000:00:06.0 0000:01:01.0"
readonly kAc97Address="0000:00:03.0"
readonly kBoardAddress="0000:00:07.0" kTwinAddress="0000:00:0a.0"

now() { date +%s%N; }
since() { # seconds since a now(), to a tenth
    local tenths=$((($(now) - $1) / 100000000))
    echo "$((tenths / 10)).$((tenths % 10))"
}

started=$(now)
ensure_packages "${KERNEL_TEST_PACKAGES[@]}"
echo "kernel test: packages ready after $(since "$started") s"

# The probe comes from the build; the program, the udev helper and the rule from the package
# when one is given (what a bench PC runs), else from the build.
required=(qm5083-pci-probe)
[ -z "$package" ] && required+=(qm5083-bench qm5083-card-access)
for program in "${required[@]}"; do
    if [ ! -x "$build/$program" ]; then
        echo "FAIL: $build/$program is missing (build with the tests on)" >&2
        exit 1
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qm5083-kernel-test.XXXXXX")
declare -A qemu_pid=() # the running machines' timeout processes, by boot name
cleanup() {
    local pid
    for pid in "${qemu_pid[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    if [ "${KERNEL_TEST_KEEP:-0}" = 1 ]; then
        echo "kept $work" >&2
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The kernel linux-image-amd64 brings, as an unpacked ELF image: QEMU starts that through its PVH
# entry, seconds faster than the bzImage, which holds it as an XZ stream.
version=$(dpkg-query -W -f='${Depends}' linux-image-amd64 | sed -E 's/^linux-image-([^ ,]+).*/\1/')
modules=/lib/modules/$version
vmlinux=$build/kernel-test/vmlinux-$version
if [ ! -s "$vmlinux" ]; then
    mkdir -p "$(dirname "$vmlinux")"
    offset=$(LC_ALL=C grep -m1 -obUaP '\xfd7zXZ\x00' "/boot/vmlinuz-$version" | cut -d: -f1)
    # xz stops reading after its stream, so tail's broken pipe is no failure.
    xz -dc --single-stream <(tail -c +"$((offset + 1))" "/boot/vmlinuz-$version") >"$vmlinux.part"
    mv "$vmlinux.part" "$vmlinux"
fi

# The modules a name needs, dependencies first, as paths under $modules (from modules.dep).
module_paths() {
    local name=$1 entry dep
    entry=$(grep -E "/$name\.ko(\.xz)?:" "$modules/modules.dep") || {
        echo "no module $name in $modules" >&2
        return 1
    }
    for dep in ${entry#*:}; do
        module_paths "$(basename "${dep%%.ko*}")"
    done
    echo "${entry%%:*}"
}

# The initramfs: static busybox, the virtio and 9p modules, and tests/kernel/init.sh as /init.
initramfs=$work/initramfs
mkdir -p "$initramfs/bin" "$initramfs/lib/modules"
cp /bin/busybox "$initramfs/bin/"
# No bare sh: with /init broken, the kernel's fallback to a shell would wait for input until the
# timeout; without one it panics, and the machine ends at once.
for applet in mkdir mount insmod switch_root poweroff grep; do
    ln -s busybox "$initramfs/bin/$applet"
done
install -m 755 tests/kernel/init.sh "$initramfs/init"
: >"$initramfs/modules"
wanted=$(module_paths virtio_pci && module_paths 9pnet_virtio && module_paths 9p \
    && module_paths overlay)
while read -r path; do
    name=$(basename "${path%.xz}")
    case $path in
        *.xz) xz -dc "$modules/$path" >"$initramfs/lib/modules/$name" ;;
        *) cp "$modules/$path" "$initramfs/lib/modules/$name" ;;
    esac
    echo "$name" >>"$initramfs/modules"
done < <(awk '!seen[$0]++' <<<"$wanted")
(cd "$initramfs" && find . | cpio -o -H newc --quiet) >"$work/initramfs.cpio"

# The share: what the guest runs and what it needs to know; it writes its results here.
share=$work/share
mkdir -p "$share"
cp tests/kernel/guest.sh "$share/"
cp "$build/qm5083-pci-probe" "$share/"
if [ -n "$package" ]; then
    dpkg-deb -x "$package" "$work/unpacked"
    cp "$work/unpacked/usr/bin/qm5083-bench" "$work/unpacked/usr/libexec/qm5083-bench/qm5083-card-access" \
        "$work/unpacked/lib/udev/rules.d/60-qm5083-bench.rules" "$share/"
else
    cp "$build/qm5083-bench" "$build/qm5083-card-access" "$build/packaging/60-qm5083-bench.rules" \
        "$share/"
fi
boots=(normal lockdown)
if [ -n "$package" ]; then
    cp "$package" "$share/"
    boots+=(install)
fi
cat >"$share/config" <<EOF
test_card_addresses=($kTestCardAddresses)
ac97_address=$kAc97Address
board_address=$kBoardAddress
twin_address=$kTwinAddress
EOF

# boot NAME [KERNEL-PARAMETER...]: starts a machine in the background.
boot() {
    local name=$1
    shift
    local devices=() card
    for card in "${kCards[@]}"; do
        devices+=(-device "$card")
    done
    timeout --kill-after=10 "$kBootLimit" qemu-system-x86_64 \
        -machine pc -accel tcg -cpu max -smp 1 -m 2048 \
        -nodefaults -no-user-config -display none -monitor none -no-reboot \
        -serial "file:$work/console-$name.log" \
        -kernel "$vmlinux" -initrd "$work/initramfs.cpio" \
        -append "console=ttyS0 panic=-1 modprobe.blacklist=e1000e qm5083.kernel_test=1 qm5083.boot=$name $*" \
        -fsdev local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap \
        -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot,addr=0x8 \
        -fsdev "local,id=share,path=$share,security_model=none" \
        -device virtio-9p-pci,fsdev=share,mount_tag=share,addr=0x9 \
        -audiodev none,id=silent \
        "${devices[@]}" \
        >"$work/qemu-$name.log" 2>&1 &
    qemu_pid[$name]=$!
}

# Side by side: the machines share the cores.
vm_started=$(now)
boot normal
boot lockdown lockdown=integrity
[ -n "$package" ] && boot install qm5083.writable_root "qm5083.skip=${KERNEL_TEST_SKIP:-}"
declare -A ended
for name in "${boots[@]}"; do
    status=0
    wait "${qemu_pid[$name]}" || status=$?
    unset "qemu_pid[$name]"
    ended[$name]="exit status $status"
    [ "$status" = 124 ] && ended[$name]="killed after $kBootLimit s"
done
echo "kernel test: the boots (${boots[*]}) ended after $(since "$vm_started") s"

# One line per check as the guest wrote it; a boot without its closing END did not report.
count() {
    if [ -f "$2" ]; then grep -c "$1" "$2" || true; else echo 0; fi
}
passed=0
failed=0
for name in "${boots[@]}"; do
    results=$share/results-$name
    grep -E '^(PASS|FAIL) ' "$results" 2>/dev/null || true
    passed=$((passed + $(count '^PASS ' "$results")))
    failed=$((failed + $(count '^FAIL ' "$results")))
    if [ "$(count '^END$' "$results")" != 1 ]; then
        failed=$((failed + 1))
        echo "FAIL boot $name: the machine did not report (QEMU ${ended[$name]}); the end of" \
            "its console:"
        tail -n 15 "$work/console-$name.log" "$work/qemu-$name.log" 2>/dev/null | sed 's/^/    /'
    fi
done
echo "kernel test took $(since "$started") s in all"
echo "kernel: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
