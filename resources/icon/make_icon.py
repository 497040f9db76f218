#!/usr/bin/env python3
"""Draws the installer's icon: a strapped archive box whose arrow points down
into an open folder. Writes a 16-colour .ico with a 32 x 32 and a 16 x 16
image, each drawn for its own size rather than scaled.

Usage: make_icon.py OUT.ico
"""
import struct
import sys

# The standard 16-colour palette, in its usual order (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY = 0, 1, 2, 3, 4
SILVER, GREY, LIME, YELLOW, BLUE, WHITE = 7, 8, 10, 11, 12, 15
CLEAR = None


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[CLEAR] * size for _ in range(size)]

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.pixels[y][x] = colour

    def box(self, x0, y0, x1, y1, inside, edge):
        self.fill(x0, y0, x1, y1, edge)
        if x1 - x0 >= 2 and y1 - y0 >= 2:
            self.fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, inside)


def draw_large():
    c = Canvas(32)
    # Folder: back with its tab, then the front flap, lower right.
    c.box(8, 15, 17, 18, YELLOW, OLIVE)
    c.box(8, 17, 30, 30, YELLOW, OLIVE)
    c.box(10, 20, 31, 31, YELLOW, OLIVE)
    c.fill(11, 21, 30, 21, WHITE)
    # Archive box, upper left, with a strap and a lid edge.
    c.box(1, 1, 14, 12, SILVER, BLACK)
    c.fill(2, 4, 13, 4, GREY)
    c.fill(7, 1, 8, 12, MAROON)
    # Arrow from the box down into the folder.
    c.fill(19, 4, 22, 15, GREEN)
    c.fill(15, 5, 18, 8, GREEN)
    for step in range(6):
        c.fill(15 + step, 16 + step, 26 - step, 16 + step, LIME if step else GREEN)
    c.fill(20, 16, 21, 21, GREEN)
    return c


def draw_small():
    c = Canvas(16)
    c.box(4, 8, 8, 9, YELLOW, OLIVE)
    c.box(4, 9, 15, 15, YELLOW, OLIVE)
    c.fill(5, 11, 14, 11, WHITE)
    c.box(0, 0, 7, 6, SILVER, BLACK)
    c.fill(3, 0, 4, 6, MAROON)
    c.fill(10, 2, 11, 7, GREEN)
    c.fill(8, 2, 9, 3, GREEN)
    for step in range(3):
        c.fill(8 + step, 8 + step, 13 - step, 8 + step, GREEN)
    return c


def rows_bottom_up(canvas, bits_per_pixel, value_of):
    stride = ((canvas.size * bits_per_pixel + 31) // 32) * 4
    data = b""
    for y in reversed(range(canvas.size)):
        bits = 0
        for x in range(canvas.size):
            bits = (bits << bits_per_pixel) | value_of(canvas.pixels[y][x])
        row = bits.to_bytes(canvas.size * bits_per_pixel // 8, "big")
        data += row + b"\0" * (stride - len(row))
    return data


def image(canvas):
    colours = rows_bottom_up(canvas, 4, lambda p: 0 if p is CLEAR else p)
    mask = rows_bottom_up(canvas, 1, lambda p: 1 if p is CLEAR else 0)
    header = struct.pack("<IiiHHIIiiII", 40, canvas.size, canvas.size * 2, 1, 4, 0,
                         len(colours) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + colours + mask


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUT.ico")
    images = [(32, image(draw_large())), (16, image(draw_small()))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
