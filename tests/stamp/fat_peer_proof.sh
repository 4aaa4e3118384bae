#!/usr/bin/env bash
# Proof on real FAT tools: the stamp image written by tvde-cli holds a FAT16 volume at byte
# 0x8000 that fsck.fat accepts, whose \EFI\BOOT mtools lists with the three files, and whose
# REPORT.TXT is byte for byte the BIOS report text at 0xA60.
# Usage: fat_peer_proof.sh TVDE_CLI. Exit 77 (skipped) when a peer tool is missing.
set -euo pipefail
tool=$(realpath "$1")

for peer in fsck.fat mdir mtype mcopy; do
  if ! command -v "$peer" >/dev/null 2>&1; then
    echo "SKIPPED: $peer is not installed (run scripts/setup.sh); the FAT proof did not run" >&2
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

cat >payload.txt <<'PAYLOAD'
certificateId=TVDE-20261023-PEER01
sanitizationDate=2026-10-23 14:05:09
softwareVersion=Toreval Disk Eraser Suite v1.3.0
standardName=NIST SP 800-88 Rev.1 Purge (NVMe/SSD最推奨・TRIM解放+暗号乱数+Zero)
verification=PASSED (All Sampled Sectors Verified Clean)
operatorName=Peer Proof
organizationName=Toreval Tools Lab
sha256Fingerprint=9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08
passesCompleted=3
hardware.manufacturer=Toreval Systems
hardware.biosInformation=TVBIOS 1.07 (2025-01-15)
hardware.storageController=Standard NVM Express Controller
PAYLOAD

"$tool" stamp-write --out stamp.img --payload payload.txt >/dev/null
[ "$(stat -c %s stamp.img)" -eq 131072 ] || fail "the stamp image is not 131072 bytes"

# A 4096-byte sector disk gets the same MBR, record and BIOS area; only the partition entry
# and the FAT volume (at the same byte 0x8000) count in 4 KiB sectors.
"$tool" stamp-write --out stamp4k.img --payload payload.txt --sector-size 4096 >/dev/null
cmp -s <(head -c $((0x1BE)) stamp.img) <(head -c $((0x1BE)) stamp4k.img) ||
  fail "the 4096-byte layout changed the MBR in front of the partition table"
cmp -s <(head -c $((0x8000)) stamp.img | tail -c +$((0x1CF))) \
  <(head -c $((0x8000)) stamp4k.img | tail -c +$((0x1CF))) ||
  fail "the 4096-byte layout changed the record or the BIOS area"

# Pads the image so that its whole partition exists, checks the volume with fsck.fat and lists
# \EFI\BOOT into listing-SECTOR.txt. IN: image, device sector size.
check_volume() {
  local image=$1 sector=$2 first count
  first=$(od -An -tu4 -j $((0x1C6)) -N4 "$image" | tr -d ' ')
  count=$(od -An -tu4 -j $((0x1CA)) -N4 "$image" | tr -d ' ')
  [ $((first * sector)) -eq $((0x8000)) ] || fail "$sector-byte layout: partition at sector $first"
  truncate -s $(((first + count) * sector)) "$image"
  dd if="$image" of="volume-$sector.img" bs="$sector" skip="$first" count="$count" status=none
  echo "== fsck.fat -n ($sector-byte sectors)"
  fsck.fat -n "volume-$sector.img" || fail "fsck.fat rejects the $sector-byte stamp volume"
  echo "== mdir ::/EFI/BOOT ($sector-byte sectors)"
  mdir -i "$image@@32768" ::/EFI/BOOT | tee "listing-$sector.txt"
  grep -Eq '^BOOTX64 +EFI +10240 ' "listing-$sector.txt" || fail "BOOTX64.EFI (10240 bytes) not listed"
  grep -Eq '^BOOTIA32 +EFI +9216 ' "listing-$sector.txt" || fail "BOOTIA32.EFI (9216 bytes) not listed"
  grep -Eq '^REPORT +TXT +[0-9]+ ' "listing-$sector.txt" || fail "REPORT.TXT not listed"
  [ "$(grep -Ec '^[A-Z0-9.]+ ' "listing-$sector.txt")" -eq 5 ] ||
    fail "\\EFI\\BOOT holds more than ., .., and three files"
  mdir -i "$image@@32768" ::/ | grep -q 'is TVDE_STAMP' || fail "volume label TVDE_STAMP missing"
  [ "$(mdir -b -i "$image@@32768" ::/)" = "::/EFI/" ] || fail "the root holds more than EFI"
  [ "$(mdir -b -i "$image@@32768" ::/EFI)" = "::/EFI/BOOT/" ] || fail "EFI holds more than BOOT"
}
check_volume stamp.img 512
check_volume stamp4k.img 4096
cp listing-512.txt listing.txt
for program in BOOTX64.EFI BOOTIA32.EFI REPORT.TXT; do
  mcopy -n -i stamp.img@@32768 "::/EFI/BOOT/$program" "512-$program"
  mcopy -n -i stamp4k.img@@32768 "::/EFI/BOOT/$program" "4096-$program"
  cmp -s "512-$program" "4096-$program" || fail "$program differs between the two layouts"
done

# REPORT.TXT equals the BIOS text at 0xA60 up to its terminating zero.
mcopy -n -i stamp.img@@32768 ::/EFI/BOOT/REPORT.TXT report.txt
mtype -i stamp.img@@32768 ::/EFI/BOOT/REPORT.TXT >typed.txt
cmp -s report.txt typed.txt || fail "mtype and mcopy disagree"
size=$(stat -c %s report.txt)
listed=$(awk '/^REPORT +TXT/ {print $3}' listing.txt)
[ "$size" -eq "$listed" ] || fail "REPORT.TXT is $size bytes but listed as $listed"
dd if=stamp.img of=bios.txt bs=1 skip=$((0xA60)) count="$size" status=none
cmp report.txt bios.txt || fail "REPORT.TXT differs from the BIOS text"
[ "$(tr -d '\000' <bios.txt | wc -c)" -eq "$size" ] || fail "the BIOS text has a zero inside"
terminator=$(dd if=stamp.img bs=1 skip=$((0xA60 + size)) count=1 status=none | od -An -tx1 | tr -d ' ')
[ "$terminator" = "00" ] || fail "the BIOS text is not zero-terminated right after REPORT.TXT's length"
head -c 80 report.txt | grep -q '^ TOREVAL DISK ERASER - SANITIZATION & HARDWARE REPORT' ||
  fail "REPORT.TXT does not start with the report title"
grep -q ' Cert: TVDE-20261023-PEER01 | Date: 2026-10-23 14:05:09' report.txt ||
  fail "REPORT.TXT lacks the certificate line"

# Both EFI programs carry this report in their block.
for program in BOOTX64.EFI BOOTIA32.EFI; do
  mcopy -n -i stamp.img@@32768 "::/EFI/BOOT/$program" "$program"
  [ "$(grep -c -a 'TVDE_EFI_STAMP_V2_MAGIC' "$program")" -ge 1 ] || fail "$program has no block"
  grep -q -a 'TVDE-20261023-PEER01' "$program" || fail "$program was not patched with the report"
done

echo "PASS: fsck.fat and mtools accept the stamp volume; REPORT.TXT ($size bytes) equals the BIOS text"
