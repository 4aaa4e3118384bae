#!/usr/bin/env python3
"""The console tool run for real, checked from outside the program.

make DIR:  a 3 MiB image full of 0x9C bytes and no certificate folder.
check DIR: after "tvde-cli erase disk.img --real --standard nist-clear --verify full --out
certs": three reports whose JSON parses, names the certificate and an active stamp whose
record at byte 512 names the same certificate and fingerprint.
list CLI:  "tvde-cli list --json" is a JSON array of disk rows; a disk holding "/" is never
erasable.
"""
import json
import shutil
import subprocess
import sys
from pathlib import Path

IMAGE_BYTES = 3 * 1024 * 1024
ACTIVE = "BOOTABLE REPORT STAMP ACTIVE (BIOS/CSM & UEFI GOP Hybrid Stamp Engraved)"
LIST_KEYS = {"devicePath", "diskNumber", "model", "serialNumber", "mediaType", "busType",
             "sizeBytes", "size", "bytesPerSector", "mountPoints", "safetyStatus", "safetyLabel",
             "safetyReason", "erasable"}
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def verify(folder):
    names = sorted(p.name for p in (folder / "certs").iterdir())
    cert_id = names[0].split("_")[0] if names else ""
    check(names == [cert_id + "_AuditLog.txt", cert_id + "_Certificate.html",
                    cert_id + "_Report.json"], f"report names {names}")
    report = json.loads((folder / "certs" / (cert_id + "_Report.json")).read_bytes().decode())
    s = report["sanitization"]
    check((report["certificateId"], report["operatorName"], s["diskStampStatus"]) ==
          (cert_id, "E2E Operator", ACTIVE), f"JSON {report}")
    image = (folder / "disk.img").read_bytes()
    record = image[512:image.index(b"\0", 512)].decode()
    check(record.startswith(f"TVDE_STAMP_V2|{cert_id}|"), f"stamp record {record[:60]}")
    check(f"|{report['sha256Fingerprint']}|" in record, "stamp record fingerprint")


def check_list(cli):
    rows = json.loads(subprocess.run([cli, "list", "--json"], capture_output=True,
                                     check=True).stdout.decode())
    check(isinstance(rows, list), "list --json is not an array")
    for row in rows if isinstance(rows, list) else []:
        check(set(row) == LIST_KEYS, f"row keys {sorted(row)}")
        if "/" in row["mountPoints"].split(", "):
            check(not row["erasable"] and row["safetyStatus"] == 1, f"system disk {row}")


def main():
    command, where = sys.argv[1], Path(sys.argv[2])
    if command == "make":
        shutil.rmtree(where, ignore_errors=True)
        where.mkdir(parents=True)
        (where / "disk.img").write_bytes(b"\x9c" * IMAGE_BYTES)
        return 0
    check_list(str(where)) if command == "list" else verify(where)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
