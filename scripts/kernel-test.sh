#!/usr/bin/env bash
# kernel-test.sh COMMAND…
#
# Boots Debian's own kernel under QEMU with this machine's root file system shared
# read-only, runs COMMAND inside (working folder and PATH as here) and exits with its status.
# The guest has udev running, the kernel's modules at $VARNOLET_KERNEL_MODULES (load them
# with `modprobe -d "$VARNOLET_KERNEL_MODULES" NAME`), a writable /tmp and these folders
# shared writable at their own paths:
#   - the results folder, $VARNOLET_KERNEL_RESULTS (default build/kernel/results);
#   - every folder listed in $VARNOLET_KERNEL_RW (colon-separated), e.g. a build folder
#     whose tests write into it.
# A boot that does not reach the command within $VARNOLET_KERNEL_BOOT_TIMEOUT seconds
# (default 180) or a run longer than $VARNOLET_KERNEL_TIMEOUT seconds (default 900) ends
# with a message and status 124; a guest that dies without reporting ends with status 125;
# missing tools end with status 2. Plain emulation (TCG) by default: nested KVM does not boot
# on the build machines; VARNOLET_KERNEL_ACCEL="-accel kvm -cpu host" where it does.
# The kernel package is fetched through apt once and kept under build/kernel/.
set -euo pipefail

if [ $# -eq 0 ]; then
    echo "usage: $0 COMMAND [ARG…]" >&2
    exit 2
fi

repo=$(cd "$(dirname "$0")/.." && pwd)
work="$repo/build/kernel"
results=$(realpath -m "${VARNOLET_KERNEL_RESULTS:-$work/results}")
boot_timeout=${VARNOLET_KERNEL_BOOT_TIMEOUT:-180}
run_timeout=${VARNOLET_KERNEL_TIMEOUT:-900}
memory=${VARNOLET_KERNEL_MEMORY:-2048}
mkdir -p "$work" "$results"

say() { echo "kernel-test: $*" >&2; }
export PATH="$PATH:/usr/sbin:/sbin"

for tool in qemu-system-x86_64 apt-get dpkg-deb depmod cpio gzip busybox; do
    if ! command -v "$tool" >/dev/null; then
        say "FAILED: $tool is missing (scripts/install-deps.sh installs it); QEMU cannot boot the kernel here"
        exit 2
    fi
done

# --- the kernel: the image package linux-image-amd64 depends on, fetched once -------------
version_file="$work/version"
if [ ! -s "$version_file" ]; then
    pkg=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[0-9].*\)$/\1/p' | head -n1)
    if [ -z "$pkg" ]; then
        say "cannot find the kernel image package linux-image-amd64 depends on (apt-get update?)"
        exit 2
    fi
    echo "$pkg" >"$version_file"
