#!/usr/bin/env bash
# Builds the guest that runs the 32-bit program: a Debian 12 system (kernel,
# Wine with its 32-bit half, Xvfb, pyftpdlib) in a raw ext4 image, with a Wine
# prefix made once inside it, so that each test run starts from that state.
#   vm32-image.sh BUILD_DIR    prints the image's folder (BUILD_DIR/vm32/<recipe hash>)
# The image is kept per build tree and made again when its recipe (this file,
# the guest's init, the Wine prefix set-up) changes. Needs root, debootstrap,
# qemu-system-x86 and the Debian mirror that apt uses.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$1
recipe=$(cat "$here/vm32-image.sh" "$here/vm32-init.sh" "$here/wine-prefix.sh" | sha256sum | cut -c1-12)
dir=$build/vm32/$recipe
if [ -f "$dir/ready" ]; then echo "$dir"; exit 0; fi
# Standard output carries only the image's folder, at the end; whatever the
# tools below print (mkfs.ext4 among them) goes to standard error.
exec 3>&1 1>&2

log() { echo "vm32: $*" >&2; }
packages=(linux-image-amd64 wine wine32 wine64 xvfb xauth x11-apps iproute2 procps python3-pyftpdlib)
mirror=$(sed -n 's/^URIs:\s*\(http[^ ]*\/debian\)\/\?\s*$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n1)
[ -n "$mirror" ] || mirror=$(sed -n 's/^deb \(http[^ ]*\/debian\)\/\? bookworm .*/\1/p' /etc/apt/sources.list 2>/dev/null | head -n1)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian

# A build stopped half-way may have left its chroot's mounts behind.
for m in $(awk -v d="$build/vm32/" 'index($2, d) == 1 {print $2}' /proc/mounts | sort -r); do umount "$m"; done
rm -rf "$build/vm32"
mkdir -p "$dir"
rootfs=$dir/rootfs
cleanup() {
  for m in proc sys; do mountpoint -q "$rootfs/$m" 2>/dev/null && umount "$rootfs/$m"; done
  return 0
}
trap cleanup EXIT

started=$SECONDS
log "debootstrap bookworm from $mirror (once per build tree)"
timeout 1200 debootstrap --variant=minbase --arch=amd64 bookworm "$rootfs" "$mirror" >"$dir/debootstrap.log" 2>&1 ||
  { tail -n 30 "$dir/debootstrap.log" >&2; log "debootstrap failed"; exit 1; }
log "debootstrap took $((SECONDS - started)) s"

mark=$SECONDS
mount -t proc proc "$rootfs/proc"
mount -t sysfs sys "$rootfs/sys"
cp /etc/resolv.conf "$rootfs/etc/resolv.conf" 2>/dev/null || true
cat >"$rootfs/etc/dpkg/dpkg.cfg.d/01-nodoc" <<'CFG'
path-exclude /usr/share/doc/*
path-exclude /usr/share/man/*
path-exclude /usr/share/info/*
path-exclude /usr/share/locale/*
path-include /usr/share/locale/locale.alias
CFG
printf 'deb %s bookworm main\n' "$mirror" >"$rootfs/etc/apt/sources.list"
in_root() { timeout 1500 chroot "$rootfs" env DEBIAN_FRONTEND=noninteractive LC_ALL=C PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@"; }
{
  in_root dpkg --add-architecture i386 &&
  in_root apt-get update -qq &&
  in_root apt-get install -y -qq --no-install-recommends "${packages[@]}" &&
  in_root apt-get clean
} >"$dir/apt.log" 2>&1 || { tail -n 30 "$dir/apt.log" >&2; log "installing the guest's packages failed"; exit 1; }
cleanup
install -m 755 "$here/vm32-init.sh" "$rootfs/sbin/vm32-init"
echo vm32 >"$rootfs/etc/hostname"
printf '127.0.0.1 localhost vm32\n' >"$rootfs/etc/hosts"
cp "$rootfs"/boot/vmlinuz-* "$dir/vmlinuz"
cp "$rootfs"/boot/initrd.img-* "$dir/initrd.img"
log "guest packages took $((SECONDS - mark)) s"

# Room for the Wine prefix (over 1 GB) and the runs' files.
mark=$SECONDS
size_mb=$(( $(du -sm "$rootfs" | cut -f1) + 3072 ))
mkfs.ext4 -q -F -L root -d "$rootfs" "$dir/root.img" "${size_mb}M"
rm -rf "$rootfs"
log "root image (${size_mb} MB) took $((SECONDS - mark)) s"

# The Wine prefix is made by Wine inside the guest: its 32-bit half cannot
# run on this kernel.
mark=$SECONDS
job=$(mktemp -d)
mkdir -p "$job/job"
cp "$here/wine-prefix.sh" "$job/job/"
cat >"$job/job/run.sh" <<'JOB'
#!/bin/bash
set -eu
Xvfb :9 -screen 0 1280x1024x24 -nolisten tcp >/out/xvfb.log 2>&1 &
export DISPLAY=:9
bash /job/wine-prefix.sh /root/prefix
WINEPREFIX=/root/prefix /usr/lib/wine/wineserver -k || true
WINEPREFIX=/root/prefix /usr/lib/wine/wineserver -w || true
test -d /root/prefix/drive_c/windows/syswow64
du -sm /root/prefix
JOB
tar cf "$dir/prefix-job.tar" -C "$job" job
rm -rf "$job"
if ! bash "$here/vm32-run.sh" "$dir" write "$dir/prefix-job.tar" "$dir/prefix-out" 1500; then
  log "making the Wine prefix in the guest failed"; exit 1
fi
log "Wine prefix in the guest took $((SECONDS - mark)) s"
touch "$dir/ready"
log "guest image ready in $((SECONDS - started)) s: $dir"
echo "$dir" >&3
