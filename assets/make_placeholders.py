#!/usr/bin/env python3
"""Writes the placeholder inputs of model.rc and dev_model.rc.

Until the real pictures, layout templates and code table are made, the two
resource libraries are built from these stand-ins:

  pictures/*.jpg      plain grey baseline JPEGs of the right sizes
  templates/*.bin     296-byte empty device bundles (all bytes 0xFF)
  codetable.txt       a few code-table lines in the fixed-column layout

Run it from anywhere; it writes next to itself. The output is always the
same bytes, and the files it writes are committed, so the build needs no
Python.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Standard luminance DC Huffman table (ITU T.81 Annex K.3).
DC_COUNTS = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
DC_VALUES = list(range(12))
# The AC table needs one symbol only: end of block, coded as the single bit 0.
AC_COUNTS = [1] + [0] * 15
AC_VALUES = [0x00]


def huffman_codes(counts, values):
    codes, code, k = {}, 0, 0
    for length, count in enumerate(counts, start=1):
        for _ in range(count):
            codes[values[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.bits = 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.bits += 1
            if self.bits == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0x00)  # byte stuffing
                self.acc, self.bits = 0, 0

    def flush(self):
        while self.bits:
            self.put(1, 1)  # pad with one bits
        return bytes(self.out)


def segment(marker, payload):
    return struct.pack(">HH", marker, len(payload) + 2) + payload


def grey_jpeg(width, height, level):
    """A baseline greyscale JPEG of one flat grey level (0..255)."""
    dc_codes = huffman_codes(DC_COUNTS, DC_VALUES)
    eob_code = huffman_codes(AC_COUNTS, AC_VALUES)[0x00]
    blocks = ((width + 7) // 8) * ((height + 7) // 8)
    # With a quantiser of 1 the DC term of a flat block is 8 x (level - 128).
    dc = 8 * (level - 128)
    bits = BitWriter()
    for i in range(blocks):
        diff = dc if i == 0 else 0
        size = abs(diff).bit_length()
        bits.put(*dc_codes[size])
        if size:
            bits.put(diff if diff > 0 else diff + (1 << size) - 1, size)
        bits.put(*eob_code)
    data = bytearray(b"\xFF\xD8")
    data += segment(0xFFE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
    data += segment(0xFFDB, b"\x00" + b"\x01" * 64)
    data += segment(0xFFC0, struct.pack(">BHHB", 8, height, width, 1) + b"\x01\x11\x00")
    data += segment(0xFFC4, b"\x00" + bytes(DC_COUNTS) + bytes(DC_VALUES))
    data += segment(0xFFC4, b"\x10" + bytes(AC_COUNTS) + bytes(AC_VALUES))
    data += segment(0xFFDA, b"\x01\x01\x00\x00\x3F\x00")
    data += bits.flush()
    data += b"\xFF\xD9"
    return bytes(data)


def write(relative, data):
    path = os.path.join(HERE, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def code_line(device, brand, codes):
    fields = ", ".join("%04d" % c for c in codes)
    return "%-16s%-30s%s\r\n" % (device, brand, fields)


def main():
    # Splash pictures (one per branding) and the two model-picker pictures.
    for number, level in ((1700, 96), (1701, 128), (1702, 160)):
        write("pictures/splash-%d.jpg" % number, grey_jpeg(400, 300, level))
    for number, level in ((2000, 112), (2001, 144)):
        write("pictures/picker-%d.jpg" % number, grey_jpeg(190, 250, level))

    # Layout templates: an empty device bundle, key record and slot table erased.
    for number in range(1001, 1011):
        write("templates/template-%d.bin" % number, b"\xFF" * 296)

    lines = [
        code_line("TV", "Tavero", [1, 2, 3]),
        code_line("TV", "Placeholder Brand", [10, 11]),
        code_line("DVD", "Tavero", [200, 201, 202, 203]),
        code_line("Audio", "Placeholder Brand", [1500, 1501]),
    ]
    write("codetable.txt", "".join(lines).encode("ascii"))


if __name__ == "__main__":
    main()
