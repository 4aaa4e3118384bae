#!/usr/bin/env python3
"""Boots a disk image holding a report stamp on real firmware under QEMU and checks the report
screen it shows. Works on any stamp image: the test images of the boot-program proofs or an
image written by the product.

  boot_check.py seabios IMAGE [--expect-text FILE]        BIOS text screen (INT 13h extensions)
  boot_check.py seabios-floppy IMAGE [--expect-text FILE] same screen through the CHS read
  boot_check.py seabios-fallback IMAGE [--expect-message FILE]
                                                          MBR message when LBA 5 cannot be read
  boot_check.py ovmf-x64|ovmf-ia32 IMAGE [--resolution WxH] [--expect-block FILE]
                                                          graphical UEFI screen (screen dump)
  boot_check.py ovmf-serial IMAGE [--arch x64|ia32] [--expect-block FILE]
                                                          UEFI text fallback (no graphics)

--sector-size 4096 boots the OVMF modes from a virtio disk with 4096-byte logical sectors (the
partition entry and the FAT volume then count in 4 KiB sectors).

Without --expect-* the expectation is read from the image itself: the report text at byte 0xA60
of LBA 5, the message at byte 0x50 of LBA 0, the report block inside \\EFI\\BOOT\\BOOT*.EFI of
the partition (read with mtools). Exit status 0 pass, 1 fail, 77 a peer is missing (skipped)."""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import qemu_session as qs  # noqa: E402
import report_screens as rs  # noqa: E402

SECTOR = 512
TEXT_OFFSET = 0xA60
TEXT_LIMIT = 3996
MESSAGE_OFFSET = 0x50
MESSAGE_LIMIT = 300
FLOPPY_BYTES = 1474560
SKIPPED = 77
IDLE_CHECK_SECONDS = 3


def zero_terminated(data, offset, limit):
    raw = data[offset:offset + limit]
    end = raw.find(b"\0")
    return raw[:end if end >= 0 else limit].decode("latin-1")


def partition_start(image_path):
    with open(image_path, "rb") as f:
        mbr = f.read(SECTOR)
    first_lba, sectors = struct.unpack_from("<II", mbr, 0x1BE + 8)
    return first_lba, sectors


def padded_copy(image_path, work_dir, sector_size=SECTOR, name="disk.img"):
    """A copy of the image long enough to hold its whole partition (a stamp image covers only
    the start of its FAT volume; on a disk the rest is erased space)."""
    first_lba, sectors = partition_start(image_path)
    copy = os.path.join(work_dir, name)
    shutil.copyfile(image_path, copy)
    needed = (first_lba + sectors) * sector_size
    if os.path.getsize(copy) < needed:
        with open(copy, "r+b") as f:
            f.truncate(needed)
    return copy


def efi_file_from_image(disk_path, arch, work_dir, sector_size=SECTOR):
    """\\EFI\\BOOT\\BOOTX64.EFI or BOOTIA32.EFI read through mtools from the partition."""
    mcopy = qs.require_program("mcopy")
    first_lba, _ = partition_start(disk_path)
    name = "BOOTX64.EFI" if arch == "x64" else "BOOTIA32.EFI"
    out = os.path.join(work_dir, name)
    env = dict(os.environ, MTOOLS_SKIP_CHECK="1")
    subprocess.run([mcopy, "-n", "-i", f"{disk_path}@@{first_lba * sector_size}",
                    f"::/EFI/BOOT/{name}", out], check=True, env=env, capture_output=True)
    with open(out, "rb") as f:
        return f.read()


def block_from_image(disk_path, arch, work_dir, sector_size=SECTOR):
    image = efi_file_from_image(disk_path, arch, work_dir, sector_size)
    offset = rs.find_block(image)
    if offset is None:
        raise ValueError(f"the {arch} EFI program on the image holds no report block")
    return rs.ReportBlock.parse(image[offset:offset + rs.BLOCK_SIZE])


