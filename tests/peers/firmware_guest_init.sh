#!/bin/busybox sh
# PID 1 of the firmware test guest: loads the storage drivers, then runs the real tvde-cli on
# each emulated disk and prints its output and audit log between GUEST-BEGIN / GUEST-END lines
# for the host to judge (firmware_guest.py); the host checks the disk images afterwards.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
while read -r module; do insmod "/modules/$module" 2>/dev/null; done </modules/load.order
i=0
while [ $i -lt 150 ]; do
  [ "$(ls /sys/block | grep -c '^sd')" -ge 4 ] && [ "$(ls /sys/block | grep -c '^nvme')" -ge 2 ] && break
  sleep 0.1
  i=$((i + 1))
done
echo "GUEST-READY uptime=$(cut -d' ' -f1 /proc/uptime)"
# A disk by where it hangs in sysfs, whatever order the drivers probed in.
disk() {
  for d in /sys/block/sd*; do
    readlink -f "$d" | grep -q "$1" && { echo "/dev/${d##*/}"; return; }
  done
  echo "/dev/missing-$1"
}
AHCI=$(disk '0000:00:1f.2/ata')
PIIX=$(disk '0000:00:05.0/ata')
SCSI1=$(disk 'target[0-9]*:0:1/')
SCSI2=$(disk 'target[0-9]*:0:2/')
echo "GUEST-DISKS ahci=$AHCI piix=$PIIX scsi1=$SCSI1 scsi2=$SCSI2"

echo "GUEST-BEGIN list"
tvde-cli list --json
echo "GUEST-EXIT list $?"
echo "GUEST-END list"

erase() {  # erase NAME DEVICE OPTIONS...: a real job, its exit code and its audit log
  name=$1 device=$2
  shift 2
  echo "GUEST-BEGIN $name"
  tvde-cli erase "$device" --block-device --real --no-stamp --verify quick --out "/tmp/$name" \
    --operator CI --organization CI --confirm "ERASE $device" "$@" </dev/null
  echo "GUEST-EXIT $name $?"
  cat /tmp/"$name"/*_AuditLog.txt
  echo "GUEST-END $name"
}
erase nvme-purge /dev/nvme0n1 --standard nist-purge
erase nvme-shared /dev/nvme0n2 --standard zero-fill --firmware block
erase ahci "$AHCI" --standard nist-purge
erase piix "$PIIX" --standard nist-purge
erase scsi-format "$SCSI1" --standard zero-fill --firmware format
erase scsi-purge "$SCSI2" --standard nist-purge
sync
echo "GUEST-DONE uptime=$(cut -d' ' -f1 /proc/uptime)"
poweroff -f