fi
pkg=$(cat "$version_file")
kver=${pkg#linux-image-}
tree="$work/tree"
if [ ! -f "$tree/boot/vmlinuz-$kver" ] || [ ! -f "$tree/lib/modules/$kver/modules.dep" ]; then
    if ! ls "$work/${pkg}"_*.deb >/dev/null 2>&1; then
        say "downloading $pkg"
        (cd "$work" && apt-get download "$pkg" 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
    fi
    deb=$(ls "$work/${pkg}"_*.deb | head -n1)
    rm -rf "$tree" && mkdir -p "$tree"
    dpkg-deb -x "$deb" "$tree"
    depmod -b "$tree" "$kver"
fi
kernel="$tree/boot/vmlinuz-$kver"
moddir="$tree/lib/modules/$kver"

# --- the initramfs: busybox, the 9p modules and the init script -----------------------------
initrd="$work/initramfs-$kver.cpio.gz"
init_src="$repo/scripts/kernel-guest-init.sh"
if [ ! -f "$initrd" ] || [ "$init_src" -nt "$initrd" ] || [ "$0" -nt "$initrd" ]; then
    staging=$(mktemp -d "$work/initramfs.XXXXXX")
    mkdir -p "$staging"/{bin,dev,proc,sys,newroot,modules}
    cp /bin/busybox "$staging/bin/busybox"
    cp "$init_src" "$staging/init"
    chmod +x "$staging/init"
    # The modules the 9p root needs, in the order modules.dep gives (dependencies first).
    order=()
    add_module() {
        local name=$1 line path dep
        line=$(grep -E "(^|/)${name}\.ko:" "$moddir/modules.dep" | head -n1)
        [ -n "$line" ] || { say "module $name missing from $pkg"; exit 2; }
        path=${line%%:*}
        for dep in ${line#*:}; do
            add_module "$(basename "$dep" .ko)"
        done
        for seen in "${order[@]:-}"; do [ "$seen" = "$path" ] && return 0; done
        order+=("$path")
    }
    for m in virtio_pci 9pnet_virtio 9p; do add_module "$m"; done
    : >"$staging/modules/order"
    for path in "${order[@]}"; do
        cp "$moddir/$path" "$staging/modules/"
        basename "$path" >>"$staging/modules/order"
    done
    (cd "$staging" && find . | cpio -o -H newc --quiet | gzip -1) >"$initrd.tmp"
    mv "$initrd.tmp" "$initrd"
    rm -rf "$staging"
fi

# --- the command, as a script the guest reads from the shared root --------------------------
run_dir=$(mktemp -d "$work/run.XXXXXX")
cleanup() {
    [ -n "${qemu_pid:-}" ] && kill "$qemu_pid" 2>/dev/null || true
    [ -n "${watch_pid:-}" ] && kill "$watch_pid" 2>/dev/null || true
    rm -rf "$run_dir"
}
trap cleanup EXIT
rw_dirs=("$results")
if [ -n "${VARNOLET_KERNEL_RW:-}" ]; then
    IFS=: read -r -a extra <<<"$VARNOLET_KERNEL_RW"
    for d in "${extra[@]}"; do
        [ -n "$d" ] || continue
        [ -d "$d" ] || { say "writable folder $d does not exist"; exit 2; }
        rw_dirs+=("$(realpath "$d")")
    done
fi
status_file="$run_dir/status"
{
    echo "# written by kernel-test.sh"
    printf 'export PATH=%q\n' "$PATH"
    printf 'export VARNOLET_KERNEL_RESULTS=%q\n' "$results"
    printf 'export VARNOLET_KERNEL_VERSION=%q\n' "$kver"
    for v in $(compgen -e | grep -E '^(VARNOLET_|QT_|GTEST_|CTEST_|LANG$|LC_)' | grep -vE '^VARNOLET_KERNEL_'); do
        printf 'export %s=%q\n' "$v" "${!v}"
    done
    printf 'cd %q\n' "$PWD"
    printf '%q ' "$@"
    echo
} >"$run_dir/command.sh"

# Shares: the root and the kernel tree (read-only), then the folders the guest mounts at
# their own paths, listed in the run folder's "shares" as "tag path ro|rw".
shares=(
    -virtfs "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap"
    -virtfs "local,path=$tree,mount_tag=kernel,security_model=none,readonly=on,multidevs=remap"
)
# The run folder is writable too: the guest writes the status there.
rw_dirs+=("$run_dir")
# The guest's /tmp is its own (a tmpfs over the read-only root): a tree, working folder or
# camera matrix folder below the host's /tmp is shared on its own, read-only, so that it
# stays visible.
ro_dirs=()
for d in "$repo" "$PWD" "${VARNOLET_CAMERA_DESCRIPTORS:-}"; do
    [ -d "$d" ] || continue
    d=$(realpath "$d")
    case "$d/" in /tmp/*) ro_dirs+=("$d") ;; esac
done
# Sorted so that a folder is mounted before the folders inside it.
# A folder listed both ways is writable (the first of equal paths stays).
mapfile -t mounts < <({
    for d in "${rw_dirs[@]}"; do printf '%s rw\n' "$d"; done
    for d in "${ro_dirs[@]}"; do printf '%s ro\n' "$d"; done
} | sort -s -u -k1,1)
i=0
: >"$run_dir/shares"
for m in "${mounts[@]}"; do
    d=${m% *}
    mode=${m##* }
    readonly_option=""
    [ "$mode" = ro ] && readonly_option=",readonly=on"
    shares+=(-virtfs "local,path=$d,mount_tag=share$i,security_model=none,multidevs=remap$readonly_option")
    echo "share$i $d $mode" >>"$run_dir/shares"
    i=$((i + 1))
done

accel=${VARNOLET_KERNEL_ACCEL:-"-accel tcg,thread=multi -cpu max"}
cpus=${VARNOLET_KERNEL_CPUS:-2}
log="$work/console.log"
: >"$log"
append="console=ttyS0 quiet loglevel=4 panic=-1 oops=panic rdinit=/init varnolet.run=$run_dir"

start=$(date +%s.%N)
# shellcheck disable=SC2086
qemu-system-x86_64 $accel -smp "$cpus" -m "$memory" -nographic -no-reboot \
    -kernel "$kernel" -initrd "$initrd" -append "$append" \
    -nic none "${shares[@]}" </dev/null >"$log" 2>&1 &
qemu_pid=$!

# Stream the console, without the kernel's own boot chatter.
tail -n +1 -F "$log" 2>/dev/null --pid="$qemu_pid" | sed -u 's/\r$//' | sed -u -n '/varnolet-guest: command starts/,$p' | sed -u '1d' &
watch_pid=$!

outcome=""
booted=0
while kill -0 "$qemu_pid" 2>/dev/null; do
    now=$(date +%s.%N)
    elapsed=$(awk -v a="$start" -v b="$now" 'BEGIN{print int(b-a)}')
    if [ $booted -eq 0 ] && [ -e "$run_dir/started" ]; then
        booted=1
        boot_seconds=$(awk -v a="$start" -v b="$now" 'BEGIN{printf "%.1f", b-a}')
        echo "$boot_seconds" >"$work/boot-seconds"
    fi
    if [ $booted -eq 0 ] && [ "$elapsed" -ge "$boot_timeout" ]; then
        outcome="boot did not reach the command within ${boot_timeout}s"
        break
    fi
    if [ "$elapsed" -ge "$run_timeout" ]; then
        outcome="the run did not end within ${run_timeout}s"
        break
    fi
    sleep 0.5
done
if [ -n "$outcome" ]; then
    kill "$qemu_pid" 2>/dev/null || true
    wait "$qemu_pid" 2>/dev/null || true
    sleep 0.5
    say "FAILED: $outcome; the last console lines ($log):"
    tail -n 30 "$log" >&2
    exit 124
fi
wait "$qemu_pid" 2>/dev/null || true
sleep 0.3
kill "$watch_pid" 2>/dev/null || true
wait "$watch_pid" 2>/dev/null || true
watch_pid=""

end=$(date +%s.%N)
total=$(awk -v a="$start" -v b="$end" 'BEGIN{printf "%.1f", b-a}')
if [ ! -s "$status_file" ]; then
    say "FAILED: the guest ended without reporting a status; the last console lines ($log):"
    tail -n 30 "$log" >&2
    exit 125
fi
status=$(cat "$status_file")
say "boot ${boot_seconds:-?}s, whole run ${total}s, status $status"
exit "$status"
