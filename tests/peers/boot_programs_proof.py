#!/usr/bin/env python3
"""Proves the boot programs on real firmware: builds test stamp images from the raw binaries of
the build (MBR code, BIOS report program, the two EFI images) laid out at the stamp's offsets,
with the FAT volume made by mtools, and boots them with boot_check.py's checks.

  boot_programs_proof.py --bin-dir BUILD/bootprog seabios|ovmf-x64|ovmf-ia32|ovmf-serial"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import boot_check as bc  # noqa: E402
import qemu_session as qs  # noqa: E402
import report_screens as rs  # noqa: E402

SECTOR = 512
PARTITION_LBA = 64
PARTITION_SECTORS = 8192
STAMP_BYTES = 131072
PACKET = bytes([0x10, 0x00, 0x08, 0x00, 0x00, 0x80, 0x00, 0x00,
                0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00])
PARTITION_ENTRY = bytes([0x80, 0x01, 0x01, 0x00, 0xEF, 0xFE, 0x3F, 0x04,
                         0x40, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00])
MESSAGE = "\r\n[TOREVAL DISK ERASER] SANITIZED & VERIFIED. Cert: PROOF-2026-0001\r\n"

# 25 report lines as the stamp writes them: at most 78 characters, CR LF between lines and no
# line end after the last one. One line carries every ASCII punctuation character.
TEXT_LINES = [
    " TOREVAL DISK ERASER - SANITIZATION & HARDWARE REPORT   [SANITIZED & VERIFIED]",
    " Cert: PROOF-2026-0001 | Date: 2026-10-23 12:34:56",
    " [Report Details]",
    "  Software Version : Toreval Disk Eraser Suite v1.3.0",
    "  Erasure Standard : DoD 5220.22-M (3 Passes)",
    "  Verification     : PASSED (All Sampled Sectors Verified Clean)",
    ("  SHA-256 Digest   : 9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08")[:78],
    " [Hardware Details]",
    "  Manufacturer     : QEMU",
    "  Chassis / Model  : Other / Standard PC (Q35 + ICH9, 2009)",
    "  Serial / Asset   :  (Asset: )",
    "  System UUID      : 12345678-9abc-def0-1234-56789abcdef0",
    "  Processor (CPU)  : Punctuation !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~",
    "  Total Memory     : 256 MB",
    "  Disk             : QEMU HARDDISK (4.0 MB)",
    "  Disk Geometry    : 512 B/Sector",
    "  Graphics Card    : Standard VGA",
    "  Sound Cards      : None",
    "  Network / MAC    : None",
    "  Motherboard      : QEMU Standard Board",
    "  BIOS Information : SeaBIOS 1.16",
    "  Storage Control  : Intel PIIX IDE",
    "  Operator / Org   : Proof Operator / Proof Lab",
    "",
    " Status: Data Permanently Sanitized. Bootable Report Stamp Active (No OS).",
]
assert len(TEXT_LINES) == 25 and all(len(line) <= 78 for line in TEXT_LINES)
REPORT_TEXT = "\r\n".join(TEXT_LINES)

LONG_VALUE = ("Intel(R) Xeon(R) Proof CPU @ 3.00GHz, 64 cores, 128 threads, stepping 7, "
              "microcode revision 0x5003 (proof value)")[:91]
assert len(LONG_VALUE) == 91

# A patched block with an empty value (the row stays blank), a 91-character value (drawn on
# 1024 pixels, too wide for 640) and every printable punctuation character.
TEST_BLOCK = rs.ReportBlock(
    rs.TITLE, rs.STATUS,
    list(zip(rs.REPORT_LABELS, [
        "PROOF-2026-0001", "2026-10-23 12:34:56", "Toreval Disk Eraser Suite v1.3.0",
        "DoD 5220.22-M (3 Passes)", "PASSED (All Sampled Sectors Verified Clean)",
        "Proof Operator / Proof Lab",
        "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08"])),
    list(zip(rs.HARDWARE_LABELS, [
        "QEMU", "Other", "Standard PC (Q35 + ICH9, 2009)", "",
        "12345678-9abc-def0-1234-56789abcdef0", "", LONG_VALUE, "256 MB",
        "QEMU HARDDISK (4.0 MB)", "512 B/Sector", "Standard VGA", "None",
        "Punctuation !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~", "QEMU Standard Board",
        "OVMF | Intel ICH9 AHCI"])))

DEFAULT_BLOCK = rs.ReportBlock(
    rs.TITLE, rs.STATUS,
    list(zip(rs.REPORT_LABELS, [
        "TVDE-DEFAULT-STAMP", "2026-10-23 00:00:00", "Toreval Disk Eraser Suite v1.3.0",
        "NIST SP 800-88 Rev.1 Purge", "PASSED (All Sampled Sectors Verified Clean)",
        "Toreval / Toreval Tools Lab", "N/A"])),
    list(zip(rs.HARDWARE_LABELS, [
        "Standard PC", "Desktop / Notebook", "Generic System", "N/A", "N/A", "None",
        "x86/x64 Processor", "N/A", "Internal Storage", "512 B/Sector", "Standard GOP Display",
        "Standard Audio", "Ethernet Adapter", "System BaseBoard",
        "UEFI / Storage Controller"])))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def make_fat_volume(path, files):
    """A FAT16 volume of 8192 sectors with \\EFI\\BOOT holding the given files, by mtools."""
    mformat, mmd, mcopy = (qs.require_program(n) for n in ("mformat", "mmd", "mcopy"))
    with open(path, "wb") as f:
        f.truncate(PARTITION_SECTORS * SECTOR)
    env = dict(os.environ, MTOOLS_SKIP_CHECK="1")
    run = lambda *a: subprocess.run(a, check=True, env=env, capture_output=True)  # noqa: E731
    run(mformat, "-i", path, "-T", str(PARTITION_SECTORS), "-h", "255", "-s", "63", "-H",
        str(PARTITION_LBA), "-c", "1", "-v", "TVDE_PROOF", "::")
    run(mmd, "-i", path, "::/EFI", "::/EFI/BOOT")
    for name, source in files:
        run(mcopy, "-i", path, source, f"::/EFI/BOOT/{name}")


def build_stamp_image(bin_dir, work_dir, name, block=None, block_bytes=None):
    """A whole test disk: stamp sectors 0..63 and the FAT volume behind them. The EFI programs
    are patched with block (a ReportBlock) or with raw block_bytes when given."""
    mbr = read(os.path.join(bin_dir, "mbr_boot.bin"))
    bios = read(os.path.join(bin_dir, "bios_report.bin"))
    efi = {arch: read(os.path.join(bin_dir, f"BOOT{arch.upper()}.EFI"))
           for arch in ("x64", "ia32")}
    if block is not None:
        block_bytes = block.encode()
    if block_bytes is not None:
        efi = {arch: rs.patch_efi(data, block_bytes) for arch, data in efi.items()}

    head = bytearray(PARTITION_LBA * SECTOR)
    head[0:len(mbr)] = mbr
    head[0x40:0x50] = PACKET
    head[0x50:0x50 + len(MESSAGE)] = MESSAGE.encode("ascii")
    head[0x1BE:0x1CE] = PARTITION_ENTRY
    head[0x1FE:0x200] = b"\x55\xAA"
    head[0xA00:0xA00 + len(bios)] = bios
    text = REPORT_TEXT.encode("ascii")
    head[0xA60:0xA60 + len(text)] = text

    files = []
    for arch, file_name in (("x64", "BOOTX64.EFI"), ("ia32", "BOOTIA32.EFI")):
        path = os.path.join(work_dir, f"{name}-{file_name}")
        with open(path, "wb") as f:
            f.write(efi[arch])
        files.append((file_name, path))
    report_path = os.path.join(work_dir, f"{name}-REPORT.TXT")
    with open(report_path, "wb") as f:
        f.write(text)
    files.append(("REPORT.TXT", report_path))
    volume = os.path.join(work_dir, f"{name}-volume.img")
    make_fat_volume(volume, files)

    image = os.path.join(work_dir, f"{name}.img")
    with open(image, "wb") as f:
        f.write(head)
        f.write(read(volume))
    return image


def stamp_sized(image):
    """Cuts a test disk to the 128 KiB a stamp occupies; the boot checks pad it back."""
    with open(image, "r+b") as f:
        f.truncate(STAMP_BYTES)
    return image


def run_suite(suite, bin_dir, work_dir):
    results = []

    def fresh():
        sub = os.path.join(work_dir, f"vm{len(results)}")
        os.makedirs(sub)
        return sub

    if suite == "seabios":
        # Through the command line, on an image cut to the stamp's 128 KiB as a disk holds it,
        # with the expected text from a file: the way product images are checked.
        image = stamp_sized(build_stamp_image(bin_dir, work_dir, "default"))
        text_file = os.path.join(work_dir, "expected.txt")
        with open(text_file, "wb") as f:
            f.write(REPORT_TEXT.encode("ascii"))
        results.append(bc.main(["seabios", image, "--expect-text", text_file]) == 0)
        results.append(bc.check_seabios(image, REPORT_TEXT, fresh(), "floppy"))
        results.append(bc.check_seabios_fallback(image, MESSAGE, fresh()))
    elif suite in ("ovmf-x64", "ovmf-ia32"):
        arch = suite.split("-")[1]
        default = build_stamp_image(bin_dir, work_dir, "default")
        patched = build_stamp_image(bin_dir, work_dir, "patched", TEST_BLOCK)
        # The unpatched image must show the built-in block, read independently of the image.
        results.append(bc.check_ovmf_graphics(default, arch, (1024, 768), DEFAULT_BLOCK, fresh()))
        results.append(bc.check_ovmf_graphics(patched, arch, (1024, 768), TEST_BLOCK, fresh()))
        results.append(bc.check_ovmf_graphics(patched, arch, (640, 480), TEST_BLOCK, fresh()))
    elif suite == "ovmf-serial":
        patched = stamp_sized(build_stamp_image(bin_dir, work_dir, "patched", TEST_BLOCK))
        # x64 through the command line: the expected block is read from the image by mtools.
        disk = bc.padded_copy(patched, fresh())
        shown = bc.block_from_image(disk, "x64", os.path.dirname(disk))
        if vars(shown) != vars(TEST_BLOCK):
            print("FAIL the block read back from the test image is not the test block")
            results.append(False)
        results.append(bc.main(["ovmf-serial", patched, "--arch", "x64"]) == 0)
        results.append(bc.check_ovmf_serial(patched, "ia32", TEST_BLOCK, fresh()))
        cleared = bytearray(TEST_BLOCK.encode())
        cleared[0] = 0
        silent = build_stamp_image(bin_dir, work_dir, "cleared", block_bytes=bytes(cleared))
        results.append(bc.check_ovmf_early_return(silent, "x64", fresh()))
    return all(results)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--bin-dir", required=True)
    parser.add_argument("suite", choices=["seabios", "ovmf-x64", "ovmf-ia32", "ovmf-serial"])
    args = parser.parse_args()
    work_dir = qs.make_work_dir()
    started = time.monotonic()
    try:
        ok = run_suite(args.suite, args.bin_dir, work_dir)
    except qs.MissingTool as missing:
        print(f"SKIPPED: {missing}; the {args.suite} boot proof did not run", file=sys.stderr)
        return bc.SKIPPED
    finally:
        shutil.rmtree(work_dir, ignore_errors=True)
    print(f"{args.suite}: {'passed' if ok else 'FAILED'} in {time.monotonic() - started:.1f} s")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
