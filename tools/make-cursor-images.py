#!/usr/bin/env python3
"""Draws the cursor decorations as PNG files with alpha: resources/images/101.png ... 136.png.

Three families of twelve, each laid out as four colours by three sizes, so that
id = first + 3 * colour + size (the style pickers show colours in columns, sizes in rows):
  101-112  pointer arrows; the tip sits on the image's centre pixel, because every image is
           drawn centred on the cursor
  113-124  apertures shown while the left button is pressed (rings)
  125-136  apertures shown while the mouse is idle (translucent discs with a rim)

Standard library only. Usage: tools/make-cursor-images.py [output-folder]
"""

import math
import os
import struct
import sys
import zlib

SUPERSAMPLE = 4  # per axis: 16 samples per pixel give smooth edges


def write_png(path, width, height, rgba):
    """rgba: bytes of width*height*4, rows top-down, non-premultiplied."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = bytearray()
    stride = width * 4
    for y in range(height):
        raw.append(0)  # filter: none
        raw += rgba[y * stride:(y + 1) * stride]
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def render(width, height, shade):
    """shade(x, y) -> (r, g, b, a) with components 0..1 at a sample point, or None.
    Returns the pixels with the samples averaged: alpha is the mean coverage, colour the
    alpha-weighted mean, so edges blend as the artwork intends."""
    out = bytearray(width * height * 4)
    n = SUPERSAMPLE
    for py in range(height):
        for px in range(width):
            r = g = b = a = 0.0
            for sy in range(n):
                for sx in range(n):
                    s = shade(px + (sx + 0.5) / n, py + (sy + 0.5) / n)
                    if s is not None:
                        r += s[0] * s[3]
                        g += s[1] * s[3]
                        b += s[2] * s[3]
                        a += s[3]
            i = (py * width + px) * 4
            if a > 0:
                out[i] = round(255 * r / a)
                out[i + 1] = round(255 * g / a)
                out[i + 2] = round(255 * b / a)
                out[i + 3] = round(255 * a / (n * n))
    return out


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def inside_polygon(px, py, pts):
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def signed_distance(px, py, pts):
    d = min(segment_distance(px, py, *pts[i - 1], *pts[i]) for i in range(len(pts)))
    return -d if inside_polygon(px, py, pts) else d


# The classic arrow, tip at (0, 0), one unit high.
ARROW = [(0.0, 0.0), (0.0, 0.80), (0.19, 0.63), (0.33, 0.95), (0.46, 0.90), (0.32, 0.58),
         (0.57, 0.58)]

# fill, outline (r, g, b) for the four pointer colours
POINTER_COLOURS = [
    ((1.0, 1.0, 1.0), (0.0, 0.0, 0.0)),     # white, black rim
    ((0.08, 0.08, 0.08), (1.0, 1.0, 1.0)),  # black, white rim
    ((0.93, 0.20, 0.16), (1.0, 1.0, 1.0)),  # red, white rim
    ((0.13, 0.45, 0.95), (1.0, 1.0, 1.0)),  # blue, white rim
]
POINTER_HEIGHTS = [18, 24, 32]


def pointer(colour, size):
    height = POINTER_HEIGHTS[size]
    half = height + 2  # room for the rim and the soft shadow below-right of the tip
    w = h = 2 * half
    fill, rim = POINTER_COLOURS[colour]
    stroke = 1.0 + 0.25 * size
    # The tip is at the top-left corner of the centre pixel (half, half).
    pts = [(half + x * height, half + y * height) for x, y in ARROW]
    shadow = [(x + 1.5, y + 1.5) for x, y in pts]

    def shade(x, y):
        d = signed_distance(x, y, pts)
        if d <= -stroke:
            return (*fill, 1.0)
        if d <= 0.5:
            return (*rim, 1.0)
        if signed_distance(x, y, shadow) <= 0.0:
            return (0.0, 0.0, 0.0, 0.30)
        return None

    return w, h, render(w, h, shade)


IDLE_COLOURS = [(1.0, 0.84, 0.0), (0.95, 0.26, 0.21), (0.13, 0.59, 0.95), (0.30, 0.69, 0.31)]
PRESS_COLOURS = [(0.95, 0.26, 0.21), (1.0, 0.60, 0.0), (0.40, 0.23, 0.72), (0.0, 0.74, 0.83)]
APERTURE_DIAMETERS = [37, 49, 65]  # odd, so the centre is one pixel


def idle_aperture(colour, size):
    d = APERTURE_DIAMETERS[size]
    c = d / 2.0
    radius = c - 0.5
    rim = 2.0 + size
    rgb = IDLE_COLOURS[colour]

    def shade(x, y):
        r = math.hypot(x - c, y - c)
        if r > radius:
            return None
        if r > radius - rim:
            return (*rgb, 0.85)
        return (*rgb, 0.35)

    return d, d, render(d, d, shade)


def press_aperture(colour, size):
    d = APERTURE_DIAMETERS[size]
    c = d / 2.0
    outer = c - 0.5
    width = 3.0 + size
    inner_ring = outer * 0.45
    rgb = PRESS_COLOURS[colour]

    def shade(x, y):
        r = math.hypot(x - c, y - c)
        if outer - width < r <= outer:
            return (*rgb, 0.95)
        if r <= inner_ring and r > inner_ring - 2.0:
            return (*rgb, 0.6)
        if r <= outer - width:
            return (*rgb, 0.12)
        return None

    return d, d, render(d, d, shade)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources",
                                                                "images")
    os.makedirs(folder, exist_ok=True)
    families = [(101, pointer), (113, press_aperture), (125, idle_aperture)]
    for first, draw in families:
        for colour in range(4):
            for size in range(3):
                w, h, pixels = draw(colour, size)
                write_png(os.path.join(folder, "%d.png" % (first + 3 * colour + size)), w, h,
                          pixels)


if __name__ == "__main__":
    main()
