#!/bin/busybox sh
# /init of the kernel test's initramfs (static busybox): loads the virtio and 9p modules listed in
# /modules, mounts the host's root read-only and the test's writable share over 9p, and hands over
# to the guest script in the share. Any failure powers the machine off, so the host sees no report.
export PATH=/bin

die() {
    echo "kernel test init: $*" >&2
    poweroff -f
}

mkdir -p /proc /sys /dev /newroot
mount -t proc proc /proc || die "cannot mount proc"
mount -t sysfs sysfs /sys || die "cannot mount sysfs"
mount -t devtmpfs devtmpfs /dev || die "cannot mount devtmpfs"

while read -r module; do
    insmod "/lib/modules/$module" || die "cannot load $module"
done </modules

# With qm5083.writable_root (the install test), the root is the host's under an overlay whose
# changes go to memory: the guest may install a package and add users, and the host sees nothing.
if grep -q 'qm5083\.writable_root' /proc/cmdline; then
    mkdir -p /host /changes
    mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=loose,ro hostroot /host \
        || die "cannot mount the host's root"
    mount -t tmpfs -o mode=755 tmpfs /changes || die "cannot mount the changes' tmpfs"
    mkdir /changes/upper /changes/work
    mount -t overlay -o lowerdir=/host,upperdir=/changes/upper,workdir=/changes/work overlay \
        /newroot || die "cannot mount the overlay over the host's root"
else
    mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=loose,ro hostroot /newroot \
        || die "cannot mount the host's root"
fi
mount -t tmpfs -o mode=1777 tmpfs /newroot/tmp || die "cannot mount /tmp"
mount -t tmpfs -o mode=755 tmpfs /newroot/run || die "cannot mount /run"
mkdir /newroot/run/kernel-test
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 share /newroot/run/kernel-test \
    || die "cannot mount the share"
for fs in proc sys dev; do
    mount --move "/$fs" "/newroot/$fs" || die "cannot move /$fs"
done

# udevadm will not run under a plain chroot, hence a real switch of the root.
exec switch_root /newroot /bin/bash /run/kernel-test/guest.sh
