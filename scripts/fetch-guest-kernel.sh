#!/usr/bin/env bash
# Fetches the test guest's Linux kernel, its storage drivers and a static busybox from Debian's
# own packages (apt-get download, nothing is installed on this machine), unpacks them with
# dpkg -x and caches the result in build/guest/:
#   build/guest/vmlinuz        the kernel
#   build/guest/root/          busybox, the modules and modules/load.order (dependencies first)
# Idempotent: a cached kernel is used as it is. Exit 77 with a "SKIPPED:" line when the
# packages cannot be downloaded (no network, no apt).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
guest="$root/build/guest"
mkdir -p "$guest/cache"
[ -f "$guest/vmlinuz" ] && [ -f "$guest/root/modules/load.order" ] && exit 0

skip() {
  echo "SKIPPED: $1"
  exit 77
}
command -v apt-get >/dev/null && command -v dpkg >/dev/null || skip "apt-get and dpkg are needed"
kernel=$(apt-cache depends linux-image-amd64 2>/dev/null |
  awk '/Depends: linux-image-[0-9]/ { print $2; exit }')
[ -n "$kernel" ] || skip "apt knows no linux-image-amd64 (run apt-get update)"
cd "$guest/cache"
for package in "$kernel" busybox-static; do
  ls "${package}"_*.deb >/dev/null 2>&1 || apt-get download "$package" >/dev/null 2>&1 ||
    skip "apt-get download $package failed (no network or no Debian repository)"
done

stage="$guest/stage"
rm -rf "$stage" "$guest/root"
for deb in "$guest"/cache/*.deb; do dpkg -x "$deb" "$stage"; done
version=$(ls "$stage/lib/modules" | head -1)
"$stage/bin/busybox" depmod -b "$stage" "$version"
modules="$stage/lib/modules/$version"

# The drivers of the emulated disks: NVMe, AHCI, PIIX IDE, virtio-scsi, with the SCSI disk and
# generic drivers; each written after the modules it needs.
mkdir -p "$guest/root/bin" "$guest/root/modules"
cp "$stage/bin/busybox" "$guest/root/bin/"
: >"$guest/root/modules/load.order"
for module in crct10dif_generic crc64_rocksoft_generic nvme ahci ata_piix sd_mod sg virtio_pci \
  virtio_scsi; do
  line=$(grep -E "/$module\.ko:" "$modules/modules.dep") || skip "the kernel has no module $module"
  for file in $(echo "${line#*:}" | tr ' ' '\n' | tac) "${line%%:*}"; do
    name=$(basename "$file")
    grep -qx "$name" "$guest/root/modules/load.order" && continue
    cp "$modules/$file" "$guest/root/modules/"
    echo "$name" >>"$guest/root/modules/load.order"
  done
done
cp "$stage/boot/vmlinuz-$version" "$guest/vmlinuz"
rm -rf "$stage"
echo "guest kernel $version, $(wc -l <"$guest/root/modules/load.order") modules"
