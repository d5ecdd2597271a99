#!/usr/bin/env python3
"""Draws the program's icons: src/res/app.ico, a page whose lines are being wiped away, and
src/res/install.ico, the same page with an arrow going down into a tray (setting up).

Three 32-bit images (16, 32 and 48 pixels) with straight alpha, drawn with 8 x 8
supersampling. Pure Python and no randomness, so the output is the same byte for byte on
every run. Usage: scripts/make-icon.py [app|install [output path]] (no arguments: both)
"""

import os
import struct
import sys

SIZES = (16, 32, 48)
SAMPLES = 8

OUTLINE = (11, 79, 99)        # deep teal
PAGE_TOP = (255, 255, 255)
PAGE_BOTTOM = (222, 241, 244)  # pale teal
FOLD = (63, 184, 196)
STRIPE_LEFT = (20, 163, 176)   # teal
STRIPE_RIGHT = (37, 99, 217)   # blue
HALO = (255, 255, 255)
ARROW_TOP = STRIPE_LEFT
ARROW_BOTTOM = STRIPE_RIGHT
TRAY = OUTLINE

# The install badge on a 16-pixel grid, scaled whole for the larger sizes so that its edges
# stay on pixel boundaries: a tray open at the top, and an arrow whose tip drops into it.
TRAY_PARTS = ((8, 12, 9, 16), (15, 12, 16, 16), (8, 15, 16, 16))  # left, top, right, bottom
ARROW_SHAFT = (11, 6, 13, 10)
ARROW_HEAD = ((9, 10), (15, 10), (12, 13))


def snap(v, size):
    """Puts a coordinate on the pixel grid, so that straight edges stay crisp when small."""
    return round(v * size) / size


def edges_of(points):
    """Inward unit normals and offsets of a convex polygon given clockwise on screen."""
    edges = []
    for i, (ax, ay) in enumerate(points):
        bx, by = points[(i + 1) % len(points)]
        dx, dy = bx - ax, by - ay
        length = (dx * dx + dy * dy) ** 0.5
        nx, ny = -dy / length, dx / length
        edges.append((nx, ny, nx * ax + ny * ay))
    return edges


def inner_distance(edges, x, y):
    """Distance from the border of a convex polygon, positive inside."""
    return min(nx * x + ny * y - c for nx, ny, c in edges)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def over(dst, color, alpha):
    """Composites a straight-alpha colour over a straight-alpha pixel."""
    r, g, b, a = dst
    out_a = alpha + a * (1.0 - alpha)
    if out_a <= 0.0:
        return (0.0, 0.0, 0.0, 0.0)
    k = a * (1.0 - alpha)
    return (
        (color[0] * alpha + r * k) / out_a,
        (color[1] * alpha + g * k) / out_a,
        (color[2] * alpha + b * k) / out_a,
        out_a,
    )


def rect(left, top, right, bottom):
    return [(left, top), (right, top), (right, bottom), (left, bottom)]


def install_badge(size):
    """The badge's pieces as (convex polygon edges, colour of a point) pairs, back to front."""
    unit = size // 16 / size
    scale = lambda points: [(x * unit, y * unit) for x, y in points]  # noqa: E731
    top = ARROW_SHAFT[1]
    tip = ARROW_HEAD[2][1]
    arrow = lambda x, y: mix(ARROW_TOP, ARROW_BOTTOM, (y / unit - top) / (tip - top))  # noqa: E731
    tray = lambda x, y: TRAY  # noqa: E731
    pieces = [(edges_of(scale(rect(*part))), tray) for part in TRAY_PARTS]
    pieces.append((edges_of(scale(rect(*ARROW_SHAFT))), arrow))
    pieces.append((edges_of(scale(list(ARROW_HEAD))), arrow))
    return pieces, unit


