#!/usr/bin/env python3
"""Boots a disk image holding a report stamp on real firmware under QEMU and checks the report
screen it shows (modes: see the CMake list of proofs); mode fat checks its FAT volume with
fsck.fat and mtools instead. With IMAGE the expectations are read from the image itself; with
--tool TVDE_CLI the tool writes the stamp of tests/stamp/golden/sample_payload.txt (for 4096-byte
sectors in ovmf-serial-4k, in both layouts for fat) and the golden files are the expectations.
Exit status 0 pass, 1 fail, 77 a peer is missing (skipped)."""

import argparse
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import qemu_session as qs  # noqa: E402
import report_screens as rs  # noqa: E402

GOLDEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "stamp", "golden")
ESP_OFFSET = 0x8000  # the FAT volume starts here whatever the device sector size


def layout(image):
    """The device sector size the stamp is laid out for and the bytes up to its partition's end,
    from partition entry 1 (first sector, sector count) and the volume's fixed start."""
    first, count = struct.unpack_from("<II", image, 0x1C6)
    if first not in (ESP_OFFSET // 512, ESP_OFFSET // 4096):
        raise ValueError(f"the partition starts at sector {first}, not at byte 0x8000")
    sector = ESP_OFFSET // first
    return sector, (first + count) * sector


def expectations(image, golden):
    """The report text, the MBR message and the EFI block the stamp must show."""
    if golden:
        def read(name):
            with open(os.path.join(GOLDEN, name), "rb") as f:
                return f.read().decode("utf-8")
        return (read("sample_screen.txt"), read("sample_message.txt"),
                rs.ReportBlock.from_golden(read("sample_block.txt")))
    text, message = (image[at:].split(b"\0")[0].decode("latin-1") for at in (0xA60, 0x50))
    return text, message, rs.ReportBlock.from_image(image)


def disk(image, work_dir, size, name="disk.img"):
    """The image cut or zero-padded to size bytes: a stamp covers only the start of its FAT
    volume; on a disk the rest is erased space."""
    path = os.path.join(work_dir, name)
    with open(path, "wb") as f:
        f.write(image[:size])
        f.truncate(size)
    return path


def check_boot(mode, image, expected, work_dir, resolution, arch):
    text, message, block = expected
    if mode == "seabios-fallback":  # one sector only: both reads of LBA 5 fail
        args, screen = qs.seabios_args(disk(image, work_dir, 512), "ide"), None
        verify = lambda memory: rs.check_fallback_screen(memory, message)  # noqa: E731
    elif mode.startswith("seabios"):  # a 1.44 MB floppy gives the BIOS a known geometry
        floppy = mode.endswith("floppy")
        args = qs.seabios_args(disk(image, work_dir, 1474560 if floppy else 131072),
                               "floppy" if floppy else "ide")
        verify = lambda memory: rs.check_bios_screen(memory, text)  # noqa: E731
    elif mode.startswith("ovmf-serial"):  # from a disk of the sector size of the layout
        sector, end = layout(image)
        if mode.endswith("-4k") and sector != 4096:
            return [f"the stamp is laid out for {sector}-byte sectors, not 4096"]
        log = os.path.join(work_dir, "serial.log")
        args = qs.ovmf_args(disk(image, work_dir, end), arch, work_dir, None, log, sector)
        verify = lambda raw: rs.check_console(raw, block)  # noqa: E731
    else:
        sector, end = layout(image)
        args = qs.ovmf_args(disk(image, work_dir, end), mode[5:], work_dir, resolution, None, sector)
        rendering = rs.render_report(block, *resolution, rs.load_font())
        verify = lambda screen: rs.check_graphics_screen(screen, rendering)  # noqa: E731
    with qs.QemuSession(args, work_dir) as vm:
        if mode.startswith("seabios"):
            return vm.poll(lambda: vm.read_memory(0xB8000, 4000), verify, 30, 0.2, settle=2)
        # Under software emulation on a busy machine the firmware may show one screen for many
        # seconds before the program runs: a screen is taken as final only after 15 quiet ones.
        if not mode.startswith("ovmf-serial"):
            return vm.poll(vm.screendump, verify, 120, 0.5, settle=15)

        def read_log():
            with open(log, "rb") as f:
                return f.read()
        problems = vm.poll(read_log, verify, 120, 0.5, settle=15)
        time.sleep(0 if problems else 3)  # the program must stay on its report
        return problems or verify(read_log())


def sample_stamp(tool, sector, work_dir, verdict=None):
    """The stamp tvde-cli writes for the golden payload (with another verification verdict when
    given) on a disk of that sector size."""
    path = os.path.join(work_dir, f"stamp-{sector}.img")
    payload = os.path.join(GOLDEN, "sample_payload.txt")
    if verdict is not None:
        lines = pathlib.Path(payload).read_text(encoding="utf-8").splitlines()
        payload = os.path.join(work_dir, "payload.txt")
        pathlib.Path(payload).write_text("\n".join(
            f"verification={verdict}" if line.startswith("verification=") else line
            for line in lines) + "\n", encoding="utf-8")
    subprocess.run([tool, "stamp-write", "--out", path, "--payload", payload, "--sector-size",
                    str(sector)], check=True, stdout=subprocess.DEVNULL)
    return path


def check_fat(image, expected, work_dir, seen):
    """fsck.fat accepts the volume; mtools lists the label, EFI\\BOOT with the two programs of
    their fixed sizes and REPORT.TXT, which holds the BIOS report text byte for byte. The three
    files equal those of the layouts checked before (seen: name -> bytes)."""
    fsck, mdir, mtype = (qs.require(name) for name in ("fsck.fat", "mdir", "mtype"))
    sector, end = layout(image)
    at = disk(image, work_dir, end) + f"@@{ESP_OFFSET}"
    env = dict(os.environ, MTOOLS_SKIP_CHECK="1")

    def run(*args):
        result = subprocess.run(args, capture_output=True, env=env)
        return result.returncode, result.stdout
    code, out = run(fsck, "-n", disk(image[ESP_OFFSET:], work_dir, end - ESP_OFFSET, "volume.img"))
    problems = [] if code == 0 else [f"fsck.fat rejects the volume:\n{out.decode('latin-1')}"]
    listing = run(mdir, "-i", at, "::/EFI/BOOT")[1].decode("latin-1").split()
    for name, ext, size in [("BOOTX64", "EFI", "10240"), ("BOOTIA32", "EFI", "9216"),
                            ("REPORT", "TXT", str(len(expected[0])))]:
        if name not in listing or listing[listing.index(name) + 1:][:2] != [ext, size]:
            problems.append(f"{name}.{ext} of {size} bytes is not listed: {listing}")
    if b"TVDE_STAMP" not in run(mdir, "-i", at, "::/")[1]:
        problems.append("the volume label TVDE_STAMP is missing")
    for name in ("BOOTX64.EFI", "BOOTIA32.EFI", "REPORT.TXT"):
        data = run(mtype, "-i", at, f"::/EFI/BOOT/{name}")[1]
        if seen.setdefault(name, data) != data:
            problems.append(f"{name} differs from the one of the first layout")
    if seen["REPORT.TXT"].decode("latin-1") != expected[0]:
        problems.append("REPORT.TXT differs from the report text")
    return [f"{sector}-byte sectors: {problem}" for problem in problems]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("mode", choices=["seabios", "seabios-floppy", "seabios-fallback",
                                         "ovmf-x64", "ovmf-ia32", "ovmf-serial", "ovmf-serial-4k",
                                         "fat"])
    parser.add_argument("image", nargs="?")
    parser.add_argument("--tool", help="tvde-cli: write the golden sample stamp with it")
    parser.add_argument("--resolution", default="1024x768",
                        type=lambda text: tuple(int(n) for n in text.lower().split("x")))
    parser.add_argument("--arch", default="x64", choices=["x64", "ia32"])
    parser.add_argument("--verdict", help="with --tool: this verification verdict instead; the "
                        "expectations then come from the stamp itself")
    args = parser.parse_args(argv)
    if (args.image is None) == (args.tool is None):
        parser.error("give either IMAGE or --tool")
    work_dir = tempfile.mkdtemp(prefix="tvde-boot-")
    started = time.monotonic()
    try:
        sizes = {"fat": [512, 4096], "ovmf-serial-4k": [4096]}.get(args.mode, [512])
        paths = [sample_stamp(args.tool, size, work_dir, args.verdict)
                 for size in sizes] if args.tool else [args.image]
        images = [pathlib.Path(path).read_bytes() for path in paths]
        expected = expectations(images[0], golden=args.tool is not None and args.verdict is None)
        if args.mode == "fat":
            seen = {}
            problems = [p for image in images for p in check_fat(image, expected, work_dir, seen)]
            # Only the partition entry and the volume behind 0x8000 depend on the sector size.
            if any(image[:0x1BE] + image[0x1CE:ESP_OFFSET] !=
                   images[0][:0x1BE] + images[0][0x1CE:ESP_OFFSET] for image in images):
                problems.append("the layouts differ in front of the FAT volume")
        else:
            problems = check_boot(args.mode, images[0], expected, work_dir, args.resolution,
                                  args.arch)
    except ValueError as error:
        problems = [str(error)]
    except qs.MissingTool as missing:
        print(f"SKIPPED: {missing}; the {args.mode} proof did not run", file=sys.stderr)
        return 77
    finally:
        shutil.rmtree(work_dir, ignore_errors=True)
    for problem in problems:
        print(f"  {problem}")
    print(f"{'FAIL' if problems else 'PASS'} {args.mode} ({time.monotonic() - started:.1f} s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
