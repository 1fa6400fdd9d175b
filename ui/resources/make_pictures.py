#!/usr/bin/env python3
"""Draws the program's pictures and writes them beside this script, in
pictures/: the program icon (101), the working-view animation (107 the still
open box, 108 to 127 a page tumbling out of it) and the wizard banner (106).

Icons are 32 x 32 with the 16 standard colours; the banner is 500 x 63 with a
256-colour palette. Only the standard library is used, so the build machine
needs nothing else. Run it again after a change and commit the output.
"""
import math
import os
import struct
import sys

# ---------------------------------------------------------------- rasterising


def coverage(polys, width, height, sub=4):
    """Coverage (0..1) of the union of polygons over a width x height grid.

    Each pixel row is sampled on `sub` scanlines; along a scanline the spans
    are measured exactly, so edges come out smooth. The union takes the
    largest coverage of the polygons at each pixel.
    """
    total = [[0.0] * width for _ in range(height)]
    for poly in polys:
        cov = [[0.0] * width for _ in range(height)]
        ys = [p[1] for p in poly]
        y0 = max(0, int(math.floor(min(ys))))
        y1 = min(height - 1, int(math.ceil(max(ys))))
        n = len(poly)
        for py in range(y0, y1 + 1):
            row = cov[py]
            for s in range(sub):
                y = py + (s + 0.5) / sub
                xs = []
                for i in range(n):
                    ax, ay = poly[i]
                    bx, by = poly[(i + 1) % n]
                    if (ay <= y < by) or (by <= y < ay):
                        xs.append(ax + (y - ay) * (bx - ax) / (by - ay))
                xs.sort()
                for k in range(0, len(xs) - 1, 2):
                    xa = max(0.0, xs[k])
                    xb = min(float(width), xs[k + 1])
                    if xb <= xa:
                        continue
                    ia, ib = int(xa), int(xb)
                    if ia == ib:
                        row[ia] += (xb - xa) / sub
                        continue
                    row[ia] += (ia + 1 - xa) / sub
                    for x in range(ia + 1, min(ib, width)):
                        row[x] += 1.0 / sub
                    if ib < width:
                        row[ib] += (xb - ib) / sub
        for y in range(height):
            t, c = total[y], cov[y]
            for x in range(width):
                if c[x] > t[x]:
                    t[x] = min(1.0, c[x])
    return total


def ellipse(cx, cy, rx, ry, steps=48, start=0.0, end=2 * math.pi):
    return [(cx + rx * math.cos(start + (end - start) * i / steps),
             cy + ry * math.sin(start + (end - start) * i / steps)) for i in range(steps)]


def stroke(points, width):
    """Polygons covering a polyline of the given width, with round joints."""
    polys = []
    h = width / 2.0
    for (ax, ay), (bx, by) in zip(points, points[1:]):
        dx, dy = bx - ax, by - ay
        length = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / length * h, dx / length * h
        polys.append([(ax + nx, ay + ny), (bx + nx, by + ny), (bx - nx, by - ny), (ax - nx, ay - ny)])
    for (x, y) in points[1:-1]:
        polys.append(ellipse(x, y, h, h, 12))
    return polys


def transform(poly, angle, scale, cx, cy):
    """Rotates (degrees) and scales a polygon drawn around (0, 0), then moves it to (cx, cy)."""
    a = math.radians(angle)
    ca, sa = math.cos(a), math.sin(a)
    return [(cx + scale * (x * ca - y * sa), cy + scale * (x * sa + y * ca)) for x, y in poly]


def grow(poly, by):
    """The polygon moved outwards by about `by` pixels (for outlines)."""
    cx = sum(p[0] for p in poly) / len(poly)
    cy = sum(p[1] for p in poly) / len(poly)
    out = []
    for x, y in poly:
        d = math.hypot(x - cx, y - cy) or 1.0
        out.append((x + (x - cx) / d * by, y + (y - cy) / d * by))
    return out


# -------------------------------------------------------- 16-colour icons

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, LIME, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)


