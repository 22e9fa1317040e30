#!/usr/bin/env python3
"""Draws the list viewer's 16 x 16 tool-button pictures as PNG files beside this script, and the
greyed copies of the edit, font and editor pictures for the disabled state, each also at twice
the size ("@2x", for a display scale of 2) so that no picture is blurred by scaling. Rerun after
changing a drawing and commit the results."""

import os
import struct
import zlib

COLOURS = {
    ".": None,
    "k": (0, 0, 0),
    "w": (255, 255, 255),
    "g": (128, 128, 128),
    "s": (192, 192, 192),
    "y": (255, 255, 0),
    "d": (128, 128, 0),
    "o": (255, 204, 153),
    "b": (0, 0, 255),
    "n": (0, 0, 128),
    "c": (0, 128, 255),
    "r": (255, 0, 0),
}

# A spiral notepad with a hand writing on it with a pencil.
LISTEDIT = [
    "..k.k.k.k.k.....",
    ".kgkgkgkgkgk....",
    ".kwwwwwwwwwk....",
    ".kwnnnnnnwwk....",
    ".kwwwwwwwwwk..k.",
    ".kwnnnnnwwwk.kyk",
    ".kwwwwwwwwwkkyyk",
    ".kwnnnnnnwkyyyk.",
    ".kwwwwwwwkyyyk..",
    ".kwnnnwwkyyykoo.",
    ".kwwwwwwkdykoook",
    ".kwwwwwkdkkooook",
    ".kwwwwwwkooookok",
    ".kwwwwwwkoooookk",
    ".kkkkkkkkkoookk.",
    "..........kkk...",
]

# Two blue arrows turning in a circle on a page.
RELOAD = [
    ".kkkkkkkkkk.....",
    ".kwwwwwwwwkk....",
    ".kwwwwwwwwkwk...",
    ".kwwwbbbbwkkkk..",
    ".kwwbbwwbbbwwk..",
    ".kwbbwwwwbbbwk..",
    ".kwbwwwwbbbbbk..",
    ".kwbwwwwwwwwwk..",
    ".kwwwwwwwwwbwk..",
    ".kbbbbbwwwwbwk..",
    ".kwbbbwwwwbbwk..",
    ".kwbbbbwwbbwwk..",
    ".kwwwbbbbbwwwk..",
    ".kwwwwwwwwwwwk..",
    ".kkkkkkkkkkkkk..",
    "................",
]

# A black serif capital A.
FONT = [
    "................",
    "................",
    ".......k........",
    "......kkk.......",
    "......kkk.......",
    ".....k.kkk......",
    ".....k.kkk......",
    "....k...kkk.....",
    "....kkkkkkk.....",
    "...k.....kkk....",
    "...k.....kkk....",
    "..k.......kkk...",
    ".kkkk...kkkkkk..",
    "................",
    "................",
    "................",
]

# A spiral notepad with ruled lines.
EDITOR = [
    "..k.k.k.k.k.k...",
    ".kgkgkgkgkgkgk..",
    ".kwwwwwwwwwwwk..",
    ".kwwwwwwwwwwwk..",
    ".kwcccccccccwk..",
    ".kwwwwwwwwwwwk..",
    ".kwcccccccccwk..",
    ".kwwwwwwwwwwwk..",
    ".kwcccccccccwk..",
    ".kwwwwwwwwwwwk..",
    ".kwcccccccccwk..",
    ".kwwwwwwwwwwwk..",
    ".kwcccccccccwk..",
    ".kwwwwwwwwwwwk..",
    ".kkkkkkkkkkkkk..",
    "................",
]


def pixels(drawing):
    assert len(drawing) == 16 and all(len(row) == 16 for row in drawing), drawing
    return [[COLOURS[c] for c in row] for row in drawing]


def greyed(px):
    """The disabled look of the designed toolkit: every dark pixel in the shadow grey, with a
    white highlight one pixel down and right where nothing dark covers it."""
    dark = [[p is not None and sum(p) < 3 * 192 for p in row] for row in px]
    out = [[None] * 16 for _ in range(16)]
    for y in range(16):
        for x in range(16):
            if dark[y][x] and x + 1 < 16 and y + 1 < 16 and not dark[y + 1][x + 1]:
                out[y + 1][x + 1] = (255, 255, 255)
    for y in range(16):
        for x in range(16):
            if dark[y][x]:
                out[y][x] = (128, 128, 128)
    return out


def doubled(px):
    """Twice the size, each pixel becoming four (Scale2x: where two neighbours agree, the
    corner takes their colour), so that diagonals stay smooth and every edge stays sharp."""
    size = len(px)
    out = [[None] * (2 * size) for _ in range(2 * size)]
    for y in range(size):
        for x in range(size):
            p = px[y][x]
            a = px[y - 1][x] if y > 0 else p
            b = px[y][x + 1] if x + 1 < size else p
            c = px[y][x - 1] if x > 0 else p
            d = px[y + 1][x] if y + 1 < size else p
            if c == a and c != d and a != b:
                out[2 * y][2 * x] = a
            else:
                out[2 * y][2 * x] = p
            out[2 * y][2 * x + 1] = b if (a == b and a != c and b != d) else p
            out[2 * y + 1][2 * x] = c if (d == c and d != b and c != a) else p
            out[2 * y + 1][2 * x + 1] = d if (b == d and b != a and d != c) else p
    return out


def write_png(path, px):
    raw = bytearray()
    for row in px:
        raw.append(0)
        for p in row:
            raw += bytes((0, 0, 0, 0)) if p is None else bytes((*p, 255))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", len(px[0]), len(px), 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, drawing, grey in (("listedit", LISTEDIT, True), ("reload", RELOAD, False),
                                ("font", FONT, True), ("editor", EDITOR, True)):
        px = pixels(drawing)
        pictures = [(name, px)]
        if grey:
            pictures.append((name + "-grey", greyed(px)))
        for base, picture in pictures:
            write_png(os.path.join(here, base + ".png"), picture)
            write_png(os.path.join(here, base + "@2x.png"), doubled(picture))


if __name__ == "__main__":
    main()
