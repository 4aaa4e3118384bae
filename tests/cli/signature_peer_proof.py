#!/usr/bin/env python3
"""Signed report sets checked by real peers: openssl and Python's json.

tvde-cli keygen makes a key the settings name (SigningKeyFile); a console job and, for the Windows
build under Wine, the product's --self-test write signed sets. For each set the README's auditor
recipe runs as written (sed cuts manifest and signature out, `openssl dgst -sha256 -verify`,
`openssl dgst -sha256 -r` on the reports) and `tvde-cli verify --key --json` must agree; the
tool's view of tampered sets is CliSigning's. The Windows run restores the prefix's settings.

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


class Runner:
    def __init__(self, args):
        self.args, self.windows = args, args.product is not None
        self.env = dict(os.environ)
        if self.windows:
            self.env["TVDE_WINEPREFIX"] = args.prefix
        else:
            self.env.update(XDG_CONFIG_HOME=f"{args.work}/config", HOME=f"{args.work}/home")

    def path(self, path):
        """A host path as the program under test takes it."""
        return "Z:" + str(path).replace("/", "\\") if self.windows else str(path)

    def run(self, program, *args):
        command = [self.args.wine, program] if self.windows else [program]
        return subprocess.run(command + list(args), capture_output=True, env=self.env,
                              stdin=subprocess.DEVNULL, timeout=300)


def auditor_recipe(signature_file, public_key, work):
    """The README's openssl-only check, as a shell script; returns (signature ok, the three
    reports' hashes ok)."""
    script = f"""
set -e
cd '{work}'
sed 2d '{signature_file}' > manifest.json
sed -n 2p '{signature_file}' | cut -d'"' -f4 | openssl base64 -d -A > signature.der
openssl dgst -sha256 -verify '{public_key}' -signature signature.der manifest.json
"""
    verified = subprocess.run(["bash", "-c", script], capture_output=True, text=True)
    signature_ok = verified.stdout.strip() == "Verified OK"
    check(signature_ok, f"openssl rejects {signature_file.name}: {verified.stdout} {verified.stderr}")
    files = json.loads((work / "manifest.json").read_text())["files"]
    return signature_ok, len(files) == 3 and all(
        subprocess.run(["openssl", "dgst", "-sha256", "-r", signature_file.parent / name],
                       capture_output=True, text=True).stdout.split(" ")[0] == digest
        for name, digest in files.items())


def verify_with_tool(runner, target, public_key):
    """tvde-cli verify's exit code and the names of the checks that failed."""
    done = runner.run(runner.args.cli, "verify", runner.path(target), "--key",
                      runner.path(public_key), "--json")
    checks = json.loads(done.stdout.decode())["sets"][0]["checks"]
    return done.returncode, {c["name"] for c in checks if c["result"] != "OK"}


def prove_set(runner, signature_file, public_key, label):
    work = Path(runner.args.work) / ("recipe-" + label)
    work.mkdir()
    check(auditor_recipe(signature_file, public_key, work) == (True, True),
          f"{label}: the untouched set fails the openssl recipe")
    set_id = signature_file.name[: -len("_Signature.json")]
    result = verify_with_tool(runner, signature_file.parent / set_id, public_key)
    check(result == (0, set()), f"{label}: tvde-cli verify rejects the set: {result}")


def main():
    parser = argparse.ArgumentParser()
    for option in ("--cli", "--work"):
        parser.add_argument(option, required=True)
    for option in ("--product", "--wine", "--prefix"):
        parser.add_argument(option)
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
    if runner.windows:
        users = [u for u in (Path(args.prefix) / "drive_c" / "users").iterdir() if u.name != "Public"]
        ini = users[0] / "AppData/Local/Toreval/DiskEraser/TorevalDiskEraser.ini"
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
            folder = users[0] / "Documents" / "Toreval Disk Eraser Certificates"
            fresh = [p for p in folder.glob("*_Signature.json") if p.stat().st_mtime >= started]
            if check(len(fresh) == 1, f"self-test signatures: {fresh}"):
                prove_set(runner, fresh[0], public_key, "self-test")
    finally:
        if runner.windows and saved is None:
            ini.unlink()
        elif runner.windows:
            ini.write_bytes(saved)
    return report()


def report():
    for failure in failures:
        print("FAIL:", failure)
    print("signature peer proof:", "failed" if failures else "passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
