#!/usr/bin/env python3
"""The console tool run for real, checked from outside the program.

make DIR:  a 3 MiB image full of 0x9C bytes and no certificate folder (the erase that follows
is judged by its summary and by stamp-read; its reports' contents are the in-process tests').
list CLI:  "tvde-cli list --json" is a JSON array of disk rows; a disk holding "/" is never
erasable.
progress CLI DIR:  a real three-pass erase of an image with every pass read back, its standard
output on a pseudo-terminal: one progress line redrawn in place under the log lines, and with
--progress json one JSON object per line on standard error; then the same erase into a pipe,
which gets plain progress lines.
"""
import json
import os
import pty
import shutil
import subprocess
import sys
from pathlib import Path

IMAGE_BYTES = 3 * 1024 * 1024
PROGRESS_IMAGE_BYTES = 48 * 1024 * 1024
PROGRESS_KEYS = {"phase", "pass", "passes", "percent", "passPercent", "bytesDone", "bytesTotal",
                 "speedMBps", "secondsLeft"}
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


def erase_command(cli, where):
    return [cli, "erase", str(where / "disk.img"), "--real", "--standard", "dod", "--verify",
            "every-pass", "--no-stamp", "--no-reports", "--progress", "json"]


def run_on_terminal(command):
    """Standard output on a pseudo-terminal, standard error on a pipe."""
    leader, follower = pty.openpty()
    child = subprocess.Popen(command, stdout=follower, stderr=subprocess.PIPE,
                             stdin=subprocess.DEVNULL)
    os.close(follower)
    shown = b""
    while True:
        try:
            block = os.read(leader, 65536)
        except OSError:  # the terminal closes with the last writer
            break
        if not block:
            break
        shown += block
    os.close(leader)
    errors = child.stderr.read()
    return child.wait(), shown.decode().replace("\r\n", "\n"), errors.decode()


def check_json_progress(errors):
    records = [json.loads(line) for line in errors.splitlines()]
    check(all(set(r) == PROGRESS_KEYS for r in records), f"progress keys {records[:1]}")
    writes = [r for r in records if r["phase"] == "overwrite"]
    check({r["pass"] for r in writes} == {1, 2, 3}, "a progress record for every pass")
    check(all(r["passes"] == 3 and r["bytesTotal"] == PROGRESS_IMAGE_BYTES for r in writes),
          "each pass counts the whole image")
    for number in (1, 2, 3):
        check(any(r["pass"] == number and r["bytesDone"] == r["bytesTotal"] for r in writes),
              f"pass {number} reports its end")
        # The last pass's read-back is the job's verification, which names no pass.
        check(any(r["phase"] == "verify" and r["pass"] == number % 3 for r in records),
              f"the read-back of pass {number} reports progress")
    for before, after in zip(records, records[1:]):
        check(after["phase"] != before["phase"] or after["percent"] >= before["percent"],
              f"the job's percent goes back: {before} then {after}")
    check(any(isinstance(r["secondsLeft"], int) for r in records), "no time left is told")
    check(all(r["secondsLeft"] is None or r["secondsLeft"] >= 0 for r in records),
          "negative time left")


def check_progress(cli, where):
    shutil.rmtree(where, ignore_errors=True)
    where.mkdir(parents=True)
    (where / "disk.img").write_bytes(b"\x9c" * PROGRESS_IMAGE_BYTES)
    status, shown, errors = run_on_terminal(erase_command(cli, where))
    check(status == 0, f"erase on a terminal ended with {status}: {errors[-400:]}")
    check_json_progress(errors)
    check("\r[PROGRESS] pass 1/3 | " in shown and " left" in shown, "no live progress line")
    check("\r[PROGRESS] verify pass 2/3 | " in shown, "no live line for the read-backs")
    # Every finished line is a log or summary line: what the terminal keeps after the last
    # carriage return of each line never is a progress line.
    kept = [line.split("\r")[-1] for line in shown.split("\n")]
    check(not any(line.startswith("[PROGRESS]") for line in kept), "a progress line was kept")
    check(any(line.startswith("[") and "[HARDWARE WRITE]" in line for line in kept),
          "log lines are not printed whole above the progress line")
    check(any(line.startswith("Status           : COMPLETED & VERIFIED") for line in kept),
          "no summary")

    (where / "disk.img").write_bytes(b"\x9c" * PROGRESS_IMAGE_BYTES)
    piped = subprocess.run(erase_command(cli, where)[:-2], capture_output=True)
    lines = piped.stdout.decode().splitlines()
    check(piped.returncode == 0 and piped.stderr == b"", "erase into a pipe")
    check("\r" not in piped.stdout.decode(), "a pipe gets no carriage returns")
    check(any("] [PROGRESS] pass 1/3 | " in line for line in lines), "no plain progress line")


def main():
    command, where = sys.argv[1], Path(sys.argv[2])
    if command == "make":
        shutil.rmtree(where, ignore_errors=True)
        where.mkdir(parents=True)
        (where / "disk.img").write_bytes(b"\x9c" * IMAGE_BYTES)
        return 0
    if command == "progress":
        check_progress(sys.argv[2], Path(sys.argv[3]))
    else:
        check_list(str(where))
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
