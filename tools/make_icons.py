#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files.

Usage: python3 tools/make_icons.py OUTPUT_DIR

Writes OUTPUT_DIR/remote64.ico (one 64 x 64 image, 24 bits per pixel) and
OUTPUT_DIR/remote_small.ico (32 x 32 and 16 x 16, 16 colours). The artwork
is a handheld remote: dark rounded body, red power button at the top right,
a navigation pad with a blue OK key and a grid of light keys.
Output is byte-for-byte the same on every run.
"""

import math
import os
import struct
import sys

# Colours (R, G, B). The same set serves as the 16-colour palette.
TRANSPARENT = (0, 0, 0)      # colour under the AND mask; must stay index 0
OUTLINE = (18, 20, 24)
BODY = (48, 53, 62)
BODY_LIGHT = (82, 89, 102)
BODY_DARK = (33, 36, 43)
RED = (218, 38, 38)
RED_LIGHT = (255, 128, 112)
RED_DARK = (140, 18, 18)
KEY = (214, 219, 227)
KEY_LIGHT = (250, 251, 253)
KEY_DARK = (148, 155, 168)
BLUE = (44, 116, 214)
BLUE_LIGHT = (120, 180, 250)
BLUE_DARK = (24, 66, 140)
GROOVE = (26, 28, 33)
SPARE = (128, 128, 128)      # unused; completes the 16 entries

PALETTE = [
    TRANSPARENT, OUTLINE, BODY, BODY_LIGHT, BODY_DARK, RED, RED_LIGHT,
    RED_DARK, KEY, KEY_LIGHT, KEY_DARK, BLUE, BLUE_LIGHT, BLUE_DARK,
    GROOVE, SPARE,
]

# ---------------------------------------------------------------------------
# 64 x 64: shapes with 4 x 4 supersampling inside the silhouette.


def rounded_rect_distance(px, py, x0, y0, x1, y1, radius):
    """Signed distance from a point to a rounded rectangle (negative inside)."""
    cx = (x0 + x1) / 2.0
    cy = (y0 + y1) / 2.0
    hx = (x1 - x0) / 2.0 - radius
    hy = (y1 - y0) / 2.0 - radius
    qx = abs(px - cx) - hx
    qy = abs(py - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    inside = min(max(qx, qy), 0.0)
    return outside + inside - radius


def circle_distance(px, py, cx, cy, radius):
    return math.hypot(px - cx, py - cy) - radius


def bevelled(distance_fn, px, py, base, light, dark, edge):
    """Colour of a raised part: lit along its top-left, shaded bottom-right."""
    if distance_fn(px - edge, py - edge) > 0.0:
        return light
    if distance_fn(px + edge, py + edge) > 0.0:
        return dark
    return base


BODY_BOX = (15.0, 1.0, 49.0, 63.0, 7.0)
POWER = (40.0, 9.5, 4.0)
NAV = (32.0, 23.5, 8.5)
OK_KEY = (32.0, 23.5, 3.8)
KEY_COLUMNS = (18.5, 28.5, 38.5)
KEY_ROWS = (36.0, 42.5, 49.0, 55.5)
KEY_WIDTH = 7.0
KEY_HEIGHT = 4.5


def sample_large(px, py):
    """Colour of the 64 x 64 artwork at one point, or None outside it."""
    def body(x, y):
        return rounded_rect_distance(x, y, *BODY_BOX)

    d = body(px, py)
    if d > 0.0:
        return None
    if d > -1.25:
        return OUTLINE

    def power(x, y):
        return circle_distance(x, y, *POWER)

    if power(px, py) <= 0.0:
        return bevelled(power, px, py, RED, RED_LIGHT, RED_DARK, 1.2)
    if power(px, py) <= 1.0:
        return GROOVE

    def ok_key(x, y):
        return circle_distance(x, y, *OK_KEY)

    def nav(x, y):
        return circle_distance(x, y, *NAV)

    if ok_key(px, py) <= 0.0:
        return bevelled(ok_key, px, py, BLUE, BLUE_LIGHT, BLUE_DARK, 1.0)
    if ok_key(px, py) <= 1.0:
        return GROOVE
    if nav(px, py) <= 0.0:
        return bevelled(nav, px, py, KEY, KEY_LIGHT, KEY_DARK, 1.2)
    if nav(px, py) <= 1.0:
        return GROOVE

    for top in KEY_ROWS:
        for left in KEY_COLUMNS:
            box = (left, top, left + KEY_WIDTH, top + KEY_HEIGHT, 1.5)

            def key(x, y, box=box):
                return rounded_rect_distance(x, y, *box)

            if key(px, py) <= 0.0:
                return bevelled(key, px, py, KEY, KEY_LIGHT, KEY_DARK, 1.0)
            if key(px, py) <= 0.8:
                return GROOVE

    return bevelled(body, px, py, BODY, BODY_LIGHT, BODY_DARK, 2.2)


def render_large(size=64, samples=4):
    """Returns rows of (R, G, B) or None (transparent), top row first."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            total = [0, 0, 0]
            count = 0
            for sy in range(samples):
                for sx in range(samples):
                    colour = sample_large(x + (sx + 0.5) / samples,
                                          y + (sy + 0.5) / samples)
                    if colour is not None:
                        count += 1
                        for i in range(3):
                            total[i] += colour[i]
            if count * 2 < samples * samples:
                row.append(None)
            else:
                row.append(tuple((t + count // 2) // count for t in total))
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------
# 32 x 32 and 16 x 16: pixel art in palette colours.

PIXEL_KEYS = {
    '.': None, 'k': OUTLINE, 'b': BODY, 'h': BODY_LIGHT, 's': BODY_DARK,
    'r': RED, 'R': RED_LIGHT, 'd': RED_DARK, 'w': KEY, 'W': KEY_LIGHT,
    'v': KEY_DARK, 'B': BLUE, 'L': BLUE_LIGHT, 'D': BLUE_DARK, 'g': GROOVE,
}

ART_32 = [
    "................................",
    "...........kkkkkkkkkkk..........",
    ".........kkhhhhhhhhhhhkk........",
    "........khhbbbbbbbgRRrgsk.......",
    "........khbbbbbbbbRRrrrsk.......",
    "........khbbbbbbbbRrrrdsk.......",
    "........khbbbbbbbbrrrddsk.......",
    "........khbbbbbbbbgdddgsk.......",
    "........khbbbbbbbbbbbbbsk.......",
    "........khbbbbgWWWgbbbbsk.......",
    "........khbbbgWWwwwgbbbsk.......",
    "........khbbbWWLBBwvbbbsk.......",
    "........khbbbWwBBBwvbbbsk.......",
    "........khbbbWwBBDwvbbbsk.......",
    "........khbbbgwwwvvgbbbsk.......",
    "........khbbbbgvvvgbbbbsk.......",
    "........khbbbbbbbbbbbbbsk.......",
    "........khbWWwbWWwbWWwbsk.......",
    "........khbwvvbwvvbwvvbsk.......",
    "........khbbbbbbbbbbbbbsk.......",
    "........khbWWwbWWwbWWwbsk.......",
    "........khbwvvbwvvbwvvbsk.......",
    "........khbbbbbbbbbbbbbsk.......",
    "........khbWWwbWWwbWWwbsk.......",
    "........khbwvvbwvvbwvvbsk.......",
    "........khbbbbbbbbbbbbbsk.......",
    "........khbWWwbWWwbWWwbsk.......",
    "........khbwvvbwvvbwvvbsk.......",
    "........khbbbbbbbbbbbbssk.......",
    ".........kkssssssssssskk........",
    "...........kkkkkkkkkkk..........",
    "................................",
]

ART_16 = [
    "................",
    ".....kkkkkkk....",
    "....khhhhhhhk...",
    "....kbbbbRrbk...",
    "....kbbbbrdbk...",
    "....kbbbWbbbk...",
    "....kbbWBwbbk...",
    "....kbbbvbbbk...",
    "....kbbbbbbbk...",
    "....kbWbWbWbk...",
    "....kbbbbbbbk...",
    "....kbWbWbWbk...",
    "....kbbbbbbbk...",
    "....kbWbWbWbk...",
    "....ksssssssk...",
    ".....kkkkkkk....",
]


def art_rows(art):
    size = len(art)
    rows = []
    for line in art:
        if len(line) != size:
            raise ValueError("pixel art row %r is not %d wide" % (line, size))
        rows.append([PIXEL_KEYS[c] for c in line])
    return rows


# ---------------------------------------------------------------------------
# ICO writing: BMP-format entries (BITMAPINFOHEADER, colour bits, AND mask).


def row_padding(byte_count):
    return (4 - byte_count % 4) % 4


def and_mask(rows):
    """1 bit per pixel, 1 = transparent; bottom row first, rows padded to 4 bytes."""
    size = len(rows[0])
    out = bytearray()
    for row in reversed(rows):
        bits = bytearray((size + 7) // 8)
        for x, colour in enumerate(row):
            if colour is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits + bytes(row_padding(len(bits)))
    return bytes(out)


def bitmap_header(width, height, bits, image_bytes, colours_used):
    # The height counts the colour bitmap and the AND mask together.
    return struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, bits, 0,
                       image_bytes, 0, 0, colours_used, 0)


def encode_24bpp(rows):
    size = len(rows)
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for colour in row:
            r, g, b = colour if colour is not None else TRANSPARENT
            line += bytes((b, g, r))
        pixels += line + bytes(row_padding(len(line)))
    mask = and_mask(rows)
    header = bitmap_header(size, size, 24, len(pixels) + len(mask), 0)
    return header + bytes(pixels) + mask


def encode_4bpp(rows):
    size = len(rows)
    palette = b''.join(bytes((b, g, r, 0)) for (r, g, b) in PALETTE)
    pixels = bytearray()
    for row in reversed(rows):
        indices = [PALETTE.index(c if c is not None else TRANSPARENT)
                   for c in row]
        line = bytearray()
        for i in range(0, size, 2):
            low = indices[i + 1] if i + 1 < size else 0
            line.append((indices[i] << 4) | low)
        pixels += line + bytes(row_padding(len(line)))
    mask = and_mask(rows)
    header = bitmap_header(size, size, 4, len(pixels) + len(mask), 16)
    return header + palette + bytes(pixels) + mask


def ico_file(images):
    """images: list of (size, colour count, bits per pixel, encoded entry)."""
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, colours, bits, data in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, colours, 0,
                           1, bits, len(data), offset)
        offset += len(data)
    for _, _, _, data in images:
        out += data
    return bytes(out)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_icons.py OUTPUT_DIR\n")
        return 2
    out_dir = argv[1]
    os.makedirs(out_dir, exist_ok=True)

    large = ico_file([(64, 0, 24, encode_24bpp(render_large()))])
    small = ico_file([
        (32, 16, 4, encode_4bpp(art_rows(ART_32))),
        (16, 16, 4, encode_4bpp(art_rows(ART_16))),
    ])
    for name, data in (("remote64.ico", large), ("remote_small.ico", small)):
        with open(os.path.join(out_dir, name), 'wb') as f:
            f.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
