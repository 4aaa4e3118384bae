#!/usr/bin/env bash
# Proof on real firmware: a stamp image written by tvde-cli boots under QEMU and shows this
# payload's report, compared with a screen text and a report block written out by hand below.
# Usage: boot_peer_proof.sh TVDE_CLI MODE, MODE one of seabios, seabios-floppy, ovmf-x64,
# ovmf-ia32, ovmf-serial, ovmf-serial-4k (a virtio disk with 4096-byte logical sectors, the
# stamp written for that sector size). Exit 77 (skipped) when QEMU, OVMF or mtools are missing.
set -euo pipefail
tool=$(realpath "$1")
mode=$2
checker=$(cd "$(dirname "${BASH_SOURCE[0]}")/../peers" && pwd)/boot_check.py

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

digest=0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF
cat >payload.txt <<PAYLOAD
certificateId=TVDE-20261023-BOOT01
sanitizationDate=2026-10-23 14:05:09
softwareVersion=Toreval Disk Eraser Suite v1.3.0
standardName=Zero Fill (1 Pass)
verification=PASSED (All Sampled Sectors Verified Clean)
operatorName=Boot Proof
organizationName=Toreval Tools Lab
sha256Fingerprint=$digest
passesCompleted=1
hardware.manufacturer=Toreval Systems
hardware.chassisType=Desktop
hardware.model=TV-1000
hardware.serial=SN-4711
hardware.uuid=33221100-5544-7766-8899-AABBCCDDEEFF
hardware.assetTag=ASSET-9
hardware.processor=Test CPU 3.0 GHz
hardware.totalMemory=16384 MB
hardware.disk=64.00 GB Test Disk
hardware.diskGeometry=SATA 64.00 GB / 134217728 Sector(s)
hardware.graphicsCard=Test GPU
hardware.soundCards=Test Audio
hardware.networkAdapters=Adapter 1: Test NIC, 02:00:00:00:00:01
hardware.motherboard=Toreval / Board-1
hardware.biosInformation=TVBIOS 1.07
hardware.storageController=Test AHCI
PAYLOAD
sector=512
[ "$mode" = ovmf-serial-4k ] && sector=4096
"$tool" stamp-write --out stamp.img --payload payload.txt --sector-size "$sector" >/dev/null

# The 25 screen lines, CR LF between them, none after the last; the digest line is cut at 78.
lines=(
  " TOREVAL DISK ERASER - SANITIZATION & HARDWARE REPORT   [SANITIZED & VERIFIED]"
  " Cert: TVDE-20261023-BOOT01 | Date: 2026-10-23 14:05:09"
  " [Report Details]"
  "  Software Version : Toreval Disk Eraser Suite v1.3.0"
  "  Erasure Standard : Zero Fill (1 Pass) (1 Passes)"
  "  Verification     : PASSED (All Sampled Sectors Verified Clean)"
  "  SHA-256 Digest   : 0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF012345678"
  " [Hardware Details]"
  "  Manufacturer     : Toreval Systems"
  "  Chassis / Model  : Desktop / TV-1000"
  "  Serial / Asset   : SN-4711 (Asset: ASSET-9)"
  "  System UUID      : 33221100-5544-7766-8899-AABBCCDDEEFF"
  "  Processor (CPU)  : Test CPU 3.0 GHz"
  "  Total Memory     : 16384 MB"
  "  Disk             : 64.00 GB Test Disk"
  "  Disk Geometry    : SATA 64.00 GB / 134217728 Sector(s)"
  "  Graphics Card    : Test GPU"
  "  Sound Cards      : Test Audio"
  "  Network / MAC    : Adapter 1: Test NIC, 02:00:00:00:00:01"
  "  Motherboard      : Toreval / Board-1"
  "  BIOS Information : TVBIOS 1.07"
  "  Storage Control  : Test AHCI"
  "  Operator / Org   : Boot Proof / Toreval Tools Lab"
  ""
  " Status: Data Permanently Sanitized. Bootable Report Stamp Active (No OS)."
)
for i in "${!lines[@]}"; do
  printf '%s' "${lines[$i]}"
  [ "$i" -lt 24 ] && printf '\r\n'
done >expected.txt

# The report block the UEFI programs draw: the harness's labels, this payload's values.
python3 - "$digest" "$(dirname "$checker")" <<'PY'
import sys
sys.path.insert(0, sys.argv[2])
import report_screens as rs
block = rs.ReportBlock(rs.TITLE, rs.STATUS, list(zip(rs.REPORT_LABELS, [
    "TVDE-20261023-BOOT01", "2026-10-23 14:05:09", "Toreval Disk Eraser Suite v1.3.0",
    "Zero Fill (1 Pass) (1 Passes)", "PASSED (All Sampled Sectors Verified Clean)",
    "Boot Proof / Toreval Tools Lab", sys.argv[1]])), list(zip(rs.HARDWARE_LABELS, [
    "Toreval Systems", "Desktop", "TV-1000", "SN-4711", "33221100-5544-7766-8899-AABBCCDDEEFF",
    "ASSET-9", "Test CPU 3.0 GHz", "16384 MB", "64.00 GB Test Disk",
    "SATA 64.00 GB / 134217728 Sector(s)", "Test GPU", "Test Audio",
    "Adapter 1: Test NIC, 02:00:00:00:00:01", "Toreval / Board-1", "TVBIOS 1.07 | Test AHCI"])))
open("expected.block", "wb").write(block.encode())
PY

case "$mode" in
  seabios | seabios-floppy) exec python3 "$checker" "$mode" stamp.img --expect-text expected.txt ;;
  ovmf-x64 | ovmf-ia32) exec python3 "$checker" "$mode" stamp.img --expect-block expected.block ;;
  ovmf-serial | ovmf-serial-4k)
    exec python3 "$checker" ovmf-serial stamp.img --arch x64 --expect-block expected.block \
      --sector-size "$sector" ;;
  *) echo "unknown mode $mode" >&2; exit 2 ;;
esac
