#!/usr/bin/env python3
"""Draws the updater's icon and writes update.ico beside this script.

    python3 update/res/make_icon.py

The output is checked in; run this again after changing the art. Two images,
32x32 and 16x16, each with the 16 colours of the standard palette: a blue box
with a green arrow pointing down into it. Standard library only.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The 16-colour palette, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_BLUE, GREY, GREEN, BLUE, WHITE = 0, 4, 8, 10, 12, 15
CLEAR = None


def draw(size):
    """Rows of palette indices, None where transparent."""
    s = size / 32.0
    img = [[CLEAR] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                img[y][x] = colour

    # The box: a dark outline, a blue front and a white label.
    rect(3, 14, 29, 30, BLACK)
    rect(4, 15, 28, 29, BLUE)
    rect(4, 15, 28, 17, DARK_BLUE)
    rect(10, 20, 22, 25, WHITE)
    # The arrow: a shaft and a head narrowing row by row into the box.
    rect(13, 1, 19, 10, BLACK)
    rect(14, 2, 18, 10, GREEN)
    for row in range(7):
        half = 7 - row
        rect(16 - half - 1, 9 + row, 16 + half + 1, 10 + row, BLACK)
        rect(16 - half, 9 + row, 16 + half, 10 + row, GREEN)
    return img


def image_blob(img):
    size = len(img)
    stride = ((size * 4 + 31) // 32) * 4
    xor = bytearray()
    for row in reversed(img):
        line = bytearray(stride)
        for x, colour in enumerate(row):
            index = 0 if colour is None else colour
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += line
    mstride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(img):
        line = bytearray(mstride)
        for x, colour in enumerate(row):
            if colour is None:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    return info + palette + bytes(xor) + bytes(mask)


def main():
    images = [draw(32), draw(16)]
    blobs = [image_blob(img) for img in images]
    entries = bytearray()
    offset = 6 + 16 * len(blobs)
    for img, blob in zip(images, blobs):
        size = len(img)
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    with open(os.path.join(HERE, "update.ico"), "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(blobs)) + entries + b"".join(blobs))


if __name__ == "__main__":
    main()