class Icon:
    """A 32 x 32 picture of palette indices; None is transparent."""

    def __init__(self):
        self.px = [[None] * 32 for _ in range(32)]

    def fill(self, polys, colour, threshold=0.5):
        cov = coverage(polys, 32, 32)
        for y in range(32):
            for x in range(32):
                if cov[y][x] >= threshold:
                    self.px[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        """Fills pixels x0..x1, y0..y1 (inclusive)."""
        for y in range(max(0, y0), min(31, y1) + 1):
            for x in range(max(0, x0), min(31, x1) + 1):
                self.px[y][x] = colour

    def line(self, x0, y0, x1, y1, colour):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            if 0 <= x0 < 32 and 0 <= y0 < 32:
                self.px[y0][x0] = colour
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy


def write_ico(path, icon):
    xor = bytearray()
    mask = bytearray()
    for y in range(31, -1, -1):  # bottom-up
        row = icon.px[y]
        for x in range(0, 32, 2):
            a = row[x] if row[x] is not None else 0
            b = row[x + 1] if row[x + 1] is not None else 0
            xor.append((a << 4) | b)
        bits = 0
        for x in range(32):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack('>I', bits)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in VGA)
    header = struct.pack('<IiiHHIIiiII', 40, 32, 64, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    with open(path, 'wb') as f:
        f.write(struct.pack('<HHH', 0, 1, 1))
        f.write(struct.pack('<BBBBHHII', 32, 32, 16, 0, 1, 4, len(image), 22))
        f.write(image)


def draw_box(icon):
    """An open cardboard box, seen slightly from above, in the lower part."""
    # back flap, standing up behind the opening
    icon.fill([[(9, 13), (23, 13), (21, 7), (11, 7)]], BLACK)
    icon.fill([[(10.2, 12.2), (21.8, 12.2), (20.3, 8.2), (11.7, 8.2)]], OLIVE)
    # side flaps, opened outwards
    icon.fill([[(9, 12), (5.5, 19), (0, 16), (3, 9)]], BLACK)
    icon.fill([[(8, 13), (5.5, 17.6), (1.4, 15.5), (3.6, 10.3)]], YELLOW)
    icon.fill([[(23, 12), (26.5, 19), (32, 16), (29, 9)]], BLACK)
    icon.fill([[(24, 13), (26.5, 17.6), (30.6, 15.5), (28.4, 10.3)]], OLIVE)
    # the dark inside, then the front face with its tape
    icon.fill([[(8, 12), (24, 12), (27, 19), (5, 19)]], BLACK)
    icon.fill([[(9, 13), (23, 13), (25, 18), (7, 18)]], GRAY)
    icon.rect(5, 18, 26, 30, BLACK)
    icon.rect(6, 19, 25, 29, YELLOW)
    icon.rect(6, 26, 25, 29, OLIVE)
    icon.rect(15, 19, 16, 25, OLIVE)


PAGE = [(-6, -7.5), (2, -7.5), (6, -3.5), (6, 7.5), (-6, 7.5)]
PAGE_LINES = [(-3.5, -4.5, 0.5), (-3.5, -1.5, 3.5), (-3.5, 1.5, 3.5), (-3.5, 4.5, 2.0)]


def draw_page(icon, angle, scale, cx, cy):
    """A sheet of paper with a folded corner and lines of text."""
    if scale <= 0:
        return
    outline = transform(PAGE, angle, scale, cx, cy)
    icon.fill([grow(outline, 1.0)], BLACK)
    icon.fill([outline], WHITE)
    if scale >= 0.6:
        corner = transform([(2, -7.5), (2, -3.5), (6, -3.5)], angle, scale, cx, cy)
        icon.fill([corner], SILVER)
        for x0, y, x1 in PAGE_LINES:
            a = transform([(x0, y), (x1, y)], angle, scale, cx, cy)
            icon.fill(stroke(a, 1.0 * scale), NAVY, 0.5)


def program_icon():
    icon = Icon()
    draw_box(icon)
    draw_page(icon, -14, 1.0, 10.5, 9.5)
    # a red arrow leaving the box to the upper right
    arc = [(19.5, 18.0), (19.8, 13.5), (21.0, 10.0), (23.0, 7.8), (25.0, 6.8)]
    icon.fill(stroke(arc, 3.4), BLACK)
    icon.fill(stroke(arc, 1.8), RED)
    head = [(31.0, 6.5), (24.5, 1.5), (24.5, 11.5)]
    icon.fill([grow(head, 1.0)], BLACK)
    icon.fill([head], RED)
    return icon


def animation_frame(n):
    """Frame n (1 to 20): the page tumbles away from the box and fades."""
    icon = Icon()
    angle = -20 + n * 27
    scale = 1.0 if n <= 14 else 1.0 - (n - 14) * 0.14
    rise = min(n, 4)
    draw_page(icon, angle, scale, 16, 17 - rise)
    if n >= 17:  # a few sparks where the page vanishes
        for dx, dy in ((-9, -6), (8, -7), (-7, 8), (9, 6))[: n - 16]:
            icon.rect(16 + dx, 14 + dy, 16 + dx, 14 + dy, YELLOW)
    return icon


# ------------------------------------------------------------- the banner


def median_cut(pixels, count):
    """Palette of `count` colours for the pixels, and each pixel's index."""
    boxes = [list(range(len(pixels)))]

    def spread(box):
        best = (-1, 0)
        for c in range(3):
            vals = [pixels[i][c] for i in box]
            best = max(best, (max(vals) - min(vals), c))
        return best

    while len(boxes) < count:
        scored = [(spread(b), i) for i, b in enumerate(boxes) if len(b) > 1]
        if not scored:
            break
        (rng, channel), i = max(scored)
        if rng == 0:
            break
        box = sorted(boxes.pop(i), key=lambda k: pixels[k][channel])
        half = len(box) // 2
        boxes += [box[:half], box[half:]]
    palette = []
    index = [0] * len(pixels)
    for n, box in enumerate(boxes):
        palette.append(tuple(round(sum(pixels[i][c] for i in box) / len(box)) for c in range(3)))
        for i in box:
            index[i] = n
    while len(palette) < count:
        palette.append((0, 0, 0))
    return palette, index


RAMP_STEPS = 128


def banner():
    w, h = 500, 63
    img = [[None] * w for _ in range(h)]
    # white behind the heading on the left, deepening to blue on the right;
    # the ramp has its own palette entries so that the gradient stays smooth
    ramp = []
    for i in range(RAMP_STEPS):
        t = i / (RAMP_STEPS - 1.0)
        t = t * t * (3 - 2 * t)
        ramp.append((round(255 - 200 * t), round(255 - 160 * t), round(255 - 70 * t)))
    for x in range(w):
        step = round(max(0.0, (x - 180) / (w - 181.0)) * (RAMP_STEPS - 1))
        for y in range(h):
            img[y][x] = ramp[step]

    def paint(polys, colour, alpha=1.0):
        x0 = max(0, int(min(p[0] for poly in polys for p in poly)) - 1)
        x1 = min(w, int(max(p[0] for poly in polys for p in poly)) + 2)
        local = [[(x - x0, y) for x, y in poly] for poly in polys]
        cov = coverage(local, x1 - x0, h)
        for y in range(h):
            for x in range(x1 - x0):
                a = cov[y][x] * alpha
                if a > 0:
                    old = img[y][x0 + x]
                    img[y][x0 + x] = tuple(o + (c - o) * a for o, c in zip(old, colour))

    # the open box on the right
    bx = 408
    paint([[(bx, 38), (bx + 50, 38), (bx + 50, 60), (bx, 60)]], (120, 80, 20))
    paint([[(bx + 1.5, 39.5), (bx + 48.5, 39.5), (bx + 48.5, 58.5), (bx + 1.5, 58.5)]], (222, 176, 92))
    paint([[(bx + 1.5, 52), (bx + 48.5, 52), (bx + 48.5, 58.5), (bx + 1.5, 58.5)]], (196, 146, 66))
    paint([[(bx + 22, 39.5), (bx + 28, 39.5), (bx + 28, 52), (bx + 22, 52)]], (200, 160, 90))
    paint([[(bx + 3, 31), (bx + 47, 31), (bx + 50, 38), (bx, 38)]], (90, 58, 14))
    paint([[(bx - 14, 27), (bx + 1, 31), (bx, 38), (bx - 16, 33)]], (120, 80, 20))
    paint([[(bx - 12.5, 28.5), (bx + 0.5, 32), (bx - 0.5, 36.5), (bx - 14, 32.5)]], (236, 196, 112))
    paint([[(bx + 64, 27), (bx + 49, 31), (bx + 50, 38), (bx + 66, 33)]], (120, 80, 20))
    paint([[(bx + 62.5, 28.5), (bx + 49.5, 32), (bx + 50.5, 36.5), (bx + 64, 32.5)]], (196, 146, 66))

    # pages leaving the box along an arc, fainter the further they are
    def page(cx, cy, angle, scale, alpha):
        outline = transform(PAGE, angle, scale, cx, cy)
        paint([grow(outline, 1.2)], (30, 40, 80), alpha)
        paint([outline], (255, 255, 255), alpha)
        paint([transform([(2, -7.5), (2, -3.5), (6, -3.5)], angle, scale, cx, cy)], (190, 200, 215), alpha)
        for x0, y, x1 in PAGE_LINES:
            paint(stroke(transform([(x0, y), (x1, y)], angle, scale, cx, cy), 1.0 * scale), (40, 70, 160), alpha)

    for cx, cy, angle, scale, alpha in ((300, 30, -60, 1.0, 0.25), (336, 20, -35, 1.15, 0.45),
                                        (372, 15, -12, 1.3, 0.7), (418, 20, 14, 1.45, 1.0)):
        page(cx, cy, angle, scale, alpha)

    # a thin line along the bottom edge ties the banner to the dialog
    for x in range(w):
        t = min(1.0, x / 240.0)
        img[h - 1][x] = tuple(o + (c - o) * t for o, c in zip(img[h - 1][x], (20, 40, 110)))
    return img, ramp


def write_bmp8(path, img, fixed):
    """Writes an 8-bit picture: the `fixed` colours keep palette entries of
    their own, every other colour shares the remaining entries."""
    h, w = len(img), len(img[0])
    pixels = [tuple(int(round(min(255, max(0, c)))) for c in img[y][x]) for y in range(h) for x in range(w)]
    where = {c: i for i, c in enumerate(fixed)}
    others = [i for i, p in enumerate(pixels) if p not in where]
    shared, shared_index = median_cut([pixels[i] for i in others], 256 - len(fixed))
    palette = list(fixed) + shared
    index = [where.get(p, 0) for p in pixels]
    for k, i in enumerate(others):
        index[i] = len(fixed) + shared_index[k]
    stride = (w + 3) & ~3
    rows = bytearray()
    for y in range(h - 1, -1, -1):
        rows += bytes(index[y * w:(y + 1) * w]) + b'\0' * (stride - w)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    offset = 14 + 40 + len(pal)
    with open(path, 'wb') as f:
        f.write(struct.pack('<2sIHHI', b'BM', offset + len(rows), 0, 0, offset))
        f.write(struct.pack('<IiiHHIIiiII', 40, w, h, 1, 8, 0, len(rows), 2835, 2835, 256, 0))
        f.write(pal)
        f.write(rows)


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'pictures')
    if len(sys.argv) > 1:
        out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_ico(os.path.join(out, 'program.ico'), program_icon())
    base = Icon()
    draw_box(base)
    write_ico(os.path.join(out, 'anim_base.ico'), base)
    for n in range(1, 21):
        write_ico(os.path.join(out, 'anim_%02d.ico' % n), animation_frame(n))
    picture, ramp = banner()
    write_bmp8(os.path.join(out, 'banner.bmp'), picture, ramp)
    return 0


if __name__ == '__main__':
    sys.exit(main())
