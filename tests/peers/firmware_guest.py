#!/usr/bin/env python3
"""The firmware erase proof: the real, static tvde-cli in a Linux guest (QEMU, TCG) on an NVMe
controller with two namespaces, AHCI, PIIX and virtio-scsi disks, each image full of a pattern.
Checks the list's capabilities, each audit log's firmware lines (JOBS) and that every image
reads back all zero. Usage: firmware_guest.py SOURCE_ROOT WORK_DIR; exit 77 (skipped) without
QEMU or the Debian downloads.
"""
import json
import shutil
import subprocess
import sys
import time
from pathlib import Path

MIB = 1 << 20
SIZE = 16 * MIB
DISKS = {  # image -> QEMU device arguments (drive id = image name)
    "n1": "nvme-ns,drive=n1,bus=nvme0,nsid=1",
    "n2": "nvme-ns,drive=n2,bus=nvme0,nsid=2",
    "ahci": "ide-hd,drive=ahci,bus=ide.0",
    "piix": "ide-hd,drive=piix,bus=piide.0",
    "s1": "scsi-hd,drive=s1,bus=vs0.0,scsi-id=1,lun=0",
    "s2": "scsi-hd,drive=s2,bus=vs0.0,scsi-id=2,lun=0",
}
NOT_AVAILABLE = "  Firmware Sanitize  : firmware sanitize not available ("
ATA_NONE = ("ATA SANITIZE CRYPTO SCRAMBLE EXT: the drive has no SANITIZE feature set (IDENTIFY "
            "word 59)")
CLEAR_FLASH = "  NIST 800-88 Result : Clear (overwrite only; flash media keep spare blocks)"
FORMAT = "NVMe Format NVM (SES=1 User Data Erase)"
# Job -> (image, lines its audit log must hold).
JOBS = {
    "nvme-purge": ("n1", [
        f"  Firmware Sanitize  : {FORMAT}: COMPLETED (the drive reported completion and the check",
        "  Firmware Command   : NVMe Format NVM (opcode 80h, NSID 00000001h, CDW10 00000200h: SES=1",
        "  Drive Completion   : NVMe status 0000h (SCT 0h, SC 00h: Successful Completion)",
        "  Firmware Check     : 8 of 8 check sectors written before the command no longer hold",
        f"  NIST 800-88 Result : Purge (firmware: {FORMAT})"]),
    "nvme-shared": ("n2", [
        NOT_AVAILABLE + "NVMe Sanitize Block Erase: it acts on the whole controller, and "
        "namespace 1 of the same controller is not the chosen target) — overwrite passes only",
        CLEAR_FLASH]),
    "ahci": ("ahci", [NOT_AVAILABLE + ATA_NONE, "  Hidden Area        : none (native max 32768 "
                      "sectors = reported)", "  NIST 800-88 Result : Clear (overwrite only"]),
    "piix": ("piix", [NOT_AVAILABLE + ATA_NONE, "  Hidden Area        : none (native max 32768"]),
    "scsi-format": ("s1", [
        "  Firmware Sanitize  : SCSI FORMAT UNIT: REPORTED COMPLETE, NOT COUNTED",
        "  Drive Completion   : SCSI status 00h GOOD",
        "  Firmware Check     : 8 of 8 check sectors still hold the data written before the "
        "command: the drive's success is not counted", "  NIST 800-88 Result : Clear (overwrite"]),
    "scsi-purge": ("s2", [
        NOT_AVAILABLE + "SCSI SANITIZE Cryptographic Erase: the drive does not report its support "
        "(REPORT SUPPORTED OPERATION CODES: sense key 5h ILLEGAL REQUEST, ASC/ASCQ 20h/00h"]),
}
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def sections(serial):
    found, name = {}, None
    for line in serial.splitlines():
        if line.startswith("GUEST-BEGIN "):
            name, found[line[12:]] = line[12:], []
        elif line.startswith("GUEST-END "):
            name = None
        elif name is not None:
            found[name].append(line)
    return found


