#!/usr/bin/env python3
"""Renders the sample certificate in headless Chromium: a 1200x1800 screenshot (kept for a look
by eye), and the DOM of the page with hostile values, which must hold them as text, never as
elements. Exit 77 (skipped) when Chromium is missing.
Usage: check_certificate_render.py SAMPLES_DIR OUTPUT_DIR"""
import os
import subprocess
import sys
import tempfile

CHROMIUM = "/usr/bin/chromium"


def main(samples, out):
    if not os.access(CHROMIUM, os.X_OK):
        print(f"SKIPPED: {CHROMIUM} is missing (install it with scripts/setup.sh)")
        return 77
    os.makedirs(out, exist_ok=True)
    png = os.path.join(out, "sample_Certificate.png")
    with tempfile.TemporaryDirectory() as profile, open(os.path.join(out, "chromium.log"), "w") as log:
        def chromium(*args):
            return subprocess.run(
                ["timeout", "60", CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu",
                 "--disable-quic", "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", f"--user-data-dir={profile}",
                 "--window-size=1200,1800", *args], stdout=subprocess.PIPE, stderr=log, text=True).stdout
        chromium(f"--screenshot={png}", f"file://{samples}/sample_Certificate.html")
        dom = chromium("--dump-dom", f"file://{samples}/hostile_Certificate.html").lower()
    with open(png, "rb") as f:  # the PNG header's width and height
        size_ok = f.read(24)[16:] == bytes.fromhex("000004b000000708")
    problems = [] if size_ok else [f"{png} is no 1200x1800 PNG"]
    for part in ["<title>certificate of data erasure - tvde-20260105-143012-9a0b1c2d</title>",
                 "<td>&lt;script&gt;document.title='pwned'&lt;/script&gt;&lt;b&gt;bold?&lt;/b&gt; &amp; ",
                 "&lt;img src=x onerror=alert(1)&gt;", '<div class="badge">simulation — no data erased']:
        if part not in dom:
            problems.append(f"DOM lacks: {part}")
    problems += [f"DOM holds: {part}" for part in ["<script", "<img", "<i>", "pwned</title>"]
                 if part in dom]
    for problem in problems:
        print("FAIL:", problem)
    if not problems:
        print(f"certificate rendered: {png}; hostile values stay text")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
