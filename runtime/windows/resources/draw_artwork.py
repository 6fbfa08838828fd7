#!/usr/bin/env python3
"""Draws the runtime's icons and cursors and writes them as .ico and .cur files beside this script.

Every picture is a list of shapes in a unit square, rasterised at each size with 4x4 supersampling
into 32-bit BGRA images (with the 1-bit AND mask that older systems read). Python 3 standard
library only; run it again after changing a drawing:

    python3 runtime/windows/resources/draw_artwork.py
"""
import math
import os
import struct
import zlib

SAMPLES = 4  # per axis and pixel; 2 for the 256-pixel icons, whose edges are finer anyway
PNG_SIZE = 256  # images of this size are stored PNG-compressed, as Windows Vista and later read them


# --- shapes: each takes a point in unit coordinates and says whether it is covered -------------

def polygon(points):
    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return inside


def segment_distance(x, y, a, b):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def outline(points, width):
    """The band of the given width along a closed polygon's edges."""
    edges = list(zip(points, points[1:] + points[:1]))
    return lambda x, y: min(segment_distance(x, y, a, b) for a, b in edges) <= width / 2


def stroke(a, b, width):
    return lambda x, y: segment_distance(x, y, a, b) <= width / 2


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def rounded_box(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        dx = max(x0 + r - x, 0, x - (x1 - r))
        dy = max(y0 + r - y, 0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r
    return inside


def box(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


# --- pictures: lists of (shape, (r, g, b, a)), painted in order ---------------------------------

BLACK, WHITE = (0, 0, 0, 255), (255, 255, 255, 255)


def letter_a():
    """Icon "A": a white A on a blue tile."""
    return [
        (rounded_box(0.04, 0.04, 0.96, 0.96, 0.18), (30, 90, 180, 255)),
        (union(stroke((0.27, 0.82), (0.5, 0.18), 0.15), stroke((0.73, 0.82), (0.5, 0.18), 0.15),
               stroke((0.36, 0.6), (0.64, 0.6), 0.11)), WHITE),
    ]


def marlo():
    """Icon "MARLO": a framed landscape, the runtime's window icon."""
    return [
        (rounded_box(0.03, 0.1, 0.97, 0.9, 0.06), (120, 72, 30, 255)),
        (box(0.12, 0.19, 0.88, 0.81), (150, 205, 245, 255)),
        (circle(0.7, 0.36, 0.09), (255, 210, 40, 255)),
        (polygon([(0.12, 0.81), (0.12, 0.66), (0.38, 0.38), (0.58, 0.62), (0.68, 0.54), (0.88, 0.74),
                  (0.88, 0.81)]), (50, 140, 60, 255)),
        (polygon([(0.38, 0.38), (0.3, 0.47), (0.38, 0.44), (0.45, 0.47)]), WHITE),
    ]


def with_outline(points, width=0.07):
    """A white shape with a black border, as cursors are drawn."""
    return [(outline(points, width), BLACK), (polygon(points), WHITE), (outline(points, width), BLACK)]


def drucker():
    """Cursor "DRUCKER": an arrow with a small printer; hot spot at the arrow's tip."""
    arrow = [(0.04, 0.04), (0.04, 0.62), (0.17, 0.5), (0.27, 0.72), (0.35, 0.68), (0.25, 0.47), (0.42, 0.47)]
    printer = [(0.48, 0.62), (0.96, 0.62), (0.96, 0.88), (0.48, 0.88)]
    paper = [(0.56, 0.46), (0.88, 0.46), (0.88, 0.62), (0.56, 0.62)]
    return (with_outline(arrow) + with_outline(paper, 0.05) + with_outline(printer, 0.05)
            + [(box(0.58, 0.72, 0.86, 0.76), BLACK), (circle(0.9, 0.68, 0.025), (0, 160, 0, 255))])


def arrow_pair(angle):
    """A double-headed arrow through the centre, turned by angle (radians)."""
    shaft, head, half = 0.07, 0.17, 0.46
    points = [(-half, 0), (-half + head, -head), (-half + head, -shaft), (half - head, -shaft), (half - head, -head),
              (half, 0), (half - head, head), (half - head, shaft), (-half + head, shaft), (-half + head, head)]
    c, s = math.cos(angle), math.sin(angle)
    return [(0.5 + x * c - y * s, 0.5 + x * s + y * c) for x, y in points]


def groesse():
    """Cursor "GROESSE": the diagonal sizing arrow; hot spot in the middle."""
    return with_outline(arrow_pair(math.pi / 4))


def schieben():
    """Cursor "SCHIEBEN": the four-way moving arrow; hot spot in the middle."""
    horizontal, vertical = arrow_pair(0), arrow_pair(math.pi / 2)
    return ([(outline(horizontal, 0.07), BLACK), (outline(vertical, 0.07), BLACK),
             (union(polygon(horizontal), polygon(vertical)), WHITE)]
            + [(box(0.435, 0.435, 0.565, 0.565), WHITE)])


# --- rasterising and the file format -----------------------------------------------------------

def render(picture, size):
    """Rows top to bottom of (b, g, r, a) pixels."""
    samples = SAMPLES if size < PNG_SIZE else 2
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied r, g, b, a
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    colour = [0.0, 0.0, 0.0, 0.0]
                    for shape, (r, g, b, a) in picture:
                        if shape(x, y):
                            alpha = a / 255
                            colour = [r * alpha + colour[0] * (1 - alpha), g * alpha + colour[1] * (1 - alpha),
                                      b * alpha + colour[2] * (1 - alpha), alpha + colour[3] * (1 - alpha)]
                    for i in range(4):
                        acc[i] += colour[i]
            n = samples * samples
            alpha = acc[3] / n
            if alpha <= 0:
                row.append((0, 0, 0, 0))
            else:
                r, g, b = (min(255, round(acc[i] / n / alpha)) for i in range(3))
                row.append((b, g, r, round(alpha * 255)))
        rows.append(row)
    return rows


def dib(rows):
    """A BITMAPINFOHEADER, the BGRA pixels and the AND mask, both bottom-up."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(channel for pixel in row for channel in pixel) for row in reversed(rows))
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, pixel in enumerate(row):
            if pixel[3] < 128:  # transparent where the picture is mostly empty
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + pixels + bytes(mask)


def png(rows):
    """A PNG file of the pixels (8-bit RGBA, no filter)."""
    size = len(rows)
    raw = b"".join(b"\0" + bytes(c for b, g, r, a in row for c in (r, g, b, a)) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def write_group(path, picture, sizes, hotspot=None):
    """An .ico file (hotspot None) or a .cur file whose hot spot is given in unit coordinates."""
    images = [png(render(picture, size)) if size >= PNG_SIZE else dib(render(picture, size)) for size in sizes]
    kind = 1 if hotspot is None else 2
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        if hotspot is None:
            planes, bits = 1, 32
        else:
            planes, bits = (min(size - 1, int(hotspot[0] * size)), min(size - 1, int(hotspot[1] * size)))
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, planes, bits, len(image), offset)
        offset += len(image)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    icon_sizes = [16, 24, 32, 48, 64, 256]
    cursor_sizes = [32, 48, 64]
    write_group(os.path.join(here, "a.ico"), letter_a(), icon_sizes)
    write_group(os.path.join(here, "marlo.ico"), marlo(), icon_sizes)
    write_group(os.path.join(here, "drucker.cur"), drucker(), cursor_sizes, hotspot=(0.04, 0.04))
    write_group(os.path.join(here, "groesse.cur"), groesse(), cursor_sizes, hotspot=(0.5, 0.5))
    write_group(os.path.join(here, "schieben.cur"), schieben(), cursor_sizes, hotspot=(0.5, 0.5))


if __name__ == "__main__":
    main()
