#!/bin/sh
# First process of the test guest: mounts what Linux programs and Wine need,
# unpacks the job from the second disk, runs its /job/run.sh, writes /out as
# a tar to the third disk and powers off. Everything it prints goes to the
# serial console, which the host keeps.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8
mount -o remount,rw /
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
hostname vm32
ip link set lo up
rm -rf /job /out
mkdir -p /out
echo "vm32: guest up after $(cut -d' ' -f1 /proc/uptime) s"
if tar xf /dev/vdb -C /; then
  bash /job/run.sh >/out/job.log 2>&1
  echo $? >/out/status
  cat /out/job.log
else
  echo "no job on the second disk" >/out/job.log
  echo 99 >/out/status
fi
echo "vm32: job ended with status $(cat /out/status) after $(cut -d' ' -f1 /proc/uptime) s"
tar cf /dev/vdc -C /out .
sync
echo o >/proc/sysrq-trigger
sleep 60
