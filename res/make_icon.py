#!/usr/bin/env python3
"""Draws Corvane's icon, a crow on a shield, as a 16-colour .ico.

Writes corvane.ico (16x16 and 32x32, 4 bits per pixel) beside this script,
or to the path given as the only argument. Standard library only; the same
every run writes the same bytes.
"""

import struct
import sys
from pathlib import Path

# The 16 colours of the classic Windows palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, YELLOW, BLUE, WHITE = 0, 4, 11, 12, 15
TRANSPARENT = None
SUPERSAMPLE = 4


def shield_half_width(y):
    """Half the shield's width at height y (0 top, 1 bottom), or None outside."""
    if y < 0.0 or y > 1.0:
        return None
    if y < 0.5:
        return 0.45
    # Below the middle the sides curve in to the point.
    t = (y - 0.5) / 0.5
    return 0.45 * (1.0 - t * t) ** 0.5


def in_shield(x, y, inset=0.0):
    half = shield_half_width((y - inset) / (1.0 - 2.0 * inset) if inset else y)
    return half is not None and abs(x - 0.5) <= half - inset


def in_ellipse(x, y, cx, cy, rx, ry):
    return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def in_polygon(x, y, points):
    inside = False
    for (x1, y1), (x2, y2) in zip(points, points[1:] + points[:1]):
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside


def in_crow(x, y):
    """A crow standing in profile, facing left."""
    body = in_ellipse(x, y, 0.53, 0.55, 0.20, 0.13)
    head = in_ellipse(x, y, 0.36, 0.36, 0.10, 0.09)
    neck = in_polygon(x, y, [(0.32, 0.40), (0.45, 0.34), (0.58, 0.45), (0.40, 0.50)])
    beak = in_polygon(x, y, [(0.29, 0.31), (0.11, 0.38), (0.29, 0.42)])
    tail = in_polygon(x, y, [(0.65, 0.50), (0.84, 0.62), (0.80, 0.68), (0.62, 0.62)])
    legs = (0.60 <= y <= 0.80) and (abs(x - 0.47) <= 0.02 or abs(x - 0.57) <= 0.02)
    return body or head or neck or beak or tail or legs


def in_eye(x, y):
    return in_ellipse(x, y, 0.34, 0.34, 0.03, 0.03)


def colour_at(x, y):
    """The palette index at a point of the unit square, or TRANSPARENT."""
    if not in_shield(x, y):
        return TRANSPARENT
    if not in_shield(x, y, inset=0.07):
        return NAVY
    if in_eye(x, y):
        return YELLOW
    if in_crow(x, y):
        return BLACK
    return BLUE if x < 0.5 else WHITE


def render(size):
    """Rows of palette indices (TRANSPARENT where the icon is clear), top row first."""
    rows = []
    for row in range(size):
        pixels = []
        for col in range(size):
            votes = {}
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = (col + (sx + 0.5) / SUPERSAMPLE) / size
                    y = (row + (sy + 0.5) / SUPERSAMPLE) / size
                    c = colour_at(x, y)
                    votes[c] = votes.get(c, 0) + 1
            # Most samples win; ties go to the lower index, clear counting last.
            pixels.append(max(votes, key=lambda c: (votes[c], -(c if c is not None else 99))))
        rows.append(pixels)
    return rows


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def image_bytes(size):
    """One icon image: BITMAPINFOHEADER, palette, colour bits and mask, bottom row first."""
    rows = render(size)
    colour_rows, mask_rows = [], []
    for pixels in reversed(rows):
        indices = [0 if c is TRANSPARENT else c for c in pixels]
        colour_rows.append(padded(bytes(
            (indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))))
        clear = [1 if c is TRANSPARENT else 0 for c in pixels]
        mask_rows.append(padded(bytes(
            sum(bit << (7 - i) for i, bit in enumerate(clear[j:j + 8]))
            for j in range(0, size, 8))))
    bits = b"".join(colour_rows) + b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0, len(bits), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bits


def icon_file(sizes):
    images = [image_bytes(size) for size in sizes]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, image in zip(sizes, images):
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return directory + entries + b"".join(images)


def main():
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("corvane.ico")
    target.write_bytes(icon_file([16, 32]))


if __name__ == "__main__":
    main()
