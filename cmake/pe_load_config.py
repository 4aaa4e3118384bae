#!/usr/bin/env python3
"""Points a PE image's load configuration directory entry at its `_load_config_used` record
(GNU ld of this toolchain leaves the entry empty), or checks that it does.

  pe_load_config.py set IMAGE NM   patch IMAGE in place; NM lists the image's symbols
  pe_load_config.py check IMAGE... exit 1 unless each image's record limits the search for
                                   its imported DLLs to System32
"""
import struct
import subprocess
import sys

LOAD_CONFIG_ENTRY = 10
SEARCH_SYSTEM32 = 0x800


class Image:
    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            self.data = bytearray(f.read())
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise SystemExit(f"{path}: not a PE image")
        sections, optional_size = struct.unpack_from("<H12xH", self.data, pe + 6)
        self.optional = pe + 24
        magic = struct.unpack_from("<H", self.data, self.optional)[0]
        self.pe32plus = magic == 0x20B
        if self.pe32plus:
            self.image_base = struct.unpack_from("<Q", self.data, self.optional + 24)[0]
            directories = self.optional + 112
        else:
            self.image_base = struct.unpack_from("<I", self.data, self.optional + 28)[0]
            directories = self.optional + 96
        self.entry = directories + 8 * LOAD_CONFIG_ENTRY
        self.sections = []
        table = self.optional + optional_size
        for i in range(sections):
            vsize, rva, raw_size, raw = struct.unpack_from("<IIII", self.data, table + 40 * i + 8)
            self.sections.append((rva, max(vsize, raw_size), raw))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise SystemExit(f"{self.path}: RVA {rva:#x} lies in no section")

    def flags_field(self):
        # DependentLoadFlags follows CSDVersion: 0x4E in the 64-bit record, 0x36 in the 32-bit.
        return 0x4E if self.pe32plus else 0x36


def set_entry(path, nm):
    image = Image(path)
    name = "_load_config_used" if image.pe32plus else "__load_config_used"
    symbols = subprocess.run([nm, path], check=True, capture_output=True, text=True).stdout
    address = None
    for line in symbols.splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[2] == name:
            address = int(fields[0], 16)
    if address is None:
        raise SystemExit(f"{path}: no {name} symbol")
    rva = address - image.image_base
    size = struct.unpack_from("<I", image.data, image.offset(rva))[0]
    struct.pack_into("<II", image.data, image.entry, rva, size)
    with open(path, "wb") as f:
        f.write(image.data)


def check(path):
    image = Image(path)
    rva, size = struct.unpack_from("<II", image.data, image.entry)
    if rva == 0 or size <= image.flags_field() + 2:
        return f"{path}: no load configuration covering DependentLoadFlags"
    record = image.offset(rva)
    declared = struct.unpack_from("<I", image.data, record)[0]
    flags = struct.unpack_from("<H", image.data, record + image.flags_field())[0]
    if declared != size or flags != SEARCH_SYSTEM32:
        return f"{path}: load configuration size {declared}/{size}, DependentLoadFlags {flags:#x}"
    return None


def main(argv):
    if len(argv) == 4 and argv[1] == "set":
        set_entry(argv[2], argv[3])
        return 0
    if len(argv) >= 3 and argv[1] == "check":
        failures = [f for f in map(check, argv[2:]) if f]
        for failure in failures:
            print("FAIL:", failure)
        if not failures:
            print(f"checked {len(argv) - 2} images: imports searched in System32 only")
        return 1 if failures else 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
