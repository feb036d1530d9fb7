#!/usr/bin/env python3
"""Draws icons/marrowtone-48.png, the raster twin of icons/marrowtone.svg.

The shapes are all axis-aligned, so they are drawn directly with 4x4
supersampling; no SVG renderer is needed."""
import struct
import zlib

SIZE, SS = 48, 4


def inside_round_rect(x, y, x0, y0, w, h, r):
    if not (x0 <= x <= x0 + w and y0 <= y <= y0 + h):
        return False
    cx = min(max(x, x0 + r), x0 + w - r)
    cy = min(max(y, y0 + r), y0 + h - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


# The pulse wave as a polyline, stroked 3 wide with round joins.
wave = [(7, 31), (11, 31), (11, 17), (15, 17), (15, 31), (23, 31), (23, 17), (27, 17),
        (27, 31), (35, 31), (35, 17), (39, 17), (39, 31), (41, 31)]


def on_wave(x, y):
    for (ax, ay), (bx, by) in zip(wave, wave[1:]):
        px = min(max(x, min(ax, bx)), max(ax, bx))
        py = min(max(y, min(ay, by)), max(ay, by))
        if (x - px) ** 2 + (y - py) ** 2 <= 1.5 ** 2:
            return True
    return False


def colour(x, y):
    if on_wave(x, y):
        return (0xF2, 0xC1, 0x4E, 255)
    if inside_round_rect(x, y, 7, 36, 34, 3, 1.5):
        return (0x8F, 0xA3, 0xC9, 255)
    if inside_round_rect(x, y, 2, 2, 44, 44, 9):
        t = (y - 2) / 44
        top, bottom = (0x3B, 0x4A, 0x6B), (0x1D, 0x24, 0x36)
        return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom)) + (255,)
    return (0, 0, 0, 0)


rows = []
for py in range(SIZE):
    row = bytearray([0])
    for px in range(SIZE):
        acc = [0, 0, 0, 0]
        for sy in range(SS):
            for sx in range(SS):
                c = colour(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS)
                for i in range(3):
                    acc[i] += c[i] * c[3]
                acc[3] += c[3]
        a = acc[3]
        rgb = [round(acc[i] / a) if a else 0 for i in range(3)]
        row += bytes(rgb + [round(a / (SS * SS))])
    rows.append(bytes(row))


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
with open(__file__.rsplit("/", 1)[0] + "/marrowtone-48.png", "wb") as f:
    f.write(png)
