"""What the boot-time report screens must look like, worked out independently of the boot
programs: the 80x25 BIOS text screen, the graphical UEFI screen (rendered here pixel by pixel
from the drawing rules and the font pictures) and the UEFI text fallback on the console."""

import os
import re

BLOCK_MAGIC = b"TVDE_EFI_STAMP_V2_MAGIC"
BLOCK_SIZE = 2792
FONT_HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src",
                           "bootprog", "efi", "font_8x16.h")

# --- report block -----------------------------------------------------------------------------

REPORT_LABELS = ["Report / Cert ID  :", "Sanitization Date :", "Software Version  :",
                 "Erasure Standard  :", "Verification      :", "Operator / Org    :",
                 "SHA-256 Signature :"]
HARDWARE_LABELS = ["Manufacturer      :", "Chassis Type      :", "System Model      :",
                   "System Serial     :", "System UUID       :", "Asset Tag         :",
                   "Processor (CPU)   :", "Total Memory      :", "Sanitized Disk    :",
                   "Disk Geometry     :", "Graphics Adapter  :", "Audio Controller  :",
                   "Network / MAC     :", "Motherboard       :", "BIOS / Storage    :"]
TITLE = "NIST SP 800-88 Rev.1 / DoD 5220.22-M Certified Sanitization & Hardware Verification"
STATUS = "SANITIZED & VERIFIED"


def _field(data, offset, width):
    raw = data[offset:offset + width]
    end = raw.find(b"\0")
    return raw[:end if end >= 0 else width].decode("ascii", "replace")


def _put(block, offset, width, text):
    raw = text.encode("ascii")[:width - 1]
    block[offset:offset + width] = raw + bytes(width - len(raw))


class ReportBlock:
    def __init__(self, title, status, report, hardware):
        self.title, self.status = title, status
        self.report, self.hardware = report, hardware  # lists of (label, value)

    @staticmethod
    def parse(data):
        if len(data) < BLOCK_SIZE or data[:24] != BLOCK_MAGIC + b"\0":
            raise ValueError("not a report block")
        rows = [(_field(data, 152 + 120 * i, 28), _field(data, 180 + 120 * i, 92))
                for i in range(22)]
        return ReportBlock(_field(data, 24, 96), _field(data, 120, 32), rows[:7], rows[7:])

    def encode(self):
        block = bytearray(BLOCK_SIZE)
        _put(block, 0, 24, BLOCK_MAGIC.decode())
        _put(block, 24, 96, self.title)
        _put(block, 120, 32, self.status)
        for i, (label, value) in enumerate(self.report + self.hardware):
            _put(block, 152 + 120 * i, 28, label)
            _put(block, 180 + 120 * i, 92, value)
        return bytes(block)


def find_block(image):
    """Offset of the report block in an EFI image, or None (same rule as the stamp writer)."""
    offset = image.find(BLOCK_MAGIC)
    while offset >= 0:
        if offset + BLOCK_SIZE <= len(image):
            return offset
        offset = image.find(BLOCK_MAGIC, offset + 1)
    return None


def patch_efi(image, block_bytes):
    offset = find_block(image)
    if offset is None:
        raise ValueError("EFI image holds no report block")
    return image[:offset] + block_bytes + image[offset + BLOCK_SIZE:]


# --- font -----------------------------------------------------------------------------------

