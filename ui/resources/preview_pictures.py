#!/usr/bin/env python3
"""Renders the committed pictures as PNG files for a look at them:
    preview_pictures.py OUTPUT_FOLDER
writes program.png and icons.png (every icon, four times enlarged, on the
dialog grey), banner.png, and animation.png: the 25 steps of the working
view's animation one under the other, each frame drawn where the wizard draws
it (base icon at (0, 10) dialog units, frame n at its place in the table),
with dialog base units 6 x 13. Reads the .ico and .bmp files themselves, so it
shows what the program ships. Standard library only.
"""
import os
import struct
import sys
import zlib

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'pictures')
FACE = (192, 192, 192)
# Frame positions of the animation in dialog units (x, y), frames 1 to 20.
PLACES = [(0, 10), (5, 8), (8, 6), (14, 5), (19, 2), (26, 2), (30, 2), (38, 2), (42, 2), (50, 0),
          (57, 0), (62, 0), (72, 0), (78, 2), (87, 3), (94, 4), (102, 8), (110, 10), (114, 11),
          (118, 13)]


def read_ico(path):
    """32 x 32 pixels of a 4-bit icon: RGB tuples, None where transparent."""
    data = open(path, 'rb').read()
    offset = struct.unpack_from('<I', data, 6 + 12)[0]
    palette = [data[offset + 40 + 4 * i: offset + 40 + 4 * i + 3][::-1] for i in range(16)]
    xor = offset + 40 + 64
    mask = xor + 32 * 16
    rows = []
    for y in range(32):
        src = 31 - y
        bits = struct.unpack_from('>I', data, mask + 4 * src)[0]
        row = []
        for x in range(32):
            byte = data[xor + 16 * src + x // 2]
            index = byte >> 4 if x % 2 == 0 else byte & 15
            row.append(None if bits & (1 << (31 - x)) else tuple(palette[index]))
        rows.append(row)
    return rows


def read_bmp8(path):
    data = open(path, 'rb').read()
    offset = struct.unpack_from('<I', data, 10)[0]
    width, height = struct.unpack_from('<ii', data, 18)
    palette = [tuple(data[54 + 4 * i: 54 + 4 * i + 3][::-1]) for i in range(256)]
    stride = (width + 3) & ~3
    return [[palette[data[offset + (height - 1 - y) * stride + x]] for x in range(width)]
            for y in range(height)]


def write_png(path, rows):
    raw = b''.join(b'\0' + bytes(c for px in row for c in px) for row in rows)
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n')
        f.write(chunk(b'IHDR', struct.pack('>IIBBBBB', len(rows[0]), len(rows), 8, 2, 0, 0, 0)))
        f.write(chunk(b'IDAT', zlib.compress(raw, 9)))
        f.write(chunk(b'IEND', b''))


def canvas(width, height):
    return [[FACE] * width for _ in range(height)]


def blit(dest, icon, x0, y0, zoom=1):
    for y, row in enumerate(icon):
        for x, px in enumerate(row):
            if px is None:
                continue
            for dy in range(zoom):
                for dx in range(zoom):
                    yy, xx = y0 + y * zoom + dy, x0 + x * zoom + dx
                    if 0 <= yy < len(dest) and 0 <= xx < len(dest[0]):
                        dest[yy][xx] = px


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else '.'
    os.makedirs(out, exist_ok=True)
    names = ['program', 'anim_base'] + ['anim_%02d' % n for n in range(1, 21)]
    icons = {name: read_ico(os.path.join(HERE, name + '.ico')) for name in names}

    big = canvas(4 * 32 + 8, 4 * 32 + 8)
    blit(big, icons['program'], 4, 4, 4)
    write_png(os.path.join(out, 'program.png'), big)

    sheet = canvas(11 * 136 + 8, 2 * 136 + 8)
    for i, name in enumerate(names):
        blit(sheet, icons[name], 8 + (i % 11) * 136, 8 + (i // 11) * 136, 4)
    write_png(os.path.join(out, 'icons.png'), sheet)

    write_png(os.path.join(out, 'banner.png'), read_bmp8(os.path.join(HERE, 'banner.bmp')))

    # The animation's place: 270 x 33 dialog units.
    ux, uy = 6, 13
    width, height = 270 * ux // 4, 33 * uy // 8
    steps = canvas(width, 25 * (height + 2))
    for frame in range(1, 26):
        top = (frame - 1) * (height + 2)
        for x in range(width):
            steps[top + height][x] = (0, 0, 0)
        blit(steps, icons['anim_base'], 0, top + 10 * uy // 8)
        if frame <= 20:
            px, py = PLACES[frame - 1]
            blit(steps, icons['anim_%02d' % frame], px * ux // 4, top + py * uy // 8)
    write_png(os.path.join(out, 'animation.png'), steps)
    return 0


if __name__ == '__main__':
    sys.exit(main())
