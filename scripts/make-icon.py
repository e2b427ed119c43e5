#!/usr/bin/env python3
"""Writes the program icon app/res/VlxMini.ico (16x16 and 32x32, 32-bit colour).

The picture is drawn here: a dark rounded tile with a green "V" and a small bar
underneath. Run it again after changing the drawing; the output is deterministic.
"""
import os
import struct
import sys


def pixel(size, x, y):
    """RGBA colour of pixel (x, y), y counted from the top."""
    u = (x + 0.5) / size
    v = (y + 0.5) / size
    # Rounded tile: corners of radius 0.18 are transparent.
    r = 0.18
    cx = min(max(u, r), 1 - r)
    cy = min(max(v, r), 1 - r)
    if (u - cx) ** 2 + (v - cy) ** 2 > r * r:
        return (0, 0, 0, 0)
    # A "V": two strokes from the top corners meeting at the bottom middle.
    def dist_to_segment(px, py, ax, ay, bx, by):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
        qx, qy = ax + t * dx, ay + t * dy
        return ((px - qx) ** 2 + (py - qy) ** 2) ** 0.5
    d = min(dist_to_segment(u, v, 0.22, 0.20, 0.50, 0.70),
            dist_to_segment(u, v, 0.78, 0.20, 0.50, 0.70))
    if d < 0.085:
        return (0x3C, 0xE0, 0x6E, 0xFF)
    if 0.78 <= v <= 0.85 and 0.30 <= u <= 0.70:
        return (0x3C, 0xE0, 0x6E, 0xFF)
    # Tile: a vertical gradient from dark blue-grey to near black.
    shade = int(0x30 - 0x18 * v)
    return (shade, shade + 4, shade + 16, 0xFF)


def image(size):
    """One icon image: BITMAPINFOHEADER, BGRA rows bottom-up, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    mask_rows = []
    mask_stride = ((size + 31) // 32) * 4
    for y in reversed(range(size)):
        row = bytearray()
        mask = bytearray(mask_stride)
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            row += bytes((b, g, r, a))
            if a == 0:
                mask[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(row))
        mask_rows.append(bytes(mask))
    return header + b"".join(rows) + b"".join(mask_rows)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "app", "res", "VlxMini.ico")
    sizes = [16, 32]
    images = [image(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
