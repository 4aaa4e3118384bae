#!/usr/bin/env python3
"""Checks a browser screenshot of the sample certificate: size and a few known colours.

The PNG header is read here; pixel colours come from ImageMagick (histograms and single
pixels), which is much faster than decoding two million pixels in Python.
Usage: check_certificate_png.py SCREENSHOT.png WIDTH HEIGHT
"""
import re
import struct
import subprocess
import sys


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(33)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise ValueError("not a PNG file")
    width, height, depth, colour = struct.unpack(">IIBB", head[16:26])
    return width, height, depth, colour


def histogram(path, crop=None):
    """{(r, g, b): count} of the whole picture or of a crop 'WxH+X+Y'."""
    args = ["convert", path, "-alpha", "off"]
    if crop:
        args += ["-crop", crop, "+repage"]
    args += ["-depth", "8", "-format", "%c", "histogram:info:-"]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    result = {}
    for line in out.splitlines():
        m = re.match(r"\s*(\d+):\s*\(\s*(\d+),\s*(\d+),\s*(\d+)", line)
        if m:
            count, r, g, b = (int(v) for v in m.groups())
            result[(r, g, b)] = result.get((r, g, b), 0) + count
    return result


def pixel(path, x, y):
    out = subprocess.run(["convert", path, "-alpha", "off", "-depth", "8", "-format",
                          f"%[hex:p{{{x},{y}}}]", "info:-"],
                         check=True, capture_output=True, text=True).stdout.strip()
    return tuple(int(out[i:i + 2], 16) for i in (0, 2, 4))


def near(rgb, hex_colour, tolerance=3):
    target = tuple(int(hex_colour[i:i + 2], 16) for i in (1, 3, 5))
    return all(abs(p - t) <= tolerance for p, t in zip(rgb, target))


def count_near(hist, hex_colour):
    return sum(n for rgb, n in hist.items() if near(rgb, hex_colour))


def main(path, width, height):
    w, h, depth, colour = png_size(path)
    if (w, h) != (width, height):
        return [f"size {w}x{h}, expected {width}x{height}"]
    hist = histogram(path)
    counts = {c: count_near(hist, c) for c in ("#10b981", "#0ea5e9", "#0f172a", "#ffffff")}
    # The title is light text on the dark header.
    title = sum(n for rgb, n in histogram(path, "630x70+150+50").items() if min(rgb) > 200)
    background = pixel(path, 10, 10)
    header = pixel(path, 125, 45)
    checks = [
        (depth == 8 and colour in (2, 6), f"PNG form depth={depth} colour type={colour}"),
        (near(background, "#f1f5f9"), f"page background at (10,10) is {background}"),
        (near(header, "#0f172a"), f"dark header at (125,45) is {header}"),
        (counts["#10b981"] > 3000, f"green badge pixels {counts['#10b981']}"),
        (counts["#0ea5e9"] > 2000, f"header rule and section markers {counts['#0ea5e9']}"),
        (counts["#0f172a"] > 100000, f"dark header and hash box {counts['#0f172a']}"),
        (counts["#ffffff"] > 500000, f"white certificate body {counts['#ffffff']}"),
        (title > 300, f"light title text pixels in the header {title}"),
    ]
    print(f"screenshot {w}x{h}: " + ", ".join(f"{k}={v}" for k, v in counts.items()) +
          f", title pixels={title}")
    return [message for ok, message in checks if not ok]


if __name__ == "__main__":
    problems = main(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]))
    for p in problems:
        print("FAIL:", p)
    sys.exit(1 if problems else 0)
