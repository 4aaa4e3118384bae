#!/usr/bin/env python3
"""The console tool run for real, checked from outside the program.

make DIR:  a 3 MiB image full of 0x9C bytes and no certificate folder (the erase that follows
is judged by its summary and by stamp-read; its reports' contents are the in-process tests').
list CLI:  "tvde-cli list --json" is a JSON array of disk rows; a disk holding "/" is never
erasable.
"""
import json
import shutil
import subprocess
import sys
from pathlib import Path

IMAGE_BYTES = 3 * 1024 * 1024
LIST_KEYS = {"devicePath", "diskNumber", "model", "serialNumber", "mediaType", "busType",
             "sizeBytes", "size", "bytesPerSector", "mountPoints", "safetyStatus", "safetyLabel",
             "safetyReason", "erasable", "passThrough", "firmwareMethods", "firmware",
             "hiddenArea", "hiddenSectors"}
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


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
    check_list(str(where))
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
