#!/usr/bin/env python3
"""Draws the program's icon after the about box's 32 x 32 picture (windows/pictures/icon.bmp):
a teal-to-navy tile with a page on it, its corner folded, a red header marker "]" and a blue
footer marker ")" in front of its lines. One drawing on a 32-unit grid gives the scalable icon
(jp.qor.Morvex.svg) and the hicolor PNGs, rasterised here with exact coverage so that the small
sizes stay sharp. Rerun after changing the drawing and commit the results."""

import math
import os
import struct
import zlib

NAME = "jp.qor.Morvex"
SIZES = (16, 24, 32, 48, 64, 128, 256)
TOP, BOTTOM = (0x00, 0x80, 0xD0), (0x00, 0x00, 0x80)  # the tile's gradient, top left to bottom right
EDGE, PAPER, FOLD, LINE = (0x20, 0x20, 0x20), (0xFF, 0xFF, 0xFF), (0xC0, 0xC0, 0xC0), (0x90, 0x90, 0xA0)
RED, BLUE = (0xE0, 0x10, 0x10), (0x10, 0x30, 0xE0)


def rounded_square(x0, y0, x1, y1, r, steps=8):
    pts = []
    for cx, cy, a0 in ((x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0), (x0 + r, y1 - r, 90),
                       (x0 + r, y0 + r, 180)):
        for i in range(steps + 1):
            a = math.radians(a0 + 90 * i / steps)
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def stroke(points, width):
    """A polyline of the given width as one polygon per segment, with square joins."""
    polys = []
    h = width / 2
    for (xa, ya), (xb, yb) in zip(points, points[1:]):
        dx, dy = xb - xa, yb - ya
        n = math.hypot(dx, dy)
        ux, uy = dx / n * h, dy / n * h
        nx, ny = -uy, ux
        polys.append([(xa - ux + nx, ya - uy + ny), (xb + ux + nx, yb + uy + ny),
                      (xb + ux - nx, yb + uy - ny), (xa - ux - nx, ya - uy - ny)])
    return polys


def drawing():
    """(fill, polygon) pairs, back to front; fill "tile" is the gradient."""
    shapes = [("tile", rounded_square(1, 1, 31, 31, 3))]
    page = [(7, 3), (20, 3), (26, 9), (26, 29), (7, 29)]
    shapes.append((EDGE, page))
    shapes.append((PAPER, [(8, 4), (19.6, 4), (25, 9.4), (25, 28), (8, 28)]))
    shapes.append((EDGE, [(19, 3), (20, 3), (20, 9), (26, 9), (26, 10), (19, 10)]))
    shapes.append((FOLD, [(20, 4), (25, 9), (20, 9)]))
    for top, right in ((12, 23), (16, 23), (20, 23), (24, 23)):
        shapes.append((LINE, [(14, top), (right, top), (right, top + 1.2), (14, top + 1.2)]))
    shapes.append((LINE, [(14, 7), (18, 7), (18, 8.2), (14, 8.2)]))
    for poly in stroke([(9.5, 6.2), (11.6, 6.2), (11.6, 12.8), (9.5, 12.8)], 1.6):
        shapes.append((RED, poly))
    arc = [(9.4 + 2.4 * math.sin(math.pi * i / 8), 18.4 + 7.2 * i / 8) for i in range(9)]
    for poly in stroke(arc, 1.6):
        shapes.append((BLUE, poly))
    return shapes


def tile_colour(x, y):
    t = min(max((x + y - 2) / 60, 0), 1)
    return tuple(a + (b - a) * t for a, b in zip(TOP, BOTTOM))


def inside(poly, x, y):
    hit = False
    for (xa, ya), (xb, yb) in zip(poly, poly[1:] + poly[:1]):
        if (ya > y) != (yb > y) and x < xa + (y - ya) * (xb - xa) / (yb - ya):
            hit = not hit
    return hit


def render(size):
    scale = size / 32
    samples = 8 if size <= 64 else 4
    pixels = [[(0.0, 0.0, 0.0, 0.0)] * size for _ in range(size)]
    for fill, poly in drawing():
        pts = [(x * scale, y * scale) for x, y in poly]
        xs, ys = [p[0] for p in pts], [p[1] for p in pts]
        for py in range(max(0, int(min(ys))), min(size, math.ceil(max(ys)))):
            for px in range(max(0, int(min(xs))), min(size, math.ceil(max(xs)))):
                hits = sum(inside(pts, px + (i + 0.5) / samples, py + (j + 0.5) / samples)
                           for i in range(samples) for j in range(samples))
                if not hits:
                    continue
                a = hits / samples ** 2
                colour = tile_colour((px + 0.5) / scale, (py + 0.5) / scale) if fill == "tile" else fill
                r, g, b, old = pixels[py][px]
                out = a + old * (1 - a)
                mix = [(c * a + o * old * (1 - a)) / out for c, o in zip(colour, (r, g, b))]
                pixels[py][px] = (*mix, out)
    return pixels


def write_png(path, pixels):
    size = len(pixels)
    raw = b"".join(b"\0" + bytes(round(v) for p in row for v in (p[0], p[1], p[2], p[3] * 255))
                   for row in pixels)
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def write_svg(path):
    def hexc(c):
        return "#%02x%02x%02x" % c
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 32 32">',
           '<title>Morvex</title>',
           '<defs><linearGradient id="tile" gradientUnits="userSpaceOnUse" x1="1" y1="1" x2="31" y2="31">'
           '<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/></linearGradient></defs>'
           % (hexc(TOP), hexc(BOTTOM))]
    for fill, poly in drawing():
        d = "M" + " L".join("%.3g,%.3g" % p for p in poly) + " Z"
        paint = "url(#tile)" if fill == "tile" else hexc(fill)
        out.append('<path fill="%s" d="%s"/>' % (paint, d))
    out.append("</svg>")
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_svg(os.path.join(here, NAME + ".svg"))
    for size in SIZES:
        write_png(os.path.join(here, "%s-%d.png" % (NAME, size)), render(size))


if __name__ == "__main__":
    main()