def poll(session, read, check, timeout, interval, settle=None):
    """Reads the screen until check finds no problem or the timeout passes. With settle
    (seconds), also gives up once the screen has not changed for that long after it differed
    from the expectation past the first settle x 4 seconds: the program has finished drawing."""
    last, unchanged_since = None, None
    while True:
        observed = read()
        problems = check(observed)
        now = session.elapsed()
        if not problems or now > timeout:
            return problems, now
        if observed != last:
            last, unchanged_since = observed, now
        elif settle is not None and now > 4 * settle and now - unchanged_since > settle:
            return problems, now
        time.sleep(interval)


def report(name, problems, elapsed):
    if problems:
        print(f"FAIL {name} ({elapsed:.1f} s):")
        for p in problems:
            print(f"  {p}")
        return False
    print(f"PASS {name} ({elapsed:.1f} s)")
    return True


def check_seabios(image_path, text, work_dir, drive="ide"):
    disk = image_path
    if drive == "floppy":
        # A standard 1.44 MB floppy size gives the BIOS a known geometry; only the first
        # 13 sectors matter to the boot programs.
        disk = os.path.join(work_dir, "floppy.img")
        with open(image_path, "rb") as f:
            data = f.read(FLOPPY_BYTES)
        with open(disk, "wb") as f:
            f.write(data + bytes(FLOPPY_BYTES - len(data)))
    with qs.QemuSession(qs.seabios_args(disk, drive), work_dir) as vm:
        problems, elapsed = poll(vm, lambda: vm.read_memory(0xB8000, 4000),
                                 lambda m: rs.check_bios_screen(m, text), 30, 0.2,
                                 settle=2)
    return report(f"SeaBIOS {drive} text screen", problems, elapsed)


def check_seabios_fallback(image_path, message, work_dir):
    # One sector only: both the extended and the CHS read of LBA 5 fail.
    disk = os.path.join(work_dir, "mbr_only.img")
    with open(image_path, "rb") as f:
        sector = f.read(SECTOR)
    with open(disk, "wb") as f:
        f.write(sector)
    with qs.QemuSession(qs.seabios_args(disk), work_dir) as vm:
        problems, elapsed = poll(vm, lambda: vm.read_memory(0xB8000, 4000),
                                 lambda m: rs.check_fallback_screen(m, message), 30,
                                 0.2, settle=2)
    return report("SeaBIOS MBR fallback message", problems, elapsed)


def check_ovmf_graphics(image_path, arch, resolution, block, work_dir, sector_size=SECTOR):
    disk = padded_copy(image_path, work_dir, sector_size)
    if block is None:
        block = block_from_image(disk, arch, work_dir, sector_size)
    font = rs.load_font()
    expected = bytes(rs.render_report(block, resolution[0], resolution[1], font).pixels)
    args = qs.ovmf_args(disk, arch, work_dir, resolution=resolution, sector_size=sector_size)
    with qs.QemuSession(args, work_dir) as vm:
        def check(screen):
            if screen[:2] != resolution:
                return [f"screen is {screen[0]}x{screen[1]}, expected {resolution}"]
            return rs.check_graphics_screen(screen, block, font, expected)
        problems, elapsed = poll(vm, vm.screendump, check, 120, 0.5, settle=6)
        if problems:
            vm.screendump()
            kept = os.path.join(os.environ.get("TMPDIR", "/tmp"),
                                f"tvde-failed-ovmf-{arch}-{resolution[0]}x{resolution[1]}.ppm")
            shutil.copyfile(os.path.join(work_dir, "screen.ppm"), kept)
            problems.append(f"last screen dump kept as {kept}")
    return report(f"OVMF {arch} graphical screen {resolution[0]}x{resolution[1]}, "
                  f"{sector_size}-byte sectors", problems, elapsed)


