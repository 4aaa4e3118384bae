#!/usr/bin/env python3
"""Draws the program's shield icon and writes it as a Windows .ico file.

Usage: make_shield_icon.py OUTPUT.ico

A two-tone blue shield with a dark rim and a white check mark, anti-aliased by 4x4 supersampling.
Sizes 16, 24, 32 and 48 are stored as 32-bit DIBs, 256 as PNG (the form Windows expects there)."""
import struct
import sys
import zlib

TOP, BOTTOM, SHOULDER, HALF_WIDTH = 0.06, 0.96, 0.52, 0.40
LEFT_BLUE, RIGHT_BLUE, RIM, WHITE = (30, 90, 168), (60, 125, 217), (15, 47, 90), (255, 255, 255)
CHECK = [(0.30, 0.50), (0.45, 0.66), (0.72, 0.34)]


def half_width(v):
    """Half the shield's width at height v (0 top, 1 bottom): straight sides, then a curved point."""
    if v <= SHOULDER:
        return HALF_WIDTH
    t = (v - SHOULDER) / (BOTTOM - SHOULDER)
    return HALF_WIDTH * max(0.0, 1.0 - t ** 1.7) ** 0.8


def inside(u, v, inset):
    return TOP + inset <= v <= BOTTOM - inset * 1.6 and abs(u - 0.5) <= half_width(v) - inset


def segment_distance(u, v, a, b):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((u - ax) * dx + (v - ay) * dy) / (dx * dx + dy * dy)))
    return ((u - ax - t * dx) ** 2 + (v - ay - t * dy) ** 2) ** 0.5


def sample(u, v, rim, stroke):
    """Colour at one point of the unit square, or None outside the shield."""
    if not inside(u, v, 0.0):
        return None
    if not inside(u, v, rim):
        return RIM
    if min(segment_distance(u, v, CHECK[i], CHECK[i + 1]) for i in range(2)) <= stroke:
        return WHITE
    return LEFT_BLUE if u < 0.5 else RIGHT_BLUE


def render(size):
    """Rows of (r, g, b, a) tuples, top row first."""
    rim = max(0.045, 1.2 / size)
    stroke = max(0.055, 1.0 / size)
    grid = 4
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            hits = [sample((x + (i + 0.5) / grid) / size, (y + (j + 0.5) / grid) / size, rim, stroke)
                    for i in range(grid) for j in range(grid)]
            covered = [c for c in hits if c is not None]
            if not covered:
                row.append((0, 0, 0, 0))
                continue
            colour = tuple(sum(c[k] for c in covered) // len(covered) for k in range(3))
            row.append(colour + (255 * len(covered) // len(hits),))
        rows.append(row)
    return rows


def dib(size, rows):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    return header + pixels + bytes(mask_row * size)  # the alpha channel decides; mask all zero


def png(size, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in rows)
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def main():
    images = [(size, dib(size, render(size))) for size in (16, 24, 32, 48)]
    images.append((256, png(256, render(256))))
    offset = 6 + 16 * len(images)
    directory = b""
    for size, data in images:
        side = 0 if size == 256 else size  # 0 stands for 256
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as out:
        out.write(struct.pack("<HHH", 0, 1, len(images)) + directory)
        for _, data in images:
            out.write(data)


if __name__ == "__main__":
    main()
