#!/usr/bin/env python3
"""Draws the program's images into resources/img/ (standard library only).

Every shape is a signed distance field sampled once per pixel; the distance
gives the pixel's coverage, which makes the edges smooth at any size.
Run it again after changing a drawing: ./scripts/draw-images.py
With --icons DIR it draws only the application icon, at the sizes of the
desktop's icon theme, as DIR/<size>.png (the build does this for installing).
"""

import math
import os
import struct
import sys
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "img")


# --- canvas and PNG ----------------------------------------------------------

class Canvas:
    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(width * height)]  # premultiplied

    def fill(self, sdf, paint, bbox=None):
        """Composites `paint(x, y) -> (r, g, b, a)` over the canvas where the
        distance `sdf(x, y)` (in pixels, negative inside) says the shape is."""
        x0, y0, x1, y1 = bbox or (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0)), max(0, int(y0))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        for y in range(y0, y1):
            for x in range(x0, x1):
                cx, cy = x + 0.5, y + 0.5
                coverage = min(1.0, max(0.0, 0.5 - sdf(cx, cy)))
                if coverage <= 0.0:
                    continue
                r, g, b, a = paint(cx, cy)
                a *= coverage
                dst = self.px[y * self.w + x]
                keep = 1.0 - a
                dst[0] = r * a + dst[0] * keep
                dst[1] = g * a + dst[1] * keep
                dst[2] = b * a + dst[2] * keep
                dst[3] = a + dst[3] * keep

    def save(self, name):
        rows = []
        for y in range(self.h):
            row = bytearray([0])  # filter: none
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if a > 0:
                    r, g, b = r / a, g / a, b / a
                row += bytes(min(255, max(0, round(v * 255))) for v in (r, g, b, a))
            rows.append(bytes(row))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        png = (b"\x89PNG\r\n\x1a\n"
               + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
               + chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
               + chunk(b"IEND", b""))
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(png)


# --- shapes (signed distances) and paints ------------------------------------

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, half_width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - half_width


def rounded_box(cx, cy, half_w, half_h, radius):
    def sdf(x, y):
        qx = abs(x - cx) - half_w + radius
        qy = abs(y - cy) - half_h + radius
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return sdf


def capsule(ax, ay, bx, by, r):
    def sdf(x, y):
        px, py, dx, dy = x - ax, y - ay, bx - ax, by - ay
        t = max(0.0, min(1.0, (px * dx + py * dy) / (dx * dx + dy * dy)))
        return math.hypot(px - dx * t, py - dy * t) - r
    return sdf


def polygon(points):
    def sdf(x, y):
        best = float("inf")
        inside = False
        n = len(points)
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
            best = min(best, math.hypot(x - ax - dx * t, y - ay - dy * t))
            if (ay > y) != (by > y) and x < ax + (y - ay) * dx / dy:
                inside = not inside
        return -best if inside else best
    return sdf


def arc_mask(cx, cy, from_deg, to_deg):
    """Inside (a large negative distance) where the angle around the centre,
    clockwise on screen from the right, lies between the two angles."""
    def sdf(x, y):
        angle = math.degrees(math.atan2(y - cy, x - cx))
        return -1e9 if from_deg <= angle <= to_deg else 1e9
    return sdf


def intersect(a, b):
    return lambda x, y: max(a(x, y), b(x, y))


def subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def inset(shape, by):
    return lambda x, y: shape(x, y) + by


def rgb(hex_colour, alpha=1.0):
    v = int(hex_colour.lstrip("#"), 16)
    return ((v >> 16 & 255) / 255, (v >> 8 & 255) / 255, (v & 255) / 255, alpha)


def solid(hex_colour, alpha=1.0):
    c = rgb(hex_colour, alpha)
    return lambda x, y: c


