#!/usr/bin/env python3
"""Writes the sample's sprites (32x32 PNG) next to this script. Standard library only."""
import os
import struct
import zlib

SIZE = 32


def png(path, pixel):
    """pixel(x, y) -> (r, g, b, a); writes an 8-bit RGBA PNG."""
    rows = b"".join(
        b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(SIZE)) for y in range(SIZE)
    )

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as file:
        file.write(data)


def player(x, y):
    # A round-cornered blue body with two eyes.
    corner = min(x, SIZE - 1 - x) + min(y, SIZE - 1 - y) < 4
    if corner:
        return (0, 0, 0, 0)
    if y in range(9, 14) and (x in range(9, 13) or x in range(19, 23)):
        return (255, 255, 255, 255)
    if x in (0, SIZE - 1) or y in (0, SIZE - 1):
        return (20, 40, 110, 255)
    return (60, 120, 230, 255)


def pickup(x, y):
    # A yellow diamond with a light centre.
    distance = abs(x - 15.5) + abs(y - 15.5)
    if distance > 14:
        return (0, 0, 0, 0)
    if distance < 5:
        return (255, 250, 190, 255)
    if distance > 12:
        return (170, 120, 0, 255)
    return (250, 200, 40, 255)


def wall(x, y):
    # Bricks: 16x8 with offset rows and dark mortar lines.
    row = y // 8
    shifted = x + (8 if row % 2 else 0)
    if y % 8 == 7 or shifted % 16 == 15:
        return (60, 45, 40, 255)
    shade = 10 if (shifted // 16 + row) % 2 else 0
    return (150 + shade, 80 + shade, 60, 255)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    png(os.path.join(here, "player.png"), player)
    png(os.path.join(here, "pickup.png"), pickup)
    png(os.path.join(here, "wall.png"), wall)
