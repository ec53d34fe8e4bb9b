#!/usr/bin/env python3
"""Generate small PNG, BMP, TGA and JPEG files into fuzz/corpus/image/.

They seed the image fuzzer with the layouts the sample textures do not cover, and the image
tests read them. Every file shows the same 16x16 picture: four solid quadrants, red at the
top left, green at the top right, blue at the bottom left and white at the bottom right,
the white half transparent in the files that carry alpha. Pure standard library; reruns
are byte-identical.
"""

import math
import os
import struct
import zlib

OUT_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fuzz", "corpus", "image")

SIZE = 16
QUADRANTS = ((255, 0, 0, 255), (0, 255, 0, 255), (0, 0, 255, 255), (255, 255, 255, 128))


def rgba(x, y):
    return QUADRANTS[(2 if y >= SIZE // 2 else 0) + (1 if x >= SIZE // 2 else 0)]


def pixel(x, y):
    return rgba(x, y)[:3]


# --------------------------------------------------------------------------
# PNG: 8-bit RGBA, 16-bit RGBA, and a palette with alpha in tRNS
# --------------------------------------------------------------------------

def _chunk(tag, data):
    body = tag + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(depth, colour_type, row, extra=b""):
    """row(y) gives the samples of one row; every row is written unfiltered."""
    raw = b"".join(b"\0" + row(y) for y in range(SIZE))
    ihdr = struct.pack(">IIBBBBB", SIZE, SIZE, depth, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", ihdr) + extra
            + _chunk(b"IDAT", zlib.compress(raw, 9)) + _chunk(b"IEND", b""))


def png_rgba():
    return png(8, 6, lambda y: bytes(c for x in range(SIZE) for c in rgba(x, y)))


def png_rgba16():
    # Each sample twice over: 0xABAB reads back as 0xAB however the decoder drops the low byte.
    return png(16, 6, lambda y: bytes(c for x in range(SIZE) for c in rgba(x, y) for _ in range(2)))


def png_palette():
    palette = _chunk(b"PLTE", b"".join(bytes(q[:3]) for q in QUADRANTS))
    alpha = _chunk(b"tRNS", bytes(q[3] for q in QUADRANTS))
    return png(8, 3, lambda y: bytes(QUADRANTS.index(rgba(x, y)) for x in range(SIZE)), palette + alpha)


# --------------------------------------------------------------------------
# BMP: 24-bit, bottom row first or top row first
# --------------------------------------------------------------------------

def bmp(top_down=False):
    row_bytes = (SIZE * 3 + 3) & ~3
    rows = bytearray()
    for y in (range(SIZE) if top_down else reversed(range(SIZE))):
        row = bytearray()
        for x in range(SIZE):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        rows += row + bytes(row_bytes - len(row))
    height = -SIZE if top_down else SIZE  # a negative height puts the top row first
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return header + info + rows


# --------------------------------------------------------------------------
# TGA: run-length true colour (bottom-left origin), colour-mapped (top-left origin), and
# 32-bit with alpha (bottom-left origin)
# --------------------------------------------------------------------------

def tga_rle():
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, SIZE, SIZE, 24, 0)
    data = bytearray()
    for y in reversed(range(SIZE)):
        # Each row is two runs of eight; runs never cross a row.
        for x0 in (0, SIZE // 2):
            r, g, b = pixel(x0, y)
            data += bytes((0x80 | (SIZE // 2 - 1), b, g, r))
    return header + data


def tga_alpha():
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, SIZE, SIZE, 32, 8)
    data = b"".join(bytes((b, g, r, a)) for y in reversed(range(SIZE)) for r, g, b, a in
                    (rgba(x, y) for x in range(SIZE)))
    return header + data


def tga_mapped():
    header = struct.pack("<BBBHHBHHHHBB", 0, 1, 1, 0, len(QUADRANTS), 24, 0, 0, SIZE, SIZE, 8, 0x20)
    palette = b"".join(bytes((b, g, r)) for r, g, b, _ in QUADRANTS)
    indices = bytes(QUADRANTS.index(rgba(x, y)) for y in range(SIZE) for x in range(SIZE))
    return header + palette + indices


# --------------------------------------------------------------------------
# JPEG: baseline, 4:4:4, every quantiser 1 so the decoded colours stay within a few steps
# --------------------------------------------------------------------------

ZIGZAG = sorted(((x, y) for y in range(8) for x in range(8)),
                key=lambda p: (p[0] + p[1], p[0] if (p[0] + p[1]) % 2 == 0 else p[1]))


def fdct(block):
    out = [[0.0] * 8 for _ in range(8)]
    for v in range(8):
        for u in range(8):
            s = 0.0
            for y in range(8):
                for x in range(8):
                    s += (block[y][x] * math.cos((2 * x + 1) * u * math.pi / 16)
                          * math.cos((2 * y + 1) * v * math.pi / 16))
            cu = 1 / math.sqrt(2) if u == 0 else 1.0
            cv = 1 / math.sqrt(2) if v == 0 else 1.0
            out[v][u] = 0.25 * cu * cv * s
    return out


def category(value):
    return abs(value).bit_length()


def magnitude_bits(value, size):
    return value if value >= 0 else value + (1 << size) - 1


def block_symbols(coefficients, previous_dc):
    """(symbol, extra bits, extra size) for the DC table and the AC table of one block."""
    zz = [int(round(coefficients[y][x])) for x, y in ZIGZAG]
    diff = zz[0] - previous_dc
    dc = [(category(diff), magnitude_bits(diff, category(diff)), category(diff))]
    ac, run = [], 0
    for value in zz[1:]:
        if value == 0:
            run += 1
            continue
        while run > 15:
            ac.append((0xF0, 0, 0))
            run -= 16
        size = category(value)
        ac.append(((run << 4) | size, magnitude_bits(value, size), size))
        run = 0
    if run:
        ac.append((0x00, 0, 0))
    return dc, ac, zz[0]


def fixed_length_table(symbols):
    """Codes of one length for every used symbol; short enough that no code is all ones."""
    symbols = sorted(set(symbols))
    length = max(1, len(symbols).bit_length())
    counts = [0] * 16
    counts[length - 1] = len(symbols)
    codes = {s: (i, length) for i, s in enumerate(symbols)}
    return counts, symbols, codes


class BitWriter:
    def __init__(self):
        self.out, self.acc, self.n = bytearray(), 0, 0

    def put(self, value, size):
        for i in reversed(range(size)):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0)  # byte stuffing
                self.acc, self.n = 0, 0

    def flush(self):
        while self.n:
            self.put(1, 1)
        return bytes(self.out)


def segment(marker, payload):
    return struct.pack(">BBH", 0xFF, marker, len(payload) + 2) + payload


def jpeg():
    ycc = []
    for y in range(SIZE):
        for x in range(SIZE):
            r, g, b = pixel(x, y)
            ycc.append((0.299 * r + 0.587 * g + 0.114 * b,
                        -0.168736 * r - 0.331264 * g + 0.5 * b + 128,
                        0.5 * r - 0.418688 * g - 0.081312 * b + 128))
    blocks = []  # in scan order: per 8x8 MCU, one block per component
    previous = [0, 0, 0]
    for by in range(0, SIZE, 8):
        for bx in range(0, SIZE, 8):
            for c in range(3):
                block = [[ycc[(by + y) * SIZE + bx + x][c] - 128 for x in range(8)] for y in range(8)]
                dc, ac, previous[c] = block_symbols(fdct(block), previous[c])
                blocks.append((dc, ac))
    dc_counts, dc_symbols, dc_codes = fixed_length_table(s for dc, _ in blocks for s, _, _ in dc)
    ac_counts, ac_symbols, ac_codes = fixed_length_table(s for _, ac in blocks for s, _, _ in ac)

    bits = BitWriter()
    for dc, ac in blocks:
        for (symbol, extra, size), codes in [(d, dc_codes) for d in dc] + [(a, ac_codes) for a in ac]:
            bits.put(*codes[symbol])
            bits.put(extra, size)

    app0 = segment(0xE0, b"JFIF\0" + struct.pack(">BBBHHBB", 1, 1, 0, 1, 1, 0, 0))
    dqt = segment(0xDB, bytes([0]) + bytes([1] * 64))
    sof = segment(0xC0, struct.pack(">BHHB", 8, SIZE, SIZE, 3) + bytes((1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0)))
    dht = (segment(0xC4, bytes([0x00]) + bytes(dc_counts) + bytes(dc_symbols))
           + segment(0xC4, bytes([0x10]) + bytes(ac_counts) + bytes(ac_symbols)))
    sos = segment(0xDA, bytes((3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 63, 0)))
    return b"\xFF\xD8" + app0 + dqt + sof + dht + sos + bits.flush() + b"\xFF\xD9"


SEEDS = [
    ("quadrants.png", png_rgba),
    ("quadrants-16bit.png", png_rgba16),
    ("quadrants-palette.png", png_palette),
    ("quadrants.bmp", bmp),
    ("quadrants-top-down.bmp", lambda: bmp(top_down=True)),
    ("quadrants-rle.tga", tga_rle),
    ("quadrants-mapped.tga", tga_mapped),
    ("quadrants-alpha.tga", tga_alpha),
    ("quadrants.jpg", jpeg),
]


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    for name, fn in SEEDS:
        data = fn()
        with open(os.path.join(OUT_DIR, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
