#!/usr/bin/env python3
"""Draws the two program icons as 16-colour .ico files (32x32 and 16x16 each).

main.ico:   a sheet of paper with lines of text and a pencil; the window icon.
second.ico: the same sheet without the pencil, for documents.

Run from anywhere: python3 res/make_icons.py. The output is deterministic.
"""
import os
import struct

# The standard 16-colour palette, so the icons look the same on every display.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, GRAY, SILVER, WHITE, YELLOW, RED, OLIVE = 0, 4, 8, 7, 15, 11, 9, 3
CLEAR = None


def draw_sheet(size, pencil):
    px = [[CLEAR] * size for _ in range(size)]
    s = size / 32.0
    left, right = round(5 * s), round(26 * s)
    top, bottom = round(1 * s), round(30 * s)
    fold = max(3, round(7 * s))
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x - (right - fold) > y - top:      # cut-off corner
                continue
            edge = x in (left, right) or y in (top, bottom)
            px[y][x] = BLACK if edge else WHITE
    for i in range(fold + 1):                      # the fold's crease and flap
        px[top + i][right - fold + i] = BLACK
        px[top + fold][right - fold + i] = BLACK
        px[top + i][right - fold] = BLACK
        for x in range(right - fold + 1, right - fold + i):
            px[top + i][x] = SILVER
    step = 3 if size >= 32 else 2
    y = top + fold + (2 if size >= 32 else 2)
    n = 0
    while y < bottom - 1:
        end = right - 2 - (round(6 * s) if n % 3 == 2 else 0)
        for x in range(left + 2, end + 1):
            px[y][x] = NAVY
        y += step
        n += 1
    if pencil:
        length = round(15 * s)
        x0, y0 = size - 2, size - 2 - length
        for i in range(length):
            x, y = x0 - i, y0 + i
            if y >= size or x < 0:
                break
            body = RED if i < 2 else (OLIVE if i >= length - 3 else YELLOW)
            if i >= length - 1:
                body = BLACK
            for dx in range(-1, 2) if size >= 32 else range(0, 1):
                if 0 <= x + dx < size:
                    px[y][x + dx] = BLACK if dx == 1 else body   # dark outline on one side
    return px


def bmp_entry(px):
    size = len(px)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(xor_row)
        mrow = bytearray(and_row)
        for x in range(size):
            c = px[y][x]
            if c is None:
                mrow[x // 8] |= 0x80 >> (x % 8)
                c = 0
            row[x // 2] |= c << (4 if x % 2 == 0 else 0)
        xor += row
        mask += mrow
    return header + palette + bytes(xor) + bytes(mask)


def write_ico(path, images):
    data = [bmp_entry(px) for px in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for px, blob in zip(images, data):
        size = len(px)
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    with open(path, 'wb') as f:
        f.write(out + b''.join(data))


if __name__ == '__main__':
    here = os.path.dirname(os.path.abspath(__file__))
    write_ico(os.path.join(here, 'main.ico'), [draw_sheet(32, True), draw_sheet(16, True)])
    write_ico(os.path.join(here, 'second.ico'), [draw_sheet(32, False), draw_sheet(16, False)])
