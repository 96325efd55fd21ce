#!/usr/bin/env python3
"""Writes tests/data/text-metrics.txt: the size of texts in the default font, laid out
by the rules both the runtime and the script host follow (README, "Text layout").
A second reading of the font tables, independent of the C# one, standard library only.

    python3 tests/csharp/text-metrics.py          # rewrite the table
    python3 tests/csharp/text-metrics.py --check  # exit 1 when the table differs
"""
import math
import os
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FONT = os.path.join(ROOT, "engine", "fonts", "DejaVuSans.ttf")
TABLE = os.path.join(ROOT, "tests", "data", "text-metrics.txt")

# (size, text) with the text as a Python string; "\n" is a line break.
CASES = [
    (16, "Hello, World!"),
    (12, "Gems: 3/7"),
    (24, "Gems: 3/7"),
    (13.5, "Level 1"),
    (1, "tiny"),
    (512, "W"),
    (16, "two\nlines"),
    (16, "a\n\nwider third line"),
    (16, "trailing break\n"),
    (16, ""),
    (20, "caf\u00e9 cr\u00e8me"),
    (20, "\u4e2d"),             # CJK: not in DejaVu Sans, glyph 0's advance
    (20, "a\U0001F600b"),       # outside the BMP, present (an emoji)
    (20, "\U0001D400\U0001D401"),  # outside the BMP, missing (mathematical bold A, B)
    (16, "tab\there"),          # control characters take no room
    (16, "pipe | and back\\slash"),
    (32, "iiiiiiiiii"),
    (32, "MMMMMMMMMM"),
]


def read_font(path):
    data = open(path, "rb").read()
    count = struct.unpack(">H", data[4:6])[0]
    tables = {}
    for i in range(count):
        tag, _, offset, length = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
        tables[tag.decode("latin-1")] = data[offset:offset + length]
    units_per_em = struct.unpack(">H", tables["head"][18:20])[0]
    ascent, descent, line_gap = struct.unpack(">hhh", tables["hhea"][4:10])
    metrics = struct.unpack(">H", tables["hhea"][34:36])[0]
    glyphs = struct.unpack(">H", tables["maxp"][4:6])[0]
    hmtx = tables["hmtx"]
    advances = [struct.unpack(">H", hmtx[4 * min(g, metrics - 1):4 * min(g, metrics - 1) + 2])[0] for g in range(glyphs)]
    cmap = read_cmap(tables["cmap"])
    return units_per_em, ascent, descent, line_gap, advances, cmap


def read_cmap(table):
    """Every character to glyph pair of the best Unicode subtable (format 12, else 4)."""
    count = struct.unpack(">H", table[2:4])[0]
    best = None
    for i in range(count):
        platform, encoding, offset = struct.unpack(">HHI", table[4 + 8 * i:12 + 8 * i])
        if not (platform == 0 or (platform == 3 and encoding in (1, 10))):
            continue
        fmt = struct.unpack(">H", table[offset:offset + 2])[0]
        if fmt in (4, 12) and (best is None or fmt > best[0]):
            best = (fmt, offset)
    fmt, offset = best
    sub = table[offset:]
    mapping = {}
    if fmt == 12:
        groups = struct.unpack(">I", sub[12:16])[0]
        for g in range(groups):
            start, end, glyph = struct.unpack(">III", sub[16 + 12 * g:28 + 12 * g])
            for c in range(start, end + 1):
                mapping[c] = glyph + c - start
        return mapping
    segments = struct.unpack(">H", sub[6:8])[0] // 2
    ends = struct.unpack(">%dH" % segments, sub[14:14 + 2 * segments])
    starts = struct.unpack(">%dH" % segments, sub[16 + 2 * segments:16 + 4 * segments])
    deltas = struct.unpack(">%dh" % segments, sub[16 + 4 * segments:16 + 6 * segments])
    range_at = 16 + 6 * segments
    ranges = struct.unpack(">%dH" % segments, sub[range_at:range_at + 2 * segments])
    for s in range(segments):
        for c in range(starts[s], ends[s] + 1):
            if c == 0xFFFF:
                continue
            if ranges[s] == 0:
                glyph = (c + deltas[s]) & 0xFFFF
            else:
                at = range_at + 2 * s + ranges[s] + 2 * (c - starts[s])
                glyph = struct.unpack(">H", sub[at:at + 2])[0]
                glyph = (glyph + deltas[s]) & 0xFFFF if glyph else 0
            if glyph:
                mapping[c] = glyph
    return mapping


def c_round(value):
    return math.floor(value + 0.5) if value >= 0 else math.ceil(value - 0.5)


def measure(font, size, text):
    units_per_em, ascent, descent, line_gap, advances, cmap = font
    scale = size / units_per_em
    line_height = c_round((ascent - descent + line_gap) * scale)
    widths = []
    for line in text.split("\n"):
        units = sum(advances[cmap.get(ord(c), 0)] for c in line if ord(c) >= 0x20)
        widths.append(math.ceil(units * scale))
    return max(widths), len(widths) * line_height


def escape(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n")


def number(value):
    return str(int(value)) if value == int(value) else repr(value)


def table():
    font = read_font(FONT)
    lines = [
        "# Sizes of texts in engine/fonts/DejaVuSans.ttf, laid out as README \"Text layout\" says.",
        "# Written by tests/csharp/text-metrics.py. One case per line: size|width|height|text,",
        "# the text escaped as on the wire (\\n a line break, \\\\ a backslash); it may hold '|'.",
        "# Other characters appear as they are (UTF-8; the tab too). Widths and heights are whole pixels.",
    ]
    for size, text in CASES:
        width, height = measure(font, size, text)
        lines.append("%s|%d|%d|%s" % (number(size), width, height, escape(text)))
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    text = table()
    if "--check" in sys.argv:
        current = open(TABLE, encoding="utf-8").read() if os.path.exists(TABLE) else ""
        sys.exit(0 if current == text else 1)
    with open(TABLE, "w", encoding="utf-8", newline="\n") as file:
        file.write(text)
    sys.stdout.write(text)
