#!/usr/bin/env python3
"""Draws the program's own pointer files: resources/HAND-M.CUR (the hand over
the buttons) and resources/drag.ico (the pointer while dragging an entry).
Plain 32x32 pixel shapes, white with a black outline, written as 32-bit
cursor and icon files. The files are committed; run this only to redraw them."""
import struct
from pathlib import Path

SIZE = 32


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r + 0.5
    return inside


def polygon(points):
    def inside(x, y):
        px, py = x + 0.5, y + 0.5
        hit = False
        for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
            if (ay > py) != (by > py) and px < ax + (py - ay) * (bx - ax) / (by - ay):
                hit = not hit
        return hit
    return inside


def render(shapes):
    mask = [[any(s(x, y) for s in shapes) for x in range(SIZE)] for y in range(SIZE)]
    pixels = [[None] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            if not mask[y][x]:
                continue
            edge = any(not (0 <= x + dx < SIZE and 0 <= y + dy < SIZE and mask[y + dy][x + dx])
                       for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            pixels[y][x] = (0, 0, 0) if edge else (255, 255, 255)
    return pixels


def write_icon(path, pixels, cursor_hotspot=None):
    xor = bytearray()
    for row in reversed(pixels):
        for p in row:
            xor += bytes((p[2], p[1], p[0], 255)) if p else bytes(4)
    and_mask = bytearray()
    for row in reversed(pixels):
        bits = 0
        for x, p in enumerate(row):
            if p is None:
                bits |= 1 << (31 - x)
        and_mask += struct.pack('>I', bits)
    image = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image += xor + and_mask
    kind = 2 if cursor_hotspot else 1
    planes, bits = cursor_hotspot if cursor_hotspot else (1, 32)
    header = struct.pack('<HHH', 0, kind, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, planes, bits, len(image), 6 + 16)
    Path(path).write_bytes(header + entry + image)


hand = render([
    rounded_rect(10, 1, 15, 18, 2),    # the pointing finger
    rounded_rect(15, 10, 19, 20, 2),   # the folded fingers
    rounded_rect(19, 11, 23, 20, 2),
    rounded_rect(23, 12, 27, 21, 2),
    rounded_rect(10, 15, 27, 29, 4),   # the palm
    polygon([(4, 17), (7, 15), (12, 21), (11, 25)]),  # the thumb
])
drag = render([
    polygon([(16, 1), (24, 9), (19, 9), (19, 23), (24, 23), (16, 31), (8, 23), (13, 23), (13, 9), (8, 9)]),
    rounded_rect(2, 14, 30, 18, 1),
])

root = Path(__file__).resolve().parent.parent / 'resources'
root.mkdir(exist_ok=True)
write_icon(root / 'HAND-M.CUR', hand, cursor_hotspot=(12, 1))
write_icon(root / 'drag.ico', drag)
print('wrote', root / 'HAND-M.CUR', root / 'drag.ico')
