#!/usr/bin/env python3
"""Writes app_icon.ico: the application icon (16 and 32 pixel 32-bit images).

A teal rounded square with a white wave, drawn pixel by pixel so the icon needs no image tools.
Usage: make_icon.py [OUTPUT]   (default: app_icon.ico beside this script)
"""
import math
import os
import struct
import sys

SIZES = (16, 32)
BACKGROUND = (0x2B, 0x9E, 0x8F)  # RGB
FOREGROUND = (0xFF, 0xFF, 0xFF)


def pixel(x, y, size):
    """RGBA of one pixel, y counted from the top."""
    u = (x + 0.5) / size
    v = (y + 0.5) / size
    radius = 0.2
    cx = min(max(u, radius), 1 - radius)
    cy = min(max(v, radius), 1 - radius)
    if math.hypot(u - cx, v - cy) > radius:
        return (0, 0, 0, 0)
    wave = 0.55 + 0.12 * math.sin(u * 2 * math.pi)
    if abs(v - wave) < 0.09 and 0.15 < u < 0.85:
        return FOREGROUND + (0xFF,)
    return BACKGROUND + (0xFF,)


def image(size):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA pixels, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = pixel(x, y, size)
            rows.append(struct.pack("<BBBB", b, g, r, a))
    mask_row_bytes = ((size + 31) // 32) * 4
    mask = bytes(mask_row_bytes * size)  # Alpha decides; the mask shows everything.
    return header + b"".join(rows) + mask


def icon():
    images = [image(size) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "app_icon.ico")
    path = sys.argv[1] if len(sys.argv) > 1 else default
    with open(path, "wb") as f:
        f.write(icon())


if __name__ == "__main__":
    main()