def check_list(lines):
    rows = {row["devicePath"]: row for row in json.loads("\n".join(lines[:-1]))}
    ns1 = rows.get("/dev/nvme0n1", {})
    check(ns1.get("passThrough") == "NVMe" and "nvme-format-user-data" in ns1.get(
        "firmwareMethods", []) and "namespace 1 of 2 active" in ns1.get("firmware", ""),
          f"NVMe capabilities {ns1}")
    ata = [r for r in rows.values() if r["firmware"].startswith("ATA: ")]
    check(len(ata) == 2 and all(r["hiddenSectors"] == 0 and r["firmware"] ==
                                "ATA: SANITIZE not supported; Security not supported" for r in ata),
          f"ATA capabilities {ata}")
    scsi = [r for r in rows.values() if r["firmware"].startswith("SCSI: ")]
    check(len(scsi) == 2 and all("REPORT SUPPORTED OPERATION CODES: sense key 5h" in r["firmware"]
                                 for r in scsi), f"SCSI capabilities {scsi}")


def main():
    root, work = Path(sys.argv[1]), Path(sys.argv[2])
    qemu = shutil.which("qemu-system-x86_64")
    fetch = subprocess.run(["bash", root / "scripts/fetch-guest-kernel.sh"], capture_output=True,
                           text=True)
    if fetch.returncode == 77 or qemu is None:
        print(fetch.stdout.strip() if fetch.returncode == 77 else "SKIPPED: no qemu-system-x86_64")
        return 77
    if fetch.returncode != 0:
        print(fetch.stdout, fetch.stderr)
        return 1
    cli = subprocess.run(["bash", root / "scripts/build-static-cli.sh"], capture_output=True,
                         text=True, check=True).stdout.strip()
    shutil.rmtree(work, ignore_errors=True)
    tree = work / "root"
    shutil.copytree(root / "build/guest/root", tree)
    shutil.copy(root / "tests/peers/firmware_guest_init.sh", tree / "init")
    (tree / "init").chmod(0o755)
    shutil.copy(cli, tree / "bin/tvde-cli")
    for folder in ("proc", "sys", "dev", "tmp"):
        (tree / folder).mkdir()
    names = subprocess.run(["find", "."], cwd=tree, capture_output=True, check=True).stdout
    with open(work / "initrd.cpio", "wb") as initrd:
        subprocess.run([tree / "bin/busybox", "cpio", "-o", "-H", "newc"], cwd=tree, input=names,
                       stdout=initrd, stderr=subprocess.DEVNULL, check=True)
    # q35 brings its own AHCI controller ("ide"); the PIIX IDE function is added beside it.
    devices = ["-device", "nvme,id=nvme0,serial=TVDEFW1", "-device", "piix3-ide,id=piide,addr=05.0",
               "-device", "virtio-scsi-pci,id=vs0"]
    for image, device in DISKS.items():
        (work / f"{image}.img").write_bytes((f"TVDE-{image}-PATTERN\n".encode() * SIZE)[:SIZE])
        devices += ["-drive", f"file={work}/{image}.img,if=none,id={image},format=raw",
                    "-device", device]
    start = time.monotonic()
    subprocess.run([qemu, "-accel", "tcg,thread=multi", "-M", "q35", "-m", "512", "-smp", "2",
                    "-nodefaults", "-no-user-config", "-display", "none", "-no-reboot",
                    "-kernel", root / "build/guest/vmlinuz", "-initrd", work / "initrd.cpio",
                    "-append", "console=ttyS0 panic=-1 quiet loglevel=3",
                    "-serial", f"file:{work}/serial.log", *devices], timeout=900, check=False)
    serial = (work / "serial.log").read_text(errors="replace").replace("\r", "")
    print(f"GUEST-PROOF qemu_seconds={time.monotonic() - start:.1f} (serial log: {work}/serial.log)")
    found = sections(serial)
    check("list" in found and found["list"][-1] == "GUEST-EXIT list 0", "list did not run")
    if "list" in found:
        check_list(found["list"])
    for job, (image, lines) in JOBS.items():
        log = found.get(job, [])
        check(f"GUEST-EXIT {job} 0" in log, f"{job}: no exit code 0")
        for line in lines:
            check(any(entry.startswith(line) for entry in log), f"{job}: no line {line!r}")
        check((work / f"{image}.img").read_bytes() == bytes(SIZE), f"{image}.img is not all zero")
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        print(serial[-6000:])
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
