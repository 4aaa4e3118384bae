"""What the boot-time report screens must look like, worked out independently of the boot
programs: the 80x25 BIOS text screen, the graphical UEFI screen (rendered here pixel by pixel
from the drawing rules and the font pictures) and the UEFI text fallback on the console."""

import os
import re

MAGIC = b"TVDE_EFI_STAMP_V2_MAGIC\0"
FONT_HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src",
                           "bootprog", "efi", "font_8x16.h")


class ReportBlock:
    """Title, status and the (label, value) rows of the report and hardware cards."""

    def __init__(self, title, status, rows):
        self.title, self.status = title, status
        self.report, self.hardware = rows[:7], rows[7:]

    @staticmethod
    def from_golden(text):
        """The golden form: title, status, then one 'label|value' line per row."""
        lines = text.splitlines()
        return ReportBlock(lines[0], lines[1], [tuple(line.split("|", 1)) for line in lines[2:]])

    @staticmethod
    def from_image(data):
        """The first block in an image (a disk stamp or a program), read field by field."""
        at = data.find(MAGIC)
        if at < 0:
            raise ValueError("the image holds no report block")

        def field(offset, width):
            return data[at + offset:at + offset + width].split(b"\0")[0].decode("ascii")
        rows = [(field(152 + 120 * i, 28), field(180 + 120 * i, 92)) for i in range(22)]
        return ReportBlock(field(24, 96), field(120, 32), rows)


