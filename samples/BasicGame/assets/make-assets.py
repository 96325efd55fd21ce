#!/usr/bin/env python3
"""Writes the sample's sprites (32x32 PNG, the player's sheet 4 frames of 32x32 in a
row) and sounds next to this script. Standard library only; the Ogg Vorbis music is
encoded with oggenc (Debian: vorbis-tools) when it is installed, otherwise the
committed music.ogg is kept."""
import math
import os
import shutil
import struct
import subprocess
import tempfile
import zlib

SIZE = 32


def png(path, pixel, width=SIZE, height=SIZE):
    """pixel(x, y) -> (r, g, b, a); writes an 8-bit RGBA PNG."""
    rows = b"".join(
        b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height)
    )

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
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


def player_sheet(x, y):
    # Four walking frames facing right, 32x32 each: the body bobs by a pixel and the
    # feet take turns stepping out, one of them lifted. Frame 0 stands.
    frame, x = divmod(x, SIZE)
    y -= (0, 1, 0, 1)[frame]
    feet_top = SIZE - 5
    if y < 0:
        return (0, 0, 0, 0)
    if y >= feet_top:
        back, front = ((6, 13), (18, 25)) if frame in (0, 2) else ((3, 10), (21, 28))
        lifted = y >= feet_top + 3
        if back[0] <= x < back[1] and not (frame == 3 and lifted):
            return (20, 40, 110, 255)
        if front[0] <= x < front[1] and not (frame == 1 and lifted):
            return (20, 40, 110, 255)
        return (0, 0, 0, 0)
    # The body: a box from (2, 2) to (29, feet_top - 1) with cut corners.
    inside_x = min(x - 2, SIZE - 3 - x)
    inside_y = min(y - 2, feet_top - 1 - y)
    if inside_x < 0 or inside_y < 0 or inside_x + inside_y < 3:
        return (0, 0, 0, 0)
    if y in range(8, 14) and (x in range(13, 18) or x in range(21, 26)):
        pupil = y in range(10, 13) and (x in range(15, 18) or x in range(23, 26))
        return (10, 10, 30, 255) if pupil else (255, 255, 255, 255)
    if inside_x == 0 or inside_y == 0:
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


SOUND_RATE = 22050


def wav(path, samples, rate=SOUND_RATE):
    """samples: floats in -1..1, mono; writes 16-bit PCM."""
    frames = b"".join(struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32767)) for s in samples)
    header = b"RIFF" + struct.pack("<I", 36 + len(frames)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16)
    with open(path, "wb") as file:
        file.write(header + b"data" + struct.pack("<I", len(frames)) + frames)


def pickup_sound():
    # Two rising square-ish blips with a quick decay: a classic coin sound.
    samples = []
    for frequency, length in ((988, 0.06), (1319, 0.18)):
        count = int(SOUND_RATE * length)
        for index in range(count):
            t = index / SOUND_RATE
            envelope = (1 - index / count) ** 2
            tone = math.sin(2 * math.pi * frequency * t) + 0.3 * math.sin(6 * math.pi * frequency * t)
            samples.append(0.45 * envelope * tone)
    return samples


def music_loop():
    # Eight bars of a soft arpeggio (A minor, F, C, G), 4 s, loops seamlessly.
    chords = ((220.0, 261.63, 329.63), (174.61, 220.0, 261.63), (130.81, 164.81, 196.0), (196.0, 246.94, 293.66))
    note = 0.125
    samples = []
    for chord in chords:
        for step in range(8):
            frequency = chord[step % 3] * (2 if step >= 6 else 1)
            count = int(SOUND_RATE * note)
            for index in range(count):
                t = index / SOUND_RATE
                envelope = min(1.0, index / 200) * math.exp(-3 * index / count)
                samples.append(0.2 * envelope * math.sin(2 * math.pi * frequency * t))
    return samples


def ogg(path, samples):
    """Encodes samples with oggenc; False (nothing written) when it is not installed."""
    encoder = shutil.which("oggenc")
    if encoder is None:
        return False
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, "music.wav")
        wav(source, samples)
        subprocess.run([encoder, "--quiet", "-q", "2", "-o", path, source], check=True)
    return True


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    png(os.path.join(here, "player.png"), player)
    png(os.path.join(here, "player-sheet.png"), player_sheet, width=4 * SIZE)
    png(os.path.join(here, "pickup.png"), pickup)
    png(os.path.join(here, "wall.png"), wall)
    wav(os.path.join(here, "pickup.wav"), pickup_sound())
    if not ogg(os.path.join(here, "music.ogg"), music_loop()):
        print("oggenc not found (Debian: vorbis-tools); keeping the committed music.ogg")
