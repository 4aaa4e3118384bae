#!/usr/bin/env python3
"""Renders the sample certificates in headless Chromium: a 1200x1800 screenshot (kept for a look
by eye); the DOM of the page with hostile values, which must hold them as text, never as
elements; and the sample, the longest and the longest as a simulation (with its watermark)
certificate printed to PDF on A4 and on Letter paper,
each on exactly one page (counted by pdfinfo; the PDFs are kept for a look by eye). Exit 77
(skipped) when Chromium or pdfinfo is missing.
Usage: check_certificate_render.py SAMPLES_DIR OUTPUT_DIR"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

CHROMIUM = "/usr/bin/chromium"


def main(samples, out):
    pdfinfo = shutil.which("pdfinfo")
    if not os.access(CHROMIUM, os.X_OK) or not pdfinfo:
        print(f"SKIPPED: {CHROMIUM} or pdfinfo is missing (install them with scripts/setup.sh)")
        return 77
    os.makedirs(out, exist_ok=True)
    png = os.path.join(out, "sample_Certificate.png")
    problems = []
    with tempfile.TemporaryDirectory() as profile, open(os.path.join(out, "chromium.log"), "w") as log:
        def chromium(*args):
            return subprocess.run(
                ["timeout", "60", CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu",
                 "--disable-quic", "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", f"--user-data-dir={profile}",
                 "--window-size=1200,1800", *args], stdout=subprocess.PIPE, stderr=log, text=True).stdout
        chromium(f"--screenshot={png}", f"file://{samples}/sample_Certificate.html")
        dom = chromium("--dump-dom", f"file://{samples}/hostile_Certificate.html").lower()
        # The paper an operator picks in the print dialog, as the page's own @page size.
        for name in ("sample", "longest", "simulation"):
            with open(os.path.join(samples, f"{name}_Certificate.html"), encoding="utf-8") as f:
                page = f.read()
            for paper in ("A4", "letter"):
                html = os.path.join(out, f"{name}-{paper}.html")
                pdf = os.path.join(out, f"{name}-{paper}.pdf")
                with open(html, "w", encoding="utf-8") as f:
                    f.write(page.replace("</head>", f"<style>@page {{ size: {paper}; }}</style></head>"))
                chromium("--no-pdf-header-footer", f"--print-to-pdf={pdf}", f"file://{html}")
                info = subprocess.run([pdfinfo, pdf], capture_output=True, text=True).stdout
                pages = re.search(r"^Pages:\s+(\d+)", info, re.M)
                size = "A4" if paper == "A4" else "letter"
                if not pages or pages.group(1) != "1" or f"({size})" not in info:
                    problems.append(f"{pdf}: not one {paper} page:\n{info}")
    with open(png, "rb") as f:  # the PNG header's width and height
        size_ok = f.read(24)[16:] == bytes.fromhex("000004b000000708")
    if not size_ok:
        problems.append(f"{png} is no 1200x1800 PNG")
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
        print(f"certificate rendered: {png}; hostile values stay text; printed on one A4 and "
              f"one Letter page each: {out}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
