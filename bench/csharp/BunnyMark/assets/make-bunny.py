#!/usr/bin/env python3
"""Writes bunny.png: a 16x16 RGBA sprite, opaque inside and fully transparent
around its outline, as pixel art usually is (both the opaque and the skip path of
a renderer's blending are exercised)."""
import os
import struct
import zlib

SIZE = 16


def pixel(x, y):
    ears = y < 6 and (x in (4, 5, 10, 11))
    body = 6 <= y < 15 and 2 <= x < 14 and not ((y in (6, 14)) and (x in (2, 13)))
    if not (ears or body):
        return (0, 0, 0, 0)
    if body and y == 9 and x in (5, 10):
        return (20, 20, 30, 255)   # eyes
    return (236, 228, 220, 255) if (x + y) % 5 else (200, 190, 180, 255)


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(SIZE)) for y in range(SIZE))
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)) +
       chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "bunny.png"), "wb") as f:
    f.write(png)
