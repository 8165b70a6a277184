#!/usr/bin/env python3
"""Draws Gleanwell's program icon (resource 128) at 16, 32 and 48 pixels.

The picture: a rounded blue tile, light at the top right, with a white
archive box on it whose lid carries a zipper, so the icon reads as "pack it
up" at every size. Each size is rendered from the same vector description with
4x4 supersampling, so the small sizes stay smooth rather than being scaled
bitmaps. Output is a standard .ico with 32-bit BGRA images and their AND masks.

Usage: python3 make_icon.py [OUTPUT]   (default: Gleanwell.ico beside this file)
"""

import os
import struct
import sys

SIZES = (16, 32, 48)
SUPERSAMPLE = 4

TILE_DARK = (0x1E, 0x5A, 0x9C)
TILE_LIGHT = (0x6F, 0xB2, 0xEA)
BOX_FACE = (0xFA, 0xFB, 0xFD)
BOX_SHADE = (0xC9, 0xD8, 0xE8)
LID = (0xE4, 0xEC, 0xF5)
ZIPPER = (0x2B, 0x3A, 0x4A)
OUTLINE = (0x12, 0x33, 0x5A)


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def sample(x, y):
    """Colour and coverage of the icon at (x, y) in unit coordinates (0..1)."""
    if not in_rounded_rect(x, y, 0.02, 0.02, 0.98, 0.98, 0.2):
        return None
    # The tile: a diagonal gradient, darkest at the bottom left.
    colour = mix(TILE_DARK, TILE_LIGHT, max(0.0, min(1.0, (x + (1 - y)) / 2)))

    # The box body with a thin outline, its right third in shade.
    if in_rounded_rect(x, y, 0.18, 0.40, 0.82, 0.86, 0.05):
        inner = in_rounded_rect(x, y, 0.215, 0.435, 0.785, 0.825, 0.03)
        if not inner:
            return OUTLINE
        colour = BOX_SHADE if x > 0.62 else BOX_FACE
        # A label slot on the front.
        if 0.38 <= x <= 0.62 and 0.55 <= y <= 0.62:
            colour = OUTLINE
        return colour

    # The lid, a little wider than the box, with the zipper across it.
    if in_rounded_rect(x, y, 0.13, 0.24, 0.87, 0.42, 0.05):
        inner = in_rounded_rect(x, y, 0.165, 0.275, 0.835, 0.385, 0.03)
        if not inner:
            return OUTLINE
        if 0.31 <= y <= 0.35:
            teeth = int((x - 0.165) / 0.06) % 2 == 0
            return ZIPPER if teeth else LID
        # The pull tab at the right end of the zipper.
        if 0.66 <= x <= 0.74 and 0.29 <= y <= 0.37:
            return ZIPPER
        return LID
    return colour


def render(size):
    """Returns rows of (b, g, r, a) tuples, top row first."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            total = [0.0, 0.0, 0.0]
            hits = 0
            for sy in range(n):
                for sx in range(n):
                    c = sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            total[i] += c[i]
            if hits == 0:
                row.append((0, 0, 0, 0))
                continue
            r, g, b = (int(round(total[i] / hits)) for i in range(3))
            alpha = int(round(255 * hits / (n * n)))
            row.append((b, g, r, alpha))
        rows.append(row)
    return rows


def bmp_image(size):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA pixels, AND mask."""
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for b, g, r, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(pixels) + bytes(mask)


def ico(sizes):
    images = [bmp_image(s) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "Gleanwell.ico")
    with open(target, "wb") as f:
        f.write(ico(SIZES))


if __name__ == "__main__":
    main()
