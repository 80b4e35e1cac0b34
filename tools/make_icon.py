#!/usr/bin/env python3
"""Draws Tarnwick's icon: one 64x64 image, 24-bit colour with a 1-bit mask (a folder
with a tree of lines beside it), written as an .ico file.

The icon's source: window/win32/res/tarnwick.ico is its output, committed, so the build
never runs it. After changing the drawing, regenerate the icon from the repository's root:
    python3 tools/make_icon.py window/win32/res/tarnwick.ico
"""
import struct
import sys

N = 64


def pixel(x, y):
    """The colour at (x, y), top-down, or None where the icon is transparent."""
    # A folder: tab on top, body below.
    if 6 <= x < 28 and 8 <= y < 14:
        return (0x3A, 0xB0, 0xF0)  # BGR: amber
    if 4 <= x < 44 and 12 <= y < 40:
        return (0x30, 0xA0, 0xE8) if (x + y) % 7 else (0x28, 0x90, 0xD8)
    # Tree lines: a trunk and three branches ending in small squares.
    if 14 <= x < 17 and 40 <= y < 58:
        return (0x40, 0x40, 0x40)
    for by in (46, 52, 57):
        if 14 <= x < 38 and by <= y < by + 2:
            return (0x40, 0x40, 0x40)
        if 38 <= x < 46 and by - 3 <= y < by + 4:
            return (0xC0, 0x70, 0x20)
    return None


def main(path):
    rows = []
    mask_rows = []
    for y in reversed(range(N)):  # bottom-up, as bitmaps are stored
        row = b""
        bits = 0
        mask = bytearray()
        for x in range(N):
            c = pixel(x, y)
            row += bytes(c) if c else b"\x00\x00\x00"
            bits = (bits << 1) | (0 if c else 1)
            if x % 8 == 7:
                mask.append(bits)
                bits = 0
        rows.append(row)
        mask_rows.append(bytes(mask) + b"\x00" * ((4 - len(mask) % 4) % 4))
    xor = b"".join(rows)
    and_ = b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, N, N * 2, 1, 24, 0, len(xor) + len(and_), 0, 0, 0, 0)
    image = header + xor + and_
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", N, N, 0, 0, 1, 24, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(icondir + entry + image)


if __name__ == "__main__":
    main(sys.argv[1])