def load_font(path=FONT_HEADER):
    """The 95 glyphs (16 row bytes each) from the pictures in the font header."""
    with open(path, encoding="ascii") as f:
        text = f.read()
    start = text.index("kGlyphPictures[] =")
    end = re.compile(r"\n\s*;\s*\n").search(text, start).start()
    # Picture rows are string literals; the comment lines above them name the characters.
    literals = [line.strip() for line in text[start:end].splitlines()[1:]
                if line.strip().startswith('"')]
    cells = [c for literal in literals for c in literal.strip('"') if c in "#."]
    if len(cells) != 12 * 10 * 8 * 6:
        raise ValueError(f"font pictures hold {len(cells)} cells")
    glyphs = [[0] * 16 for _ in range(96)]
    for i, c in enumerate(cells):
        column, slot = i % 6, (i // 6) % 8
        row, band = (i // 48) % 10, i // 480
        if c == "#":
            glyphs[band * 8 + slot][2 + row] |= 0x80 >> (1 + column)
    return glyphs[:95]


# --- BIOS text screen -------------------------------------------------------------------------

BIOS_ROW_ATTRIBUTES = [0x1F] * 2 + [0x70] * 22 + [0x1E]


def screen_rows(memory):
    """The 25 rows of an 80x25 text screen as (text, attributes)."""
    rows = []
    for r in range(25):
        cells = memory[r * 160:(r + 1) * 160]
        rows.append((bytes(cells[0::2]).decode("latin-1"), list(cells[1::2])))
    return rows


def check_bios_screen(memory, text):
    """Problems of the text screen against the 25-line report text (empty list: all good)."""
    lines = text.split("\r\n")
    problems = []
    if len(lines) != 25:
        problems.append(f"expected text has {len(lines)} lines, not 25")
    for r, (shown, attributes) in enumerate(screen_rows(memory)):
        want = lines[r] if r < len(lines) else ""
        want = want[:80].ljust(80)
        if shown != want:
            problems.append(f"row {r}: shows {shown.rstrip()!r}, expected {want.rstrip()!r}")
        bad = sorted({a for a in attributes if a != BIOS_ROW_ATTRIBUTES[r]})
        if bad:
            problems.append(f"row {r}: attributes {[hex(a) for a in bad]}, expected "
                            f"{BIOS_ROW_ATTRIBUTES[r]:#x}")
    return problems


def check_fallback_screen(memory, message):
    """The MBR message lines must appear, each at column 0, in consecutive rows."""
    lines = [line for line in message.split("\r\n") if line]
    rows = screen_rows(memory)
    shown = [text.rstrip() for text, _ in rows]
    if all(a == 0x1F for a in rows[0][1]):
        return ["the report program's colour bands are on screen"]
    for r in range(25 - len(lines) + 1):
        if shown[r:r + len(lines)] == lines:
            return []
    return [f"message {lines!r} not on screen; screen shows {[s for s in shown if s]!r}"]


# --- UEFI graphical screen ------------------------------------------------------------------

PAGE, INK, ACCENT, GREEN = 0xF1F5F9, 0x0F172A, 0x0EA5E9, 0x10B981
WHITE, LIGHT_BLUE, LABEL_GREY, BORDER = 0xFFFFFF, 0xBAE6FD, 0x334155, 0xCBD5E1
FOOTER = "Status: Disk Permanently Sanitized (Bootable Report Stamp Active). No OS Installed."


def _rgb(colour):
    return bytes(((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF))


class Canvas:
    """A screen of RGB pixels with the firmware's Blt rules: an operation that does not fit
    the screen is rejected as a whole."""

    def __init__(self, width, height, font):
        self.width, self.height, self.font = width, height, font
        self.pixels = bytearray(width * height * 3)

    def fits(self, x, y, w, h):
        return 0 < w and 0 < h and x + w <= self.width and y + h <= self.height

    def fill(self, x, y, w, h, colour):
        if not self.fits(x, y, w, h):
            return
        line = _rgb(colour) * w
        for row in range(y, y + h):
            start = (row * self.width + x) * 3
            self.pixels[start:start + w * 3] = line

    def text(self, x, y, text, foreground, background, scale=1):
        if not text or scale not in (1, 2):
            return
        count = min(len(text), 140)
        width = count * 8 * scale
        if width > 1400:
            count, width = 1400 // (8 * scale), 1400
        if not self.fits(x, y, width, 16 * scale):
            return
        self.fill(x, y, width, 16 * scale, background)
        ink = _rgb(foreground)
        for index, char in enumerate(text[:count]):
            code = ord(char)
            glyph = self.font[code - 0x20 if 0x20 <= code <= 0x7E else ord("?") - 0x20]
            for row, bits in enumerate(glyph):
                for column in range(8):
                    if bits & (0x80 >> column):
                        left = x + 8 * scale * index + scale * column
                        for dy in range(scale):
                            start = ((y + scale * row + dy) * self.width + left) * 3
                            self.pixels[start:start + 3 * scale] = ink * scale


def render_report(block, width, height, font):
    """The graphical report screen as the drawing rules lay it out."""
    c = Canvas(width, height, font)
    c.fill(0, 0, width, height, PAGE)
    c.fill(0, 0, width, 68, INK)
    c.fill(0, 68, width, 4, ACCENT)
    c.fill(24, 14, 40, 40, ACCENT)
    c.fill(28, 18, 32, 32, INK)
    c.fill(33, 23, 10, 10, ACCENT)
    c.fill(45, 23, 10, 10, GREEN)
    c.fill(33, 35, 10, 10, GREEN)
    c.fill(45, 35, 10, 10, WHITE)
    c.text(78, 12, "TOREVAL DISK ERASER", WHITE, INK, 2)
    c.text(80, 46, block.title, LIGHT_BLUE, INK)
    if width >= 780:
        c.fill(width - 234, 18, 210, 34, GREEN)
        c.text(width - 216, 27, block.status, INK, GREEN)
    card = width - 48 if width > 56 else width
    c.text(24, 82, "Erasure & Certification Report Details", INK, PAGE)
    c.fill(24, 102, card, 147, BORDER)
    c.fill(25, 103, card - 2, 145, WHITE)
    for i, (label, value) in enumerate(block.report):
        c.text(38, 109 + 19 * i, label, LABEL_GREY, WHITE)
        c.text(224, 109 + 19 * i, value, INK, WHITE)
    c.text(24, 259, "Target Machine Hardware Details", INK, PAGE)
    c.fill(24, 279, card, 299, BORDER)
    c.fill(25, 280, card - 2, 297, WHITE)
    for i, (label, value) in enumerate(block.hardware):
        c.text(38, 286 + 19 * i, label, LABEL_GREY, WHITE)
        c.text(224, 286 + 19 * i, value, INK, WHITE)
    if height >= 606:
        c.fill(0, height - 28, width, 28, INK)
        c.text(24, height - 22, FOOTER, LIGHT_BLUE, INK)
    return c


def _pixel(screen, x, y):
    width, _, pixels = screen
    i = (y * width + x) * 3
    return (pixels[i] << 16) | (pixels[i + 1] << 8) | pixels[i + 2]


def _count(screen, x0, y0, x1, y1, colour):
    width, height, _ = screen
    return sum(1 for y in range(y0, min(y1, height)) for x in range(x0, min(x1, width))
               if _pixel(screen, x, y) == colour)


def check_graphics_screen(screen, block, font, expected=None):
    """Problems of a screen dump against the report block (empty list: all good). expected is
    the rendering to compare with (computed when not given)."""
    width, height, pixels = screen
    problems = []

    def expect(name, x, y, colour):
        got = _pixel(screen, x, y)
        if got != colour:
            problems.append(f"{name} at ({x},{y}) is {got:06X}, expected {colour:06X}")

    expect("header bar", 10, 10, INK)
    for y in range(68, 72):
        expect("accent line", width // 2, y, ACCENT)
    expect("logo frame", 25, 15, ACCENT)
    expect("logo tile", 46, 24, GREEN)
    expect("badge" if width >= 780 else "header without badge", width - 200, 20,
           GREEN if width >= 780 else INK)
    expect("report card border", 24, 102, BORDER)
    expect("report card interior", 30, 106, WHITE)
    if 279 + 299 <= height:
        expect("hardware card border", width - 25, 279 + 298, BORDER)
        expect("hardware card interior", width - 30, 284, WHITE)
    else:
        # A card taller than the screen is a rejected fill: the page shows through.
        expect("page where the hardware card does not fit", width - 30, 284, PAGE)
    expect("footer" if height >= 606 else "page without footer", 10, height - 10,
           INK if height >= 606 else PAGE)

    # Each row's label and value band: ink where there is text, none where the value is empty
    # or too wide for the screen (the firmware rejects that Blt and the row stays blank).
    rows = [(109 + 19 * i, row) for i, row in enumerate(block.report)]
    rows += [(286 + 19 * i, row) for i, row in enumerate(block.hardware)]
    for y, (label, value) in rows:
        if y + 16 > height:
            continue
        if _count(screen, 38, y, 224, y + 16, LABEL_GREY) < 4 * len(label.replace(" ", "")):
            problems.append(f"label {label!r} at y={y} is not drawn")
        ink = _count(screen, 224, y, width, y + 16, INK)
        drawn = value and 224 + 8 * min(len(value), 140) <= width
        if drawn and ink < 2 * len(value.replace(" ", "")):
            problems.append(f"value {value!r} at y={y} shows only {ink} ink pixels")
        if not drawn and ink:
            problems.append(f"value {value!r} at y={y} should be blank, has {ink} ink pixels")

    if expected is None:
        expected = bytes(render_report(block, width, height, font).pixels)
    if expected != bytes(pixels):
        wrong = [(i // 3 % width, i // 3 // width) for i in range(0, len(pixels), 3)
                 if pixels[i:i + 3] != expected[i:i + 3]]
        problems.append(f"{len(wrong)} pixels differ from the expected rendering, first at "
                        f"{wrong[:5]}")
    return problems


# --- UEFI text fallback on the serial console --------------------------------------------

_ESCAPE = re.compile(r"\x1b\[[0-9;?]*[A-Za-z]|\x1b[()][0-9A-Za-z]|\x1b.")


def console_lines(raw):
    """Lines of a serial log with terminal escape sequences removed."""
    text = _ESCAPE.sub("", raw.decode("latin-1"))
    return [line.rstrip() for line in re.split(r"\r\n|\n|\r", text)]


def expected_console_lines(block):
    lines = ["=" * 78, "  TOREVAL DISK ERASER - SANITIZATION & HARDWARE VERIFICATION REPORT",
             "=" * 78, "[Report Details]"]
    lines += [f"  {label} {value}".rstrip() for label, value in block.report]
    lines += ["", "[Hardware Details]"]
    lines += [f"  {label} {value}".rstrip() for label, value in block.hardware]
    return lines


def check_console(raw, block):
    """The fallback lines must appear in order, one per console line."""
    got = console_lines(raw)
    want = expected_console_lines(block)
    for start in range(len(got) - len(want) + 1):
        if got[start:start + len(want)] == want:
            return []
    tail = "\n".join(got)[-1500:]
    return [f"fallback text not found in order; console ends with:\n{tail}"]


def _boot_lines(lines):
    return [i for i, line in enumerate(lines)
            if line.startswith("BdsDxe: loading") or line.startswith("BdsDxe: starting")]


def check_no_boot_after(raw, marker):
    """No boot option is loaded or started after the line holding marker."""
    lines = console_lines(raw)
    shown = [i for i, line in enumerate(lines) if marker in line]
    if not shown:
        return [f"{marker!r} is gone from the console"]
    later = [lines[i] for i in _boot_lines(lines) if i > shown[0]]
    if later:
        return [f"the program returned to the firmware, which went on: {later[0]!r}"]
    return []


def check_returned_to_boot_manager(raw):
    """The disk's boot option started and the boot manager went on to another option, without
    any report line in between."""
    lines = console_lines(raw)
    disk = [i for i in _boot_lines(lines)
            if lines[i].startswith("BdsDxe: starting") and "HARDDISK" in lines[i]]
    if not disk:
        return ["the disk's boot option has not started"]
    later = [i for i in _boot_lines(lines) if i > disk[0]]
    if not later:
        return ["the boot manager did not move on after the disk's program"]
    if any("[Report Details]" in line or "TOREVAL" in line for line in lines[disk[0]:]):
        return ["a report was printed although the block was cleared"]
    return []
