#!/usr/bin/env python3
"""Signed report sets checked by real peers: openssl and Python's json.

tvde-cli keygen makes a key the settings name (SigningKeyFile); a console job and, for the Windows
build under Wine, the product's --self-test write signed sets. For each set the README's auditor
recipe runs as written (sed cuts manifest and signature out, `openssl dgst -sha256 -verify`,
`openssl dgst -sha256 -r` on the reports), `tvde-cli verify --key --json` must agree, and one
changed byte must make both fail. The Windows run restores the prefix's settings file after.

native:  signature_peer_proof.py --cli TVDE_CLI --work DIR
windows: signature_peer_proof.py --cli TVDE_CLI_EXE --product EXE --wine WINE_RUN --prefix PREFIX
         --work DIR
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def sh(command, **kwargs):
    return subprocess.run(["bash", "-c", command], capture_output=True, text=True, **kwargs)


class Runner:
    def __init__(self, args):
        self.args = args
        self.windows = args.product is not None
        self.env = dict(os.environ)
        if self.windows:
            self.env["TVDE_WINEPREFIX"] = args.prefix
        else:
            self.env["XDG_CONFIG_HOME"] = str(Path(args.work) / "config")
            self.env["HOME"] = str(Path(args.work) / "home")

    def path(self, path):
        """A host path as the program under test takes it."""
        return "Z:" + str(path).replace("/", "\\") if self.windows else str(path)

    def run(self, program, *args):
        command = [self.args.wine, program] if self.windows else [program]
        return subprocess.run(command + list(args), capture_output=True, env=self.env,
                              stdin=subprocess.DEVNULL, timeout=300)


def auditor_recipe(signature_file, public_key, work):
    """The README's openssl-only check, as a shell script; returns (signature ok, hashes ok)."""
    folder = signature_file.parent
    script = f"""
set -e
cd '{work}'
sed 2d '{signature_file}' > manifest.json
sed -n 2p '{signature_file}' | cut -d'"' -f4 | openssl base64 -d -A > signature.der
openssl dgst -sha256 -verify '{public_key}' -signature signature.der manifest.json
"""
    verified = sh(script)
    check(verified.stdout.strip() == "Verified OK",
          f"openssl rejects {signature_file.name}: {verified.stdout} {verified.stderr}")
    manifest = json.loads((work / "manifest.json").read_text())
    signed = json.loads(signature_file.read_text())
    check({k: v for k, v in signed.items() if k != "signature"} == manifest,
          "the manifest is the signature file without its signature")
    hashes_ok = True
    for name, digest in manifest["files"].items():
        out = sh(f"openssl dgst -sha256 -r '{folder / name}'").stdout.split(" ")[0]
        hashes_ok = hashes_ok and out == digest
    return verified.stdout.strip() == "Verified OK", hashes_ok


def verify_with_tool(runner, target, public_key):
    done = runner.run(runner.args.cli, "verify", runner.path(target), "--key",
                      runner.path(public_key), "--json")
    result = json.loads(done.stdout.decode())
    return done.returncode, result


def prove_set(runner, signature_file, public_key, label):
    work = Path(runner.args.work) / ("recipe-" + label)
    work.mkdir()
    signature_ok, hashes_ok = auditor_recipe(signature_file, public_key, work)
    check(signature_ok and hashes_ok, f"{label}: the untouched set fails the openssl recipe")
    set_id = signature_file.name[: -len("_Signature.json")]
    code, result = verify_with_tool(runner, signature_file.parent / set_id, public_key)
    check(code == 0 and result["verified"], f"{label}: tvde-cli verify rejects the set: {result}")
    check(all(c["result"] == "OK" for c in result["sets"][0]["checks"]), f"{label}: {result}")

    # One byte of the audit log changed, in a copy of the set.
    copy = Path(runner.args.work) / ("tampered-" + label)
    copy.mkdir()
    for name in json.loads(signature_file.read_text())["files"]:
        shutil.copy(signature_file.parent / name, copy / name)
    shutil.copy(signature_file, copy / signature_file.name)
    log = copy / (set_id + "_AuditLog.txt")
    data = bytearray(log.read_bytes())
    data[data.index(b"Operator / Org     : ") + 21] ^= 0x01
    log.write_bytes(bytes(data))
    signature_ok, hashes_ok = auditor_recipe(copy / signature_file.name, public_key, work)
    check(signature_ok and not hashes_ok, f"{label}: openssl does not see the changed byte")
    code, result = verify_with_tool(runner, copy / set_id, public_key)
    failed = {c["name"] for c in result["sets"][0]["checks"] if c["result"] == "FAILED"}
    check(code == 1 and failed == {"audit log", "file hashes"}, f"{label}: {code} {failed}")


def settings_file(prefix):
    users = [u for u in (Path(prefix) / "drive_c" / "users").iterdir() if u.name != "Public"]
    return users[0], users[0] / "AppData/Local/Toreval/DiskEraser/TorevalDiskEraser.ini"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--product")
    parser.add_argument("--wine")
    parser.add_argument("--prefix")
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    work = Path(args.work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    (work / "disk.img").write_bytes(bytes(1 << 20))
    runner = Runner(args)

    keys = work / "keys"
    made = runner.run(args.cli, "keygen", "--out", runner.path(keys))
    if not check(made.returncode == 0, f"keygen: {made.stdout} {made.stderr}"):
        return report()
    public_key = keys / "signing_public_key.pem"
    setting = "[Signing]\nSigningKeyFile=" + runner.path(keys / "signing_private_key.pem") + "\n"

    saved = None
    if runner.windows:
        user, ini = settings_file(args.prefix)
        saved = ini.read_bytes() if ini.exists() else None
        ini.parent.mkdir(parents=True, exist_ok=True)
        ini.write_bytes(b"\xff\xfe" + setting.replace("\n", "\r\n").encode("utf-16-le"))
    else:
        ini = work / "config" / "toreval" / "TorevalDiskEraser.ini"
        ini.parent.mkdir(parents=True)
        ini.write_text(setting)
    try:
        erase = runner.run(args.cli, "erase", runner.path(work / "disk.img"), "--standard",
                           "zero-fill", "--out", runner.path(work / "certs"))
        check(erase.returncode == 0, f"erase: {erase.stdout.decode()} {erase.stderr.decode()}")
        signatures = sorted((work / "certs").glob("*_Signature.json"))
        if check(len(signatures) == 1, f"console job signatures: {signatures}"):
            prove_set(runner, signatures[0], public_key, "console")

        if runner.windows:
            started = time.time() - 1
            self_test = runner.run(args.product, "--self-test")
            check(self_test.returncode == 0, f"self-test exit code {self_test.returncode}")
            folder = user / "Documents" / "Toreval Disk Eraser Certificates"
            fresh = [p for p in folder.glob("*_Signature.json") if p.stat().st_mtime >= started]
            if check(len(fresh) == 1, f"self-test signatures: {fresh}"):
                prove_set(runner, fresh[0], public_key, "self-test")
    finally:
        if runner.windows:
            if saved is None:
                ini.unlink()
            else:
                ini.write_bytes(saved)
    return report()


def report():
    for failure in failures:
        print("FAIL:", failure)
    print("signature peer proof:", "failed" if failures else "passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