def load_font(path=FONT_HEADER):
    """The 95 glyphs (16 row bytes each) from the '#'/'.' pictures in the font header."""
    with open(path, encoding="ascii") as f:
        text = f.read()
    start = text.index("kGlyphPictures[] =")
    end = re.compile(r"\n\s*;\s*\n").search(text, start).start()
    literals = [line.strip() for line in text[start:end].splitlines()[1:]
                if line.strip().startswith('"')]
    cells = [c for literal in literals for c in literal.strip('"') if c in "#."]
    if len(cells) != 12 * 10 * 8 * 6:
        raise ValueError(f"font pictures hold {len(cells)} cells")
    glyphs = [[0] * 16 for _ in range(96)]
    for i, c in enumerate(cells):  # bands of 8 glyphs, 10 rows of 6 columns each
        if c == "#":
            glyphs[i // 480 * 8 + i // 6 % 8][2 + i // 48 % 10] |= 0x80 >> (1 + i % 6)
    return glyphs[:95]


def screen_rows(memory):
    """The 25 rows of an 80x25 text screen (character, attribute pairs) as (text, attributes)."""
    return [(bytes(memory[r * 160:(r + 1) * 160:2]).decode("latin-1"),
             set(memory[r * 160 + 1:(r + 1) * 160:2])) for r in range(25)]


def check_bios_screen(memory, text):
    """Problems of the screen against the 25-line report text: blue title band, grey body,
    yellow status line."""
    lines = text.split("\r\n")
    problems = [] if len(lines) == 25 else [f"expected text has {len(lines)} lines"]
    for r, (shown, attributes) in enumerate(screen_rows(memory)):
        want = (lines[r] if r < len(lines) else "").ljust(80)
        colour = 0x1F if r < 2 else 0x1E if r == 24 else 0x70
        if shown != want:
            problems.append(f"row {r}: shows {shown.rstrip()!r}, expected {want.rstrip()!r}")
        if attributes != {colour}:
            problems.append(f"row {r}: attributes {sorted(attributes)}, expected {colour:#x}")
    return problems


def check_fallback_screen(memory, message):
    """The MBR message lines, each from column 0, in consecutive rows, without the report."""
    lines = [line for line in message.split("\r\n") if line]
    shown = [text.rstrip() for text, _ in screen_rows(memory)]
    if any(shown[r:r + len(lines)] == lines for r in range(26 - len(lines))):
        return []
    return [f"message {lines!r} not on screen; screen shows {[s for s in shown if s]!r}"]


PAGE, INK, ACCENT, GREEN = 0xF1F5F9, 0x0F172A, 0x0EA5E9, 0x10B981
WHITE, LIGHT_BLUE, LABEL_GREY, BORDER = 0xFFFFFF, 0xBAE6FD, 0x334155, 0xCBD5E1
FOOTER = "Status: Disk Permanently Sanitized (Bootable Report Stamp Active). No OS Installed."
FOOTER_NOT_CERTIFIED = "Status: Report Stamp Only - No Erasure Certified. No OS Installed."


class Canvas:
    """RGB pixels with the firmware's Blt rule: an operation that does not fit the screen is
    rejected as a whole."""

    def __init__(self, width, height, font):
        self.width, self.height, self.font = width, height, font
        self.pixels = bytearray(width * height * 3)

    def fits(self, x, y, w, h):
        return 0 < w and 0 < h and x + w <= self.width and y + h <= self.height

    def fill(self, x, y, w, h, colour):
        if self.fits(x, y, w, h):
            line = colour.to_bytes(3, "big") * w
            for row in range(y, y + h):
                start = (row * self.width + x) * 3
                self.pixels[start:start + w * 3] = line

    def text(self, x, y, text, foreground, background, scale=1):
        count = min(len(text), 140, 1400 // (8 * scale))
        if not text or not self.fits(x, y, count * 8 * scale, 16 * scale):
            return
        self.fill(x, y, count * 8 * scale, 16 * scale, background)
        ink = foreground.to_bytes(3, "big") * scale
        for index, char in enumerate(text[:count]):
            code = ord(char)
            glyph = self.font[code - 0x20 if 0x20 <= code <= 0x7E else ord("?") - 0x20]
            for row, bits in enumerate(glyph):
                for column in (c for c in range(8) if bits & (0x80 >> c)):
                    left = x + scale * (8 * index + column)
                    for dy in range(scale):
                        start = ((y + scale * row + dy) * self.width + left) * 3
                        self.pixels[start:start + 3 * scale] = ink


def render_report(block, width, height, font):
    """The graphical report screen as the drawing rules lay it out."""
    c = Canvas(width, height, font)
    for x, y, w, h, colour in [(0, 0, width, height, PAGE), (0, 0, width, 68, INK),
                               (0, 68, width, 4, ACCENT), (24, 14, 40, 40, ACCENT),
                               (28, 18, 32, 32, INK), (33, 23, 10, 10, ACCENT),
                               (45, 23, 10, 10, GREEN), (33, 35, 10, 10, GREEN),
                               (45, 35, 10, 10, WHITE)]:
        c.fill(x, y, w, h, colour)
    c.text(78, 12, "TOREVAL DISK ERASER", WHITE, INK, 2)
    c.text(80, 46, block.title, LIGHT_BLUE, INK)
    if width >= 780:
        c.fill(width - 234, 18, 210, 34, GREEN)
        c.text(width - 216, 27, block.status, INK, GREEN)
    card = width - 48 if width > 56 else width
    for title, top, height_, rows in [("Erasure & Certification Report Details", 82, 147,
                                       block.report),
                                      ("Target Machine Hardware Details", 259, 299,
                                       block.hardware)]:
        c.text(24, top, title, INK, PAGE)
        c.fill(24, top + 20, card, height_, BORDER)
        c.fill(25, top + 21, card - 2, height_ - 2, WHITE)
        for i, (label, value) in enumerate(rows):
            c.text(38, top + 27 + 19 * i, label, LABEL_GREY, WHITE)
            c.text(224, top + 27 + 19 * i, value, INK, WHITE)
    if height >= 606:
        c.fill(0, height - 28, width, 28, INK)
        footer = FOOTER if block.status.startswith("S") else FOOTER_NOT_CERTIFIED
        c.text(24, height - 22, footer, LIGHT_BLUE, INK)
    return c


def check_graphics_screen(screen, expected):
    """Problems of a screen dump (width, height, pixels) against the expected rendering."""
    width, height, pixels = screen
    if (width, height) != (expected.width, expected.height):
        return [f"screen is {width}x{height}, expected {expected.width}x{expected.height}"]
    if pixels == expected.pixels:
        return []
    wrong = [(i // 3 % width, i // 3 // width) for i in range(0, len(pixels), 3)
             if pixels[i:i + 3] != expected.pixels[i:i + 3]]
    return [f"{len(wrong)} pixels differ from the expected rendering, first at {wrong[:5]}"]


def console_lines(raw):
    """Lines of a serial log with terminal escape sequences removed."""
    text = re.sub(r"\x1b\[[0-9;?]*[A-Za-z]|\x1b[()][0-9A-Za-z]|\x1b.", "", raw.decode("latin-1"))
    return [line.rstrip() for line in re.split(r"\r\n|\n|\r", text)]


def check_console(raw, block):
    """The fallback lines in order, one per console line, and no boot option started after
    them: the program stays on its report."""
    got = console_lines(raw)
    want = ["=" * 78, "  TOREVAL DISK ERASER - SANITIZATION & HARDWARE VERIFICATION REPORT",
            "=" * 78, "[Report Details]"]
    want += [f"  {label} {value}".rstrip() for label, value in block.report]
    want += ["", "[Hardware Details]"]
    want += [f"  {label} {value}".rstrip() for label, value in block.hardware]
    found = [s for s in range(len(got) - len(want) + 1) if got[s:s + len(want)] == want]
    if not found:
        return ["fallback text not found in order; console ends with:\n" + "\n".join(got)[-1500:]]
    later = [line for line in got[found[0]:] if line.startswith(("BdsDxe: loading",
                                                                 "BdsDxe: starting"))]
    return [f"the program returned to the firmware, which went on: {later[0]!r}"] if later else []