def check_ovmf_serial(image_path, arch, block, work_dir, sector_size=SECTOR):
    disk = padded_copy(image_path, work_dir, sector_size)
    if block is None:
        block = block_from_image(disk, arch, work_dir, sector_size)
    log = os.path.join(work_dir, "serial.log")
    args = qs.ovmf_args(disk, arch, work_dir, resolution=None, serial_log=log,
                        sector_size=sector_size)

    def read_log():
        with open(log, "rb") as f:
            return f.read()
    with qs.QemuSession(args, work_dir) as vm:
        problems, elapsed = poll(vm, read_log, lambda raw: rs.check_console(raw, block), 120,
                                 0.5, settle=6)
        if not problems:
            # The program must stay on its report: the firmware never gets to a next boot option.
            time.sleep(IDLE_CHECK_SECONDS)
            problems = rs.check_no_boot_after(read_log(), "[Report Details]")
    return report(f"OVMF {arch} text fallback on the serial console, {sector_size}-byte sectors",
                  problems, elapsed)


def check_ovmf_early_return(image_path, arch, work_dir):
    """An image whose report block starts with a zero byte returns to the firmware at once: the
    boot manager moves on to its next option and no report is printed."""
    disk = padded_copy(image_path, work_dir)
    log = os.path.join(work_dir, "serial.log")
    args = qs.ovmf_args(disk, arch, work_dir, resolution=None, serial_log=log)

    def read_log():
        with open(log, "rb") as f:
            return f.read()
    with qs.QemuSession(args, work_dir) as vm:
        problems, elapsed = poll(vm, read_log, rs.check_returned_to_boot_manager, 120, 0.5,
                                 settle=6)
    return report(f"OVMF {arch} returns at once for a cleared block", problems, elapsed)


def parse_resolution(text):
    width, height = text.lower().split("x")
    return int(width), int(height)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("mode", choices=["seabios", "seabios-floppy", "seabios-fallback",
                                         "ovmf-x64", "ovmf-ia32", "ovmf-serial"])
    parser.add_argument("image")
    parser.add_argument("--expect-text", help="the 25-line report text (CR LF separated)")
    parser.add_argument("--expect-message", help="the MBR fallback message")
    parser.add_argument("--expect-block", help="a 2792-byte report block")
    parser.add_argument("--resolution", default="1024x768", type=parse_resolution)
    parser.add_argument("--arch", default="x64", choices=["x64", "ia32"])
    parser.add_argument("--sector-size", default=SECTOR, type=int, choices=[SECTOR, 4096])
    args = parser.parse_args(argv)

    with open(args.image, "rb") as f:
        head = f.read(TEXT_OFFSET + TEXT_LIMIT)

    def expectation(path, offset, limit):
        if path is None:
            return zero_terminated(head, offset, limit)
        with open(path, "rb") as f:
            return f.read().decode("latin-1")

    block = None
    if args.expect_block:
        with open(args.expect_block, "rb") as f:
            block = rs.ReportBlock.parse(f.read())

    work_dir = qs.make_work_dir()
    try:
        if args.mode in ("seabios", "seabios-floppy"):
            text = expectation(args.expect_text, TEXT_OFFSET, TEXT_LIMIT)
            drive = "floppy" if args.mode == "seabios-floppy" else "ide"
            ok = check_seabios(args.image, text, work_dir, drive)
        elif args.mode == "seabios-fallback":
            message = expectation(args.expect_message, MESSAGE_OFFSET, MESSAGE_LIMIT)
            ok = check_seabios_fallback(args.image, message, work_dir)
        elif args.mode == "ovmf-serial":
            ok = check_ovmf_serial(args.image, args.arch, block, work_dir, args.sector_size)
        else:
            arch = "x64" if args.mode == "ovmf-x64" else "ia32"
            ok = check_ovmf_graphics(args.image, arch, args.resolution, block, work_dir,
                                     args.sector_size)
    except qs.MissingTool as missing:
        print(f"SKIPPED: {missing}; the boot proof did not run", file=sys.stderr)
        return SKIPPED
    finally:
        shutil.rmtree(work_dir, ignore_errors=True)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
