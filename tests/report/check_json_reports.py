#!/usr/bin/env python3
"""Parses the written JSON reports with Python's json module: UTF-8 without byte-order mark,
36 LF lines (one more with a verification scope), keys in order, and the values (hostile
operator texts included) as written out here independently of the program that wrote the
files."""
import json
import sys
from pathlib import Path

KEYS = ["certificateId", "application", "startTime", "endTime", "elapsedSeconds", "executionMode",
        "operatorName", "organizationName", "hardwareDetails", "sanitization", "sha256Fingerprint"]
HARDWARE_KEYS = ["manufacturer", "chassisType", "model", "serial", "uuid", "assetTag", "processor",
                 "totalMemory", "disk", "diskGeometry", "graphicsCard", "soundCards",
                 "networkAdapters", "motherboard", "biosInformation", "storageController"]
SANITIZATION_KEYS = ["standard", "passesCompleted", "passesPlanned", "verificationResult",
                     "verificationScope", "diskStampStatus"]


def load(path, failures):
    raw = path.read_bytes()
    pairs = json.loads(raw.decode("utf-8"), object_pairs_hook=lambda pairs: pairs)
    doc = dict(pairs)
    sanitization = [k for k, _ in doc["sanitization"]]
    scoped = "verificationScope" in sanitization
    if raw.startswith(b"\xef\xbb\xbf") or b"\r" in raw or raw.count(b"\n") != 36 + scoped:
        failures.append(f"{path.name}: byte-order mark, CR or not 36 LF lines")
    keys = ([k for k, _ in pairs], [k for k, _ in doc["hardwareDetails"]], sanitization)
    if keys != (KEYS, HARDWARE_KEYS, [k for k in SANITIZATION_KEYS
                                      if scoped or k != "verificationScope"]):
        failures.append(f"{path.name}: keys {keys}")
    return {**doc, **dict(doc["hardwareDetails"]), **dict(doc["sanitization"])}


def main(folder):
    failures = []
    expected = {
        "sample_Report.json": {"operatorName": "山田 太郎", "elapsedSeconds": 5735.26,
                               "standard": "DoD 5220.22-M (3 Passes - 米国国防総省標準)",
                               "passesCompleted": 3, "uuid": "4C4C4544-0042-3510-8051-B7C04F4E3332"},
        "empty_Report.json": {"certificateId": "", "elapsedSeconds": 0, "passesPlanned": 0,
                              "executionMode": "SimulationDryRun"},
        "hostile_Report.json": {
            "operatorName": 'O"Brien \\ "quoted" \\\\server\\share',
            "organizationName": "Line1\nLine2\r\n\tTabbed\b\f\x01\x1f end",
            "executionMode": "SimulationDryRun", "elapsedSeconds": 1234570.0,
            "manufacturer": '株式会社テスト "引用"',
            "model": "Model </script> & 'x' <img src=x onerror=alert(1)>",
            "verificationResult": "検証\\結果\x00末尾", "diskStampStatus": "\U0001F512 locked"},
    }
    for name, values in expected.items():
        doc = load(Path(folder) / name, failures)
        failures += [f"{name} {key}: {doc[key]!r}" for key, value in values.items()
                     if doc[key] != value]
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("JSON reports: 3 files parsed, keys in order, hostile values round-trip")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