def draw(size, badge=None):
    s = lambda v: snap(v, size)  # noqa: E731
    x0, y0, x1, y1 = s(0.19), s(0.05), s(0.81), s(0.95)
    fold = s(0.31) if size == 16 else s(0.24)
    page = edges_of([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)])
    flap = edges_of([(x1 - fold, y0), (x1, y0 + fold), (x1 - fold, y0 + fold)])
    # Whole device pixels, so that the outline stays crisp.
    line = (1.0 if size < 48 else 2.0) / size

    # Lines of "text", each shorter and fainter than the one above: the tide takes them.
    # Rows in pixels for each size (first row, height, distance), so that small sizes keep a
    # clear gap between lines.
    first, height, step = {16: (6, 2, 3), 32: (11, 2, 4), 48: (17, 4, 7)}[size]
    count = 3 if size == 16 else 4
    stripes = []
    for i in range(count):
        y = (first + i * step) / size
        right = s(0.71 - 0.09 * i)
        stripes.append((s(0.29), y, right, y + height / size, 1.0 - 0.22 * i))

    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    c = sample(x, y, x0, x1, y0, y1, page, flap, line, stripes)
                    if badge is not None:
                        c = sample_badge(c, x, y, *badge)
                    # Sum premultiplied, so that edges do not darken.
                    acc[0] += c[0] * c[3]
                    acc[1] += c[1] * c[3]
                    acc[2] += c[2] * c[3]
                    acc[3] += c[3]
            n = SAMPLES * SAMPLES
            a = acc[3] / n
            if a > 0.0:
                rgb = tuple(acc[i] / acc[3] for i in range(3))
            else:
                rgb = (0.0, 0.0, 0.0)
            row.append(tuple(int(round(v)) for v in rgb) + (int(round(a * 255)),))
        pixels.append(row)
    return pixels


def sample(x, y, x0, x1, y0, y1, page, flap, line, stripes):
    pixel = (0.0, 0.0, 0.0, 0.0)
    d = inner_distance(page, x, y)
    if d < 0.0:
        return pixel
    if d < line:
        return over(pixel, OUTLINE, 1.0)
    pixel = over(pixel, mix(PAGE_TOP, PAGE_BOTTOM, (y - y0) / (y1 - y0)), 1.0)
    for left, top, right, bottom, strength in stripes:
        if left <= x < right and top <= y < bottom:
            t = (x - left) / (right - left)
            pixel = over(pixel, mix(STRIPE_LEFT, STRIPE_RIGHT, t), strength * (1.0 - 0.75 * t))
    f = inner_distance(flap, x, y)
    if f >= 0.0:
        pixel = over(pixel, OUTLINE if f < line else FOLD, 1.0)
    return pixel


def sample_badge(pixel, x, y, pieces, halo):
    """Paints the badge over a pixel, with a white rim that parts it from the page."""
    d = max(inner_distance(edges, x, y) for edges, _ in pieces)
    if d < -halo:
        return pixel
    if d < 0.0:
        # The rim only where the page is: outside it, it would be a white smudge.
        return over(pixel, HALO, 1.0) if pixel[3] > 0.0 else pixel
    for edges, color in pieces:
        if inner_distance(edges, x, y) >= 0.0:
            pixel = over(pixel, color(x, y), 1.0)
    return pixel


def bmp_image(pixels):
    """One icon image: BITMAPINFOHEADER (double height), BGRA rows bottom-up, AND mask."""
    size = len(pixels)
    mask_stride = ((size + 31) // 32) * 4
    color = bytearray()
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            color += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(color) + len(mask),
                         0, 0, 0, 0)
    return header + bytes(color) + bytes(mask)


def ico(images):
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    data = bytearray()
    for size, image in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image),
                           offset + len(data))
        data += image
    return bytes(out + data)


ICONS = {
    "app": lambda size: draw(size),
    "install": lambda size: draw(size, install_badge(size)),
}


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    names = sys.argv[1:2] or sorted(ICONS)
    if names[0] not in ICONS or len(sys.argv) > 3:
        sys.exit("usage: make-icon.py [app|install [output path]]")
    for name in names:
        path = sys.argv[2] if len(sys.argv) > 2 else os.path.join(root, "src", "res",
                                                                  name + ".ico")
        images = [(size, bmp_image(ICONS[name](size))) for size in SIZES]
        with open(path, "wb") as f:
            f.write(ico(images))
        print(path)


if __name__ == "__main__":
    main()
