#!/bin/busybox sh
# The init of the initramfs kernel-test.sh boots: mounts this machine's root (9p, read-only)
# and the shared folders, starts udev and runs the command kernel-test.sh wrote, then
# powers off. Its exit status goes to the run folder and to the console.
bb=/bin/busybox
fail() {
    echo "varnolet-guest: FAILED: $*"
    $bb poweroff -f
}
$bb mount -t proc proc /proc
$bb mount -t sysfs sysfs /sys
$bb mount -t devtmpfs devtmpfs /dev
for m in $($bb cat /modules/order); do
    $bb insmod "/modules/$m" || fail "insmod $m"
done
run=$($bb sed -n 's/.*varnolet\.run=\([^ ]*\).*/\1/p' /proc/cmdline)
[ -n "$run" ] || fail "no varnolet.run= on the kernel command line"

ro=trans=virtio,version=9p2000.L,msize=512000,cache=loose,ro
rw=trans=virtio,version=9p2000.L,msize=512000,cache=mmap
$bb mount -t 9p -o "$ro" hostroot /newroot || fail "cannot mount the root share"
r=/newroot
# Read before the guest's own /tmp covers a run folder that lies below the host's /tmp.
$bb cp "$r$run/shares" /shares || fail "no shares list in $run"
$bb mount -t proc proc $r/proc || fail "proc"
$bb mount -t sysfs sysfs $r/sys || fail "sysfs"
$bb mount -t devtmpfs devtmpfs $r/dev || fail "devtmpfs"
$bb mkdir -p $r/dev/pts $r/dev/shm
$bb mount -t devpts devpts $r/dev/pts
$bb mount -t tmpfs tmpfs $r/dev/shm
$bb mount -t tmpfs -o mode=1777 tmpfs $r/tmp || fail "tmpfs /tmp"
$bb mount -t tmpfs -o mode=755 tmpfs $r/run || fail "tmpfs /run"
$bb mkdir -p $r/run/varnolet-kernel
$bb mount -t 9p -o "$ro" kernel $r/run/varnolet-kernel || fail "cannot mount the kernel share"
while read -r tag path mode; do
    $bb mkdir -p "$r$path" 2>/dev/null
    if [ "$mode" = ro ]; then
        $bb mount -t 9p -o "$ro" "$tag" "$r$path" || fail "cannot mount $path"
    else
        $bb mount -t 9p -o "$rw" "$tag" "$r$path" || fail "cannot mount $path writable"
    fi
done </shares

$bb chroot $r /bin/bash -c '
    export HOME=/tmp/home
    export VARNOLET_KERNEL_MODULES=/run/varnolet-kernel
    mkdir -p "$HOME"
    /lib/systemd/systemd-udevd --daemon --resolve-names=never >/dev/null 2>&1
    udevadm trigger --action=add >/dev/null 2>&1
    udevadm settle -t 30 >/dev/null 2>&1
    echo "varnolet-guest: command starts"
    : >"$1/started"
    bash "$1/command.sh"
    status=$?
    echo "$status" >"$1/status"
    sync
    echo "varnolet-guest: command ended with status $status"
' guest "$run"
$bb sync
$bb poweroff -f