def linear(x0, y0, c0, x1, y1, c1):
    """A gradient from colour c0 at (x0, y0) to c1 at (x1, y1)."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def paint(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        return tuple(a + (b - a) * t for a, b in zip(c0, c1))
    return paint


# --- the images ---------------------------------------------------------------

def magnifier(size, name="smartsearch.png"):
    """smartsearch: a glass lens in a blue rim with a dark handle."""
    c = Canvas(size, size)
    s = size / 512
    cx, cy, r = 210 * s, 210 * s, 150 * s
    handle = capsule(cx + r * 0.78, cy + r * 0.78, 440 * s, 440 * s, 34 * s)
    c.fill(capsule(cx, cy, 445 * s, 445 * s, 50 * s), solid("#000000", 0.18))  # soft shadow
    c.fill(handle, linear(300 * s, 300 * s, rgb("#4a5568"), 460 * s, 460 * s, rgb("#1a202c")))
    c.fill(circle(cx, cy, r), linear(cx - r, cy - r, rgb("#e6f4ff", 0.95),
                                     cx + r, cy + r, rgb("#9fd0f5", 0.85)))
    c.fill(ring(cx, cy, r, 26 * s), linear(cx - r, cy - r, rgb("#3ba0f0"),
                                            cx + r, cy + r, rgb("#1658b8")))
    # A highlight on the glass.
    glint = intersect(ring(cx, cy, r * 0.68, 11 * s), polygon([
        (cx - r, cy - r), (cx + r * 0.1, cy - r), (cx - r, cy + r * 0.1)]))
    c.fill(glint, solid("#ffffff", 0.85))
    c.save(name)


def help_mark(size):
    """help: a white question mark on a blue disc."""
    c = Canvas(size, size)
    s = size / 48
    c.fill(circle(24 * s, 24 * s, 22.5 * s),
           linear(0, 0, rgb("#4fb0ff"), size, size, rgb("#1c64c8")))
    c.fill(ring(24 * s, 24 * s, 21.5 * s, 1 * s), solid("#ffffff", 0.35))
    # The hook: a ring from its left end over the top to below the right,
    # with rounded ends, then a short stem down the middle.
    cx, cy, r, half = 24 * s, 17 * s, 7 * s, 2.6 * s
    c.fill(intersect(ring(cx, cy, r, half), arc_mask(cx, cy, -180, 80)), solid("#ffffff"))
    c.fill(circle(cx - r, cy, half), solid("#ffffff"))
    end = math.radians(80)
    c.fill(capsule(cx + r * math.cos(end), cy + r * math.sin(end), 24 * s, 29 * s, half),
           solid("#ffffff"))
    c.fill(circle(24 * s, 36 * s, 3 * s), solid("#ffffff"))
    c.save("help.png")


def folder(size):
    """folder: a yellow folder with a tab, its front slightly lighter."""
    c = Canvas(size, size)
    s = size / 256
    back = rounded_box(128 * s, 130 * s, 112 * s, 84 * s, 14 * s)
    tab = rounded_box(74 * s, 52 * s, 56 * s, 18 * s, 12 * s)
    c.fill(lambda x, y: min(back(x, y), tab(x, y)),
           linear(0, 34 * s, rgb("#e0a21a"), 0, 214 * s, rgb("#c7830c")))
    c.fill(rounded_box(128 * s, 95 * s, 100 * s, 14 * s, 6 * s), solid("#fffaf0"))  # paper
    front = polygon([(16 * s, 94 * s), (240 * s, 94 * s), (240 * s, 214 * s), (16 * s, 214 * s)])
    c.fill(intersect(front, back), linear(0, 94 * s, rgb("#ffd45c"), 0, 214 * s, rgb("#f2b530")))
    c.fill(intersect(capsule(16 * s, 97 * s, 240 * s, 97 * s, 1.5 * s), back),
           solid("#fff2c4", 0.9))
    c.save("folder.png")


def stop_sign(size):
    """stop: a red octagon with a white rim and a white bar."""
    c = Canvas(size, size)
    s = size / 48
    octagon = [(24 * s + 22.5 * s * math.cos(math.pi / 8 + i * math.pi / 4),
                24 * s + 22.5 * s * math.sin(math.pi / 8 + i * math.pi / 4)) for i in range(8)]
    outer = polygon(octagon)
    c.fill(outer, solid("#ffffff"))
    c.fill(inset(outer, 2.2 * s), linear(0, 0, rgb("#f2544a"), 0, size, rgb("#b81d14")))
    c.fill(rounded_box(24 * s, 24 * s, 12 * s, 3.5 * s, 1.5 * s), solid("#ffffff"))
    c.save("stop.png")


def shield_points(s):
    """A shield outline: a flat top with rounded shoulders, curving to a point."""
    pts = [(5 * s, 6 * s), (16 * s, 2.5 * s), (27 * s, 6 * s)]
    for i in range(1, 13):  # right side down to the point
        t = i / 12
        pts.append((27 * s - 11 * s * t ** 2.2, 6 * s + 23.5 * s * t))
    for i in range(11, 0, -1):  # left side back up
        t = i / 12
        pts.append((5 * s + 11 * s * t ** 2.2, 6 * s + 23.5 * s * t))
    return pts


def shield(size, name, top, bottom, mark):
    c = Canvas(size, size)
    s = size / 32
    outline = polygon(shield_points(s))
    c.fill(outline, solid("#ffffff"))
    c.fill(inset(outline, 1.6 * s), linear(0, 0, rgb(top), 0, size, rgb(bottom)))
    if mark == "check":
        c.fill(capsule(10.5 * s, 15.5 * s, 14.5 * s, 19.5 * s, 1.7 * s), solid("#ffffff"))
        c.fill(capsule(14.5 * s, 19.5 * s, 21.5 * s, 11 * s, 1.7 * s), solid("#ffffff"))
    else:
        c.fill(capsule(11.5 * s, 10.5 * s, 20.5 * s, 19.5 * s, 1.7 * s), solid("#ffffff"))
        c.fill(capsule(20.5 * s, 10.5 * s, 11.5 * s, 19.5 * s, 1.7 * s), solid("#ffffff"))
    c.save(name)


def background(width, height):
    """frame-mid: a soft, light wash behind the window's widgets. It is drawn
    as a tile: the window repeats it, so its bottom row runs on into its top
    row (a cosine from light to a little darker and back) and every column is
    the same, leaving no seam at any size. Child widgets repaint it from their
    own corner, so it stays gentle enough that their edges do not show."""
    c = Canvas(width, height)
    light, shade = rgb("#f6f9fc"), rgb("#edf3f9")

    def paint(x, y):
        t = (1 - math.cos(2 * math.pi * (y - 0.5) / height)) / 2
        return tuple(a + (b - a) * t for a, b in zip(light, shade))
    c.fill(lambda x, y: -1.0, paint)
    c.save("frame-mid.png")


def hover_tile(width, height):
    """ico-hover-bg: a rounded translucent tile behind a tool button under the mouse."""
    c = Canvas(width, height)
    tile = rounded_box(width / 2, height / 2, width / 2 - 1, height / 2 - 1, 9)
    c.fill(tile, solid("#5aa6e6", 0.55))
    c.fill(inset(tile, 1.2), linear(0, 0, rgb("#ffffff", 0.85), 0, height, rgb("#cfe5f7", 0.75)))
    c.save("ico-hover-bg.png")


# The hicolor theme's usual sizes; 512 is the one the program itself shows.
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256, 512)

if __name__ == "__main__" and len(sys.argv) == 3 and sys.argv[1] == "--icons":
    OUT = sys.argv[2]
    os.makedirs(OUT, exist_ok=True)
    for icon_size in ICON_SIZES:
        magnifier(icon_size, "%d.png" % icon_size)
elif __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    magnifier(512)
    help_mark(48)
    folder(256)
    stop_sign(48)
    shield(32, "protect_on.png", "#5fd068", "#21913a", "check")
    shield(32, "protect_off.png", "#b8bec6", "#6b737d", "cross")
    background(852, 463)
    hover_tile(71, 78)
