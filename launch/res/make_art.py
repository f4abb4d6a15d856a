#!/usr/bin/env python3
"""Draws the launcher's bitmaps and its icon and writes them beside this script.

    python3 launch/res/make_art.py

The output files are checked in; run this again after changing the art.
Standard library only: BMP and ICO files are written by hand.

Every bitmap exists once per skin: skin 0 is light (black caption text),
skin 1 is dark (white caption text).  Resource ids are skin * 100 + base.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


# --- file writers -----------------------------------------------------------

def bmp24(path, pixels):
    """pixels: rows top to bottom of (r, g, b)."""
    h = len(pixels)
    w = len(pixels[0])
    stride = (w * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        body += line
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(body), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(head + info + body)


def bmp1(path, bits):
    """bits: rows top to bottom of 0/1; palette 0 = black, 1 = white."""
    h = len(bits)
    w = len(bits[0])
    stride = ((w + 31) // 32) * 4
    body = bytearray()
    for row in reversed(bits):
        line = bytearray(stride)
        for x, v in enumerate(row):
            if v:
                line[x // 8] |= 0x80 >> (x % 8)
        body += line
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 1, 0, len(body), 2835, 2835, 2, 2)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    offset = 14 + len(info) + len(palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + palette + body)


def ico(path, images):
    """images: list of (pixels, opaque) with pixels rows of (r, g, b) and
    opaque rows of booleans; each becomes a 24-bit image with an AND mask."""
    entries = bytearray()
    blobs = []
    offset = 6 + 16 * len(images)
    for pixels, opaque in images:
        h = len(pixels)
        w = len(pixels[0])
        stride = (w * 3 + 3) & ~3
        xor = bytearray()
        for row in reversed(pixels):
            line = bytearray()
            for r, g, b in row:
                line += bytes((b, g, r))
            line += b"\0" * (stride - len(line))
            xor += line
        mstride = ((w + 31) // 32) * 4
        andmask = bytearray()
        for row in reversed(opaque):
            line = bytearray(mstride)
            for x, o in enumerate(row):
                if not o:
                    line[x // 8] |= 0x80 >> (x % 8)
            andmask += line
        info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 24, 0, len(xor) + len(andmask), 0, 0, 0, 0)
        blob = info + bytes(xor) + bytes(andmask)
        entries += struct.pack("<BBBBHHII", w, h, 0, 0, 1, 24, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)) + entries + b"".join(blobs))


# --- drawing helpers --------------------------------------------------------

def canvas(w, h, colour):
    return [[colour for _ in range(w)] for _ in range(h)]


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def fill(img, x0, y0, x1, y1, colour):
    for y in range(max(y0, 0), min(y1, len(img))):
        for x in range(max(x0, 0), min(x1, len(img[0]))):
            img[y][x] = colour


def bevel(img, x0, y0, x1, y1, light, dark, width=1):
    """Raised edge: light top and left, dark bottom and right (swap for sunken)."""
    for i in range(width):
        for x in range(x0 + i, x1 - i):
            img[y0 + i][x] = light
            img[y1 - 1 - i][x] = dark
        for y in range(y0 + i, y1 - i):
            img[y][x0 + i] = light
            img[y][x1 - 1 - i] = dark
        img[y1 - 1 - i][x0 + i] = dark


def outline(img, x0, y0, x1, y1, colour):
    for x in range(x0, x1):
        img[y0][x] = colour
        img[y1 - 1][x] = colour
    for y in range(y0, y1):
        img[y][x0] = colour
        img[y][x1 - 1] = colour


def plot(img, points, colour, dx=0, dy=0):
    for x, y in points:
        img[y + dy][x + dx] = colour


# --- skins ------------------------------------------------------------------

SKINS = {
    0: dict(
        bar_top=(214, 226, 244), bar_bottom=(150, 172, 206),
        bar_idle_top=(228, 228, 228), bar_idle_bottom=(176, 176, 176),
        bar_line=(84, 104, 140), bar_idle_line=(120, 120, 120),
        tray=(196, 196, 196), emblem=(40, 70, 140), emblem_idle=(110, 110, 110),
        button_face=(212, 212, 212), button_pressed=(170, 170, 170),
        glyph=(24, 24, 24),
        cell_normal=(122, 140, 164),      # blue-grey
        cell_pressed=(250, 238, 170),     # pale yellow
        cell_hover=(246, 150, 40),        # orange
        cell_dark=(40, 48, 64),
        tile=[(28, 40, 92)],              # plain dark blue
    ),
    1: dict(
        bar_top=(116, 56, 48), bar_bottom=(60, 20, 20),
        bar_idle_top=(104, 104, 104), bar_idle_bottom=(52, 52, 52),
        bar_line=(24, 8, 8), bar_idle_line=(24, 24, 24),
        tray=(84, 40, 36), emblem=(250, 214, 120), emblem_idle=(180, 180, 180),
        button_face=(120, 72, 64), button_pressed=(72, 36, 32),
        glyph=(255, 244, 220),
        cell_normal=(246, 234, 176),      # pale yellow
        cell_pressed=(252, 252, 246),     # near white
        cell_hover=(255, 206, 170),       # light peach
        cell_dark=(120, 100, 70),
        tile=[(236, 232, 220), (236, 232, 220), (214, 222, 236)],  # light stripes
    ),
}


def title_bar(s, active):
    """174 x 18: the frame copies x 0-26 and 94-170 as they are and stretches
    27-93, so the middle must be the same in every column."""
    w, h = 174, 18
    top, bottom = (s["bar_top"], s["bar_bottom"]) if active else (s["bar_idle_top"], s["bar_idle_bottom"])
    line = s["bar_line"] if active else s["bar_idle_line"]
    img = [[mix(top, bottom, y / (h - 1)) for _ in range(w)] for y in range(h)]
    for x in range(w):
        img[h - 1][x] = line
    # Left end: an emblem of four small squares, the launcher's item grid.
    emblem = s["emblem"] if active else s["emblem_idle"]
    for gx, gy in ((0, 0), (1, 0), (0, 1), (1, 1)):
        x0, y0 = 8 + gx * 6, 3 + gy * 6
        fill(img, x0, y0, x0 + 5, y0 + 5, emblem)
    for y in range(2, h - 2):
        img[y][25] = line
    # Right end: a sunken tray that the four buttons sit in (frame x from
    # width - 74 to width - 4, that is bitmap x 100 to 170; x 171 and up
    # never reach the screen).
    fill(img, 98, 2, 171, h - 2, s["tray"])
    bevel(img, 98, 2, 171, h - 2, line, mix(s["tray"], (255, 255, 255), 0.5))
    return img


GLYPHS = {
    # 16 x 13 buttons; glyphs drawn in a 10 x 7 box at (3, 3).
    "close": [(x, x) for x in range(7)] + [(x + 1, x) for x in range(6)]
             + [(6 - x, x) for x in range(7)] + [(7 - x, x) for x in range(1, 7)],
    "minimize": [(x, 6) for x in range(1, 8)] + [(x, 5) for x in range(1, 8)],
    # Arrow to the right: the next group.
    "group": [(x, 3) for x in range(0, 6)] + [(5, 0), (6, 1), (7, 2), (8, 3), (7, 4), (6, 5), (5, 6),
                                             (5, 1), (6, 2), (7, 3), (6, 4), (5, 5), (5, 2), (6, 3), (5, 4)],
    # Two rows of cells: the all-groups view.
    "mode": [(x, y) for y in (0, 1, 2, 4, 5, 6) for x in (0, 1, 2, 4, 5, 6, 8, 9)],
}


def button(s, glyph, pressed):
    w, h = 16, 13
    face = s["button_pressed"] if pressed else s["button_face"]
    img = canvas(w, h, face)
    light = mix(face, (255, 255, 255), 0.7)
    dark = mix(face, (0, 0, 0), 0.6)
    outline(img, 0, 0, w, h, (0, 0, 0))
    if pressed:
        bevel(img, 1, 1, w - 1, h - 1, dark, light)
    else:
        bevel(img, 1, 1, w - 1, h - 1, light, dark)
    # A held button's glyph sinks one pixel down and right.
    shift = 1 if pressed else 0
    plot(img, GLYPHS[glyph], s["glyph"], 3 + shift, 3 + shift)
    return img


def cell(s, look):
    """48 x 48; the icon covers 8-39, so the looks show in the border band."""
    base = s["cell_" + look]
    img = [[mix(mix(base, (255, 255, 255), 0.35), base, y / 47) for _ in range(48)] for y in range(48)]
    outline(img, 0, 0, 48, 48, s["cell_dark"])
    light = mix(base, (255, 255, 255), 0.75)
    dark = mix(base, (0, 0, 0), 0.45)
    if look == "pressed":
        bevel(img, 1, 1, 47, 47, dark, light, 2)
        fill(img, 3, 3, 45, 45, base)
    elif look == "hover":
        bevel(img, 1, 1, 47, 47, light, dark, 2)
        outline(img, 5, 5, 43, 43, mix(base, (0, 0, 0), 0.25))
    else:
        bevel(img, 1, 1, 47, 47, light, dark, 1)
    return img


def tile(s):
    stripes = s["tile"]
    return [[stripes[(y // 5) % len(stripes)] for _ in range(10)] for y in range(30)]


def app_icon(size):
    img = canvas(size, size, (0, 0, 0))
    opaque = [[False] * size for _ in range(size)]
    k = size / 32
    r = int(4 * k)
    for y in range(size):
        for x in range(size):
            cx = min(max(x, r), size - 1 - r)
            cy = min(max(y, r), size - 1 - r)
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                opaque[y][x] = True
                img[y][x] = mix((64, 96, 168), (24, 40, 96), y / (size - 1))
    colours = [(246, 150, 40), (250, 238, 170), (122, 200, 140), (240, 240, 240)]
    for i, (gx, gy) in enumerate(((0, 0), (1, 0), (0, 1), (1, 1))):
        x0 = int((6 + gx * 11) * k)
        y0 = int((6 + gy * 11) * k)
        fill(img, x0, y0, x0 + int(9 * k), y0 + int(9 * k), colours[i])
    return img, opaque


def main():
    for skin, s in SKINS.items():
        base = skin * 100 + 20100
        out = lambda n: os.path.join(HERE, "bmp", "%d.bmp" % (base + n))
        bmp24(out(1), title_bar(s, True))
        bmp24(out(2), title_bar(s, False))
        for n, glyph in ((3, "close"), (5, "minimize"), (7, "group"), (9, "mode")):
            bmp24(out(n), button(s, glyph, False))
            bmp24(out(n + 1), button(s, glyph, True))
        bmp24(out(11), cell(s, "normal"))
        bmp24(out(12), cell(s, "pressed"))
        bmp24(out(13), cell(s, "hover"))
        # Every cell is fully opaque in both skins.
        bmp1(out(14), [[1] * 48 for _ in range(48)])
        bmp24(out(15), tile(s))
    ico(os.path.join(HERE, "launch.ico"), [app_icon(32), app_icon(16)])


if __name__ == "__main__":
    os.makedirs(os.path.join(HERE, "bmp"), exist_ok=True)
    main()
