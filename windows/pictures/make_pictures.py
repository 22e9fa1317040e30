#!/usr/bin/env python3
"""Draws the about box's pictures: the 145 x 25 logo and its 290 x 50 copy for a display scale
of 2 (16 colours, the top-left pixel carries the
colour that is shown transparent) and the 32 x 32 icon (256 colours). Writes logo.bmp,
logo@2x.bmp and icon.bmp beside this script; rerun after changing the drawing and commit the results."""

import os
import struct

VGA16 = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, NAVY, SILVER, GRAY, RED, YELLOW, BLUE, KEY, WHITE = 0, 1, 4, 7, 8, 9, 11, 12, 13, 15

GLYPHS = {
    "M": ["X...X", "XX.XX", "X.X.X", "X.X.X", "X...X", "X...X", "X...X"],
    "o": [".....", ".....", ".XXX.", "X...X", "X...X", "X...X", ".XXX."],
    "r": [".....", ".....", "X.XX.", "XX..X", "X....", "X....", "X...."],
    "v": [".....", ".....", "X...X", "X...X", "X...X", ".X.X.", "..X.."],
    "e": [".....", ".....", ".XXX.", "X...X", "XXXXX", "X....", ".XXXX"],
    "x": [".....", ".....", "X...X", ".X.X.", "..X..", ".X.X.", "X...X"],
}


def write_bmp(path, width, height, bits, palette, pixels):
    """pixels[y][x] holds palette indices, row 0 at the top."""
    row_bytes = ((width * bits + 31) // 32) * 4
    data = bytearray()
    for y in reversed(range(height)):
        row = bytearray(row_bytes)
        for x in range(width):
            v = pixels[y][x]
            if bits == 8:
                row[x] = v
            else:
                row[x // 2] |= v << (4 if x % 2 == 0 else 0)
        data += row
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + 40 + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 3780, 3780,
                       len(palette), 0)
    with open(path, "wb") as f:
        f.write(header + info + pal + data)


def logo(k=1):
    """The logo at k times its size: the emblem's edge and the letters' corners drawn finer at
    k = 2 (for a display scale of 2), the colours the same."""
    w, h = 145 * k, 25 * k
    px = [[KEY] * w for _ in range(h)]
    # Emblem: a round button with a bracket, the program's two markers in one.
    cx, cy, r = 13.5 * k, 12.0 * k, 10.5 * k
    for y in range(h):
        for x in range(w):
            d = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
            if d <= r - 1.5 * k:
                px[y][x] = YELLOW if (x + y) < cx + cy - 2 * k else RED
            elif d <= r:
                px[y][x] = MAROON
    for y in range(6 * k, 19 * k):
        for x in range(15 * k, 17 * k):
            px[y][x] = WHITE
    for x in range(10 * k, 17 * k):
        for dy in range(k):
            px[6 * k + dy][x] = px[18 * k + dy][x] = WHITE
    # The name, three pixels per glyph dot, with a grey drop shadow.
    left, top, scale = 34 * k, 1 * k, 3 * k
    for layer, dx, dy in (("shadow", 2 * k, 2 * k), ("face", 0, 0)):
        for i, ch in enumerate("Morvex"):
            glyph = GLYPHS[ch]

            def dot(gx, gy):
                return 0 <= gy < len(glyph) and 0 <= gx < len(glyph[gy]) and glyph[gy][gx] == "X"

            for gy, line in enumerate(glyph):
                for gx, c in enumerate(line):
                    if c != "X":
                        continue
                    for sy in range(scale):
                        for sx in range(scale):
                            # At k = 2 a dot's free outer corner pixel is left out: rounder
                            # letters instead of doubled squares.
                            if k > 1:
                                ex = -1 if sx == 0 else (1 if sx == scale - 1 else 0)
                                ey = -1 if sy == 0 else (1 if sy == scale - 1 else 0)
                                if ex and ey and not dot(gx + ex, gy) and not dot(gx, gy + ey) \
                                        and not dot(gx + ex, gy + ey):
                                    continue
                            x = left + i * 18 * k + gx * scale + sx + dx
                            y = top + gy * scale + sy + dy
                            if layer == "shadow":
                                px[y][x] = GRAY
                            else:
                                px[y][x] = BLUE if gy < 4 else NAVY
    assert px[0][0] == KEY
    return w, h, px


def icon():
    pal = [(0, 0, 0)] * 256
    # 0-31: a teal-to-navy ramp for the tile; then the page and marker colours.
    for i in range(32):
        t = i / 31
        pal[i] = (0, int(0x80 * (1 - t)), int(0x80 + 0x50 * (1 - t)))
    WHITE_I, SHADE_I, LINE_I, EDGE_I, RED_I, BLUE_I = 32, 33, 34, 35, 36, 37
    pal[WHITE_I] = (0xFF, 0xFF, 0xFF)
    pal[SHADE_I] = (0xC0, 0xC0, 0xC0)
    pal[LINE_I] = (0x90, 0x90, 0xA0)
    pal[EDGE_I] = (0x20, 0x20, 0x20)
    pal[RED_I] = (0xE0, 0x10, 0x10)
    pal[BLUE_I] = (0x10, 0x30, 0xE0)
    px = [[(x + y) // 2 for x in range(32)] for y in range(32)]
    l, t, r, b, fold = 7, 3, 25, 28, 6
    for y in range(t, b + 1):
        for x in range(l, r + 1):
            if x - (r - fold) > y - t:
                continue  # cut corner
            edge = x in (l, r) or y in (t, b) or x - (r - fold) == y - t
            px[y][x] = EDGE_I if edge else WHITE_I
    for y in range(t + 1, t + fold + 1):
        for x in range(r - fold, r - fold + (y - t) + 1):
            px[y][x] = SHADE_I if y < t + fold else EDGE_I
        px[y][r - fold] = EDGE_I
    for row in (9, 13, 17, 21, 25):
        for x in range(l + 7, r - 2):
            px[row][x] = LINE_I
    for y in range(8, 12):
        px[y][l + 3] = RED_I
    px[8][l + 2] = px[11][l + 2] = RED_I
    for y in range(20, 24):
        px[y][l + 3] = BLUE_I
    px[19][l + 2] = px[24][l + 2] = BLUE_I
    return 32, 32, px, pal


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    w, h, px = logo()
    write_bmp(os.path.join(here, "logo.bmp"), w, h, 4, VGA16, px)
    w, h, px = logo(2)
    write_bmp(os.path.join(here, "logo@2x.bmp"), w, h, 4, VGA16, px)
    w, h, px, pal = icon()
    write_bmp(os.path.join(here, "icon.bmp"), w, h, 8, pal, px)


if __name__ == "__main__":
    main()
