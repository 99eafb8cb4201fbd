#!/usr/bin/env python3
"""Draws the program's own pictures: data/splash.png (24-bit), data/menu.bmp,
and the program's icon, data/icons/veldmarrow-<size>.png at the sizes desktops
and Windows ask for, with data/icons/veldmarrow.ico holding them all.

Run from anywhere; writes next to the program's other run-time files. The
pictures are generated here so the repository holds their source.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "data")

# 5x7 capitals for the title, one string of five bits per row.
FONT = {
    "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "W": ["10001", "10001", "10001", "10101", "10101", "11011", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    " ": ["00000"] * 7,
}

GRASS, DIRT, STONE = (93, 168, 39), (116, 69, 48), (162, 181, 181)


def canvas(w, h, colour):
    return [[colour] * w for _ in range(h)]


def text(img, s, x, y, scale, colour):
    for ch in s:
        for row, bits in enumerate(FONT[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            img[y + row * scale + dy][x + col * scale + dx] = colour
        x += 6 * scale


def landscape(img, top, block):
    """A side view of blocky terrain: grass over five dirt over stone."""
    h, w = len(img), len(img[0])
    columns = w // block
    for c in range(columns):
        # A smooth rolling profile, quantised to whole blocks.
        level = top + int(3 * block * (1 + 0.6 * __import__("math").sin(c * 0.35) + 0.4 * __import__("math").sin(c * 0.11 + 1)))
        level = level // block * block
        for y in range(level, h):
            depth = (y - level) // block
            base = GRASS if depth == 0 else DIRT if depth <= 5 else STONE
            edge = (y - level) % block in (0, block - 1) or (c * block) % block == 0
            shade = 0.8 if edge else 1.0
            for x in range(c * block, min((c + 1) * block, w)):
                e = shade * (0.85 if x % block in (0, block - 1) else 1.0)
                img[y][x] = tuple(int(v * e) for v in base)


def sky(img, top_colour, bottom_colour):
    h = len(img)
    for y, row in enumerate(img):
        t = y / max(h - 1, 1)
        colour = tuple(int(a + (b - a) * t) for a, b in zip(top_colour, bottom_colour))
        for x in range(len(row)):
            row[x] = colour


def png_bytes(img):
    """A PNG of rows of RGB or RGBA tuples (the first pixel decides which)."""
    h, w = len(img), len(img[0])
    channels = len(img[0][0])
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in img)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    colour_type = 6 if channels == 4 else 2
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, colour_type, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write_png(path, img):
    with open(path, "wb") as f:
        f.write(png_bytes(img))


ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def icon(size):
    """A voxel block in isometric view, grass over dirt over stone, with the
    front voxel of its top dug out; 4 x 4 samples a pixel smooth the edges."""
    top, left, right, bottom = (0.5, 0.06), (0.07, 0.31), (0.93, 0.31), (0.5, 0.96)
    centre = (0.5, 0.56)
    depth = (0.0, 0.40)
    faces = (  # origin, edge u, edge v, shade
        ("top", top, (left[0] - top[0], left[1] - top[1]), (right[0] - top[0], right[1] - top[1]), 1.0),
        ("left", left, (centre[0] - left[0], centre[1] - left[1]), depth, 0.82),
        ("right", centre, (right[0] - centre[0], right[1] - centre[1]), depth, 0.62),
    )
    del bottom  # the faces' corners meet there
    grid = size >= 32  # voxel seams only where they are more than a blur

    def colour_at(x, y):
        for name, o, u, v, shade in faces:
            det = u[0] * v[1] - u[1] * v[0]
            dx, dy = x - o[0], y - o[1]
            a = (dx * v[1] - dy * v[0]) / det
            b = (u[0] * dy - u[1] * dx) / det
            if not (0.0 <= a <= 1.0 and 0.0 <= b <= 1.0):
                continue
            i, j = min(int(a * 3), 2), min(int(b * 3), 2)
            if name == "top":
                base = GRASS
                if i == 2 and j == 2:  # the dug voxel: its floor in shadow
                    base, shade = DIRT, 0.45 if (a - 2 / 3) + (b - 2 / 3) > 0.12 else 0.7
            else:
                layer = b * 3
                base = GRASS if layer < 0.35 else DIRT if layer < 2 else STONE
            if grid and (min(abs(a * 3 - round(a * 3)), abs(b * 3 - round(b * 3))) < 0.045):
                shade *= 0.8
            return tuple(int(c * shade) for c in base) + (255,)
        return None

    img = []
    n = 4
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    c = colour_at((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    if c:
                        for k in range(3):
                            acc[k] += c[k]
                        acc[3] += 255
            hits = acc[3] // 255
            row.append((0, 0, 0, 0) if hits == 0 else tuple(acc[k] // hits for k in range(3)) + (acc[3] // (n * n),))
        img.append(row)
    return img


def write_ico(path, pngs):
    """A Windows icon holding each size as a PNG, as Windows Vista and later read it."""
    header = struct.pack("<HHH", 0, 1, len(pngs))
    offset = 6 + 16 * len(pngs)
    entries, blobs = b"", b""
    for size, data in pngs:
        side = 0 if size >= 256 else size  # 0 stands for 256
        entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset + len(blobs))
        blobs += data
    with open(path, "wb") as f:
        f.write(header + entries + blobs)


def write_bmp(path, img):
    h, w = len(img), len(img[0])
    stride = (w * 3 + 3) & ~3
    rows = []
    for row in reversed(img):  # bottom-up, BGR, padded to 4 bytes
        data = bytes(v for px in row for v in (px[2], px[1], px[0]))
        rows.append(data + b"\x00" * (stride - len(data)))
    pixels = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def main():
    splash = canvas(512, 256, (0, 0, 0))
    sky(splash, (40, 70, 140), (150, 190, 230))
    landscape(splash, 150, 8)
    text(splash, "VELDMARROW", 256 - (10 * 6 * 4 - 4) // 2, 40, 4, (255, 255, 255))
    text(splash, "PRESS ANY KEY", 256 - (13 * 6 * 2 - 2) // 2, 90, 2, (255, 240, 160))
    write_png(os.path.join(DATA, "splash.png"), splash)

    menu = canvas(301, 151, (0, 0, 0))
    sky(menu, (60, 40, 90), (20, 20, 40))
    landscape(menu, 100, 6)
    text(menu, "VELDMARROW", 150 - (10 * 6 * 2 - 2) // 2, 30, 2, (255, 255, 255))
    write_bmp(os.path.join(DATA, "menu.bmp"), menu)

    icons = os.path.join(DATA, "icons")
    os.makedirs(icons, exist_ok=True)
    pngs = []
    for size in ICON_SIZES:
        data = png_bytes(icon(size))
        with open(os.path.join(icons, "veldmarrow-%d.png" % size), "wb") as f:
            f.write(data)
        pngs.append((size, data))
    write_ico(os.path.join(icons, "veldmarrow.ico"), pngs)


if __name__ == "__main__":
    import argparse
    argparse.ArgumentParser(description="Draws data/splash.png, data/menu.bmp and data/icons/ afresh.").parse_args()
    main()
