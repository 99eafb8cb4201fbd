#!/usr/bin/env python3
"""Draws the program's own pictures: data/splash.png (24-bit) and data/menu.bmp.

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


def write_png(path, img):
    h, w = len(img), len(img[0])
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in img)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


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


if __name__ == "__main__":
    import argparse
    argparse.ArgumentParser(description="Draws data/splash.png and data/menu.bmp afresh.").parse_args()
    main()
