#!/usr/bin/env python3
"""Draws the program icon (32x32, 32-bit) and writes it as a .ico file.

Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys


def pixels(size):
    """A rounded blue square with a white 'B'-like bar pattern, bottom-up BGRA rows."""
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            inside = 2 <= x < size - 2 and 2 <= y < size - 2
            corner = (x < 4 or x >= size - 4) and (y < 4 or y >= size - 4)
            if not inside or corner:
                row += bytes((0, 0, 0, 0))
                continue
            # Letter strokes, in top-down coordinates.
            ty = size - 1 - y
            stem = 9 <= x < 13 and 7 <= ty < 25
            bars = 13 <= x < 21 and (7 <= ty < 10 or 14 <= ty < 17 or 22 <= ty < 25)
            bowl = 21 <= x < 24 and (10 <= ty < 14 or 17 <= ty < 22)
            if stem or bars or bowl:
                row += bytes((255, 255, 255, 255))
            else:
                row += bytes((196, 112, 32, 255))
        rows.append(bytes(row))
    return b"".join(rows)


def icon(size=32):
    xor = pixels(size)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(icon())
