#!/usr/bin/env bash
# Runs one job in the test guest under QEMU (software emulation) and brings
# its /out folder back.
#   vm32-run.sh IMAGE_DIR snapshot|write JOB_TAR OUT_DIR TIMEOUT_S
# JOB_TAR is unpacked at the guest's / and must hold /job/run.sh; with
# `snapshot` the root image is left as it was. The guest's console is kept in
# OUT_DIR/console.log. Fails when the job fails, the guest does not come back
# within TIMEOUT_S, or QEMU cannot start.
set -eu
image=$1 mode=$2 job=$3 out=$4 limit=$5
rm -rf "$out"; mkdir -p "$out"
disk=$out/.out.img
truncate -s 256M "$disk"
snapshot=on; [ "$mode" = write ] && snapshot=off
started=$SECONDS
set +e
timeout -k 10 "$limit" qemu-system-x86_64 -accel tcg -smp 2 -m 2560 \
  -nodefaults -display none -no-reboot -monitor none -serial "file:$out/console.log" \
  -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
  -append "root=/dev/vda rw console=ttyS0 init=/sbin/vm32-init panic=-1 quiet" \
  -drive "file=$image/root.img,format=raw,if=virtio,snapshot=$snapshot,cache=unsafe" \
  -drive "file=$job,format=raw,if=virtio,readonly=on" \
  -drive "file=$disk,format=raw,if=virtio,cache=unsafe" \
  </dev/null >"$out/qemu.log" 2>&1
qemu_status=$?
set -e
echo "vm32: guest ran $((SECONDS - started)) s" >&2
tar xf "$disk" -C "$out" 2>/dev/null || true
rm -f "$disk"
if [ $qemu_status = 124 ] || [ $qemu_status = 137 ]; then
  echo "vm32: the guest did not finish within $limit s; its console ends:" >&2
  tail -n 40 "$out/console.log" >&2 || true
  exit 1
fi
if [ ! -f "$out/status" ]; then
  echo "vm32: the guest gave no result (QEMU exit $qemu_status)" >&2
  cat "$out/qemu.log" >&2 || true
  tail -n 40 "$out/console.log" >&2 || true
  exit 1
fi
if [ "$(cat "$out/status")" != 0 ]; then
  echo "vm32: the job failed in the guest (status $(cat "$out/status")); its output ends:" >&2
  tail -n 60 "$out/job.log" >&2 || true
  exit 1
fi
