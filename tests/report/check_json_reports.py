#!/usr/bin/env python3
"""Parses the written JSON reports with Python's json module and checks keys and values.

The expected values are written out here independently of the program that wrote the files.
"""
import json
import sys
from pathlib import Path

TOP_KEYS = ["certificateId", "application", "startTime", "endTime", "elapsedSeconds",
            "executionMode", "operatorName", "organizationName", "hardwareDetails",
            "sanitization", "sha256Fingerprint"]
HARDWARE_KEYS = ["manufacturer", "chassisType", "model", "serial", "uuid", "assetTag",
                 "processor", "totalMemory", "disk", "diskGeometry", "graphicsCard",
                 "soundCards", "networkAdapters", "motherboard", "biosInformation",
                 "storageController"]
SANITIZATION_KEYS = ["standard", "passesCompleted", "passesPlanned", "verificationResult",
                     "diskStampStatus"]

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def load(path):
    raw = path.read_bytes()
    check(not raw.startswith(b"\xef\xbb\xbf"), f"{path.name}: byte-order mark")
    check(b"\r" not in raw, f"{path.name}: carriage return in file")
    text = raw.decode("utf-8")  # strict: invalid UTF-8 raises
    check(text.count("\n") == 36 and text.endswith("}\n"), f"{path.name}: not 36 LF lines")
    doc = json.loads(text, object_pairs_hook=lambda pairs: pairs)
    keys = [k for k, _ in doc]
    check(keys == TOP_KEYS, f"{path.name}: top-level keys {keys}")
    obj = dict(doc)
    check([k for k, _ in obj["hardwareDetails"]] == HARDWARE_KEYS, f"{path.name}: hardware keys")
    check([k for k, _ in obj["sanitization"]] == SANITIZATION_KEYS,
          f"{path.name}: sanitization keys")
    obj["hardwareDetails"] = dict(obj["hardwareDetails"])
    obj["sanitization"] = dict(obj["sanitization"])
    return obj


def main(folder):
    folder = Path(folder)

    sample = load(folder / "sample_Report.json")
    check(sample["operatorName"] == "山田 太郎", "sample operatorName")
    check(sample["elapsedSeconds"] == 5735.26, "sample elapsedSeconds")
    check(sample["sanitization"]["standard"] == "DoD 5220.22-M (3 Passes - 米国国防総省標準)",
          "sample standard")
    check(sample["sanitization"]["passesCompleted"] == 3, "sample passes")
    check(sample["hardwareDetails"]["uuid"] == "4C4C4544-0042-3510-8051-B7C04F4E3332",
          "sample uuid")

    empty = load(folder / "empty_Report.json")
    check(empty["certificateId"] == "" and empty["elapsedSeconds"] == 0, "empty record values")
    check(empty["executionMode"] == "SimulationDryRun", "empty record mode")

    hostile = load(folder / "hostile_Report.json")
    expected = {
        "operatorName": 'O"Brien \\ "quoted" \\\\server\\share',
        "organizationName": "Line1\nLine2\r\n\tTabbed\b\f\x01\x1f end",
        "executionMode": "SimulationDryRun",
    }
    for key, value in expected.items():
        check(hostile[key] == value, f"hostile {key}: {hostile[key]!r}")
    check(hostile["elapsedSeconds"] == 1234570.0, f"hostile elapsed {hostile['elapsedSeconds']}")
    hw = hostile["hardwareDetails"]
    check(hw["manufacturer"] == '株式会社テスト "引用"', f"hostile manufacturer {hw['manufacturer']!r}")
    check(hw["model"] == "Model </script> & 'x' <img src=x onerror=alert(1)>", "hostile model")
    san = hostile["sanitization"]
    check(san["verificationResult"] == "検証\\結果\x00末尾", f"hostile verification {san['verificationResult']!r}")
    check(san["diskStampStatus"] == "\U0001F512 locked", f"hostile stamp {san['diskStampStatus']!r}")

    if failures:
        for f in failures:
            print("FAIL:", f)
        return 1
    print("JSON reports: 3 files parsed, keys in order, hostile values round-trip")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
