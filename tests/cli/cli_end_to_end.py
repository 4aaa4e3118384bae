#!/usr/bin/env python3
"""The console tool run for real on an image file, checked from outside the program.

make DIR:  a 3 MiB image full of 0x9C bytes and no certificate folder.
check DIR: after "tvde-cli erase disk.img --real --standard nist-clear --verify full --out
certs": the three reports (JSON parsed, TXT of 34 lines), the stamp record at byte 512
naming the same certificate and fingerprint, and zeroes over the rest of the image.
Expected values are written out here, not taken from the program.
"""
import json
import re
import shutil
import sys
from pathlib import Path

IMAGE_BYTES = 3 * 1024 * 1024
STAMP_BYTES = 131072
ACTIVE = "BOOTABLE REPORT STAMP ACTIVE (BIOS/CSM & UEFI GOP Hybrid Stamp Engraved)"

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def make(folder):
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    (folder / "disk.img").write_bytes(b"\x9c" * IMAGE_BYTES)


def verify(folder):
    certs = sorted((folder / "certs").iterdir())
    names = [p.name for p in certs]
    check(len(names) == 3, f"expected three report files, found {names}")
    cert_id = names[0].split("_")[0]
    check(re.fullmatch(r"TVDE-\d{8}-\d{6}-[0-9A-F]{8}", cert_id) is not None, f"id {cert_id}")
    check(names == sorted([cert_id + "_AuditLog.txt", cert_id + "_Certificate.html",
                           cert_id + "_Report.json"]), f"report names {names}")

    report = json.loads((folder / "certs" / (cert_id + "_Report.json")).read_bytes().decode())
    check(report["certificateId"] == cert_id, "JSON certificateId")
    check(report["executionMode"] == "RealHardwareWrite", "JSON executionMode")
    check(report["operatorName"] == "E2E Operator", "JSON operatorName")
    check(report["organizationName"] == "E2E Org", "JSON organizationName")
    s = report["sanitization"]
    check(s["standard"].startswith("NIST SP 800-88 Rev.1 Clear"), f"standard {s['standard']}")
    check(s["passesCompleted"] == 1 and s["passesPlanned"] == 1, "passes")
    check(s["verificationResult"].startswith("PASSED"), f"verification {s['verificationResult']}")
    check(s["diskStampStatus"] == ACTIVE, f"stamp status {s['diskStampStatus']}")
    fingerprint = report["sha256Fingerprint"]
    check(re.fullmatch(r"[0-9A-F]{64}", fingerprint) is not None, "fingerprint")

    audit = (folder / "certs" / (cert_id + "_AuditLog.txt")).read_bytes().decode()
    check(audit.count("\n") == 34, f"audit log has {audit.count(chr(10))} lines, not 34")
    check(f"  Report UUID / ID   : {cert_id}\r\n" in audit, "audit log id line (CR LF)")
    html = (folder / "certs" / (cert_id + "_Certificate.html")).read_bytes().decode()
    check(cert_id in html and fingerprint in html, "certificate names the id and fingerprint")

    image = (folder / "disk.img").read_bytes()
    check(len(image) == IMAGE_BYTES, f"image size {len(image)}")
    check(image[510:512] == b"\x55\xaa", "boot signature")
    record = image[512:image.index(b"\0", 512)].decode()
    check(record.startswith("TVDE_STAMP_V2|" + cert_id + "|"), f"stamp record {record[:60]}")
    check("|" + fingerprint + "|" in record, "stamp record fingerprint")
    check(image[STAMP_BYTES:] == bytes(IMAGE_BYTES - STAMP_BYTES), "zeroes after the stamp")
    check(b"\x9c" not in image, "a byte of the old content survived")


def main():
    command, folder = sys.argv[1], Path(sys.argv[2])
    if command == "make":
        make(folder)
        return 0
    verify(folder)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
