#!/usr/bin/env python3
"""Writes the small images the renderer tests draw (tests/data/).

Only the standard library is used, so the images can be rebuilt anywhere:
    python3 scripts/make-test-images.py
"""
import os
import struct
import sys
import zlib

DATA_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data")


def png_chunk(kind, payload):
    body = kind + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def rgba_png(rows):
    """rows: list of rows, each a list of (r, g, b, a) tuples; all rows equally long."""
    height = len(rows)
    width = len(rows[0])
    raw = bytearray()
    for row in rows:
        if len(row) != width:
            raise ValueError("ragged image")
        raw.append(0)  # filter type None
        for pixel in row:
            raw.extend(bytes(pixel))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
            + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


RED = (255, 0, 0, 255)
GREEN = (0, 255, 0, 255)
BLUE = (0, 0, 255, 255)
WHITE = (255, 255, 255, 255)
CLEAR = (0, 0, 0, 0)

IMAGES = {
    # Four colours, one per quadrant when stretched.
    "quad.png": [[RED, GREEN], [BLUE, WHITE]],
    # Top-right texel fully transparent.
    "alpha.png": [[RED, CLEAR], [BLUE, WHITE]],
}

# Exists, has an image name, but is not an image.
NOT_AN_IMAGE = ("not-an-image.png", b"This file is text, not a PNG.\n")


def main():
    os.makedirs(DATA_DIR, exist_ok=True)
    for name, rows in IMAGES.items():
        with open(os.path.join(DATA_DIR, name), "wb") as out:
            out.write(rgba_png(rows))
    name, content = NOT_AN_IMAGE
    with open(os.path.join(DATA_DIR, name), "wb") as out:
        out.write(content)
    return 0


if __name__ == "__main__":
    sys.exit(main())
