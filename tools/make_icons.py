#!/usr/bin/env python3
"""make_icons.py - draws the installer's two icons and writes them as .ico files.

Each icon is a single 32 x 32 image in the 16-colour (4 bits per pixel) palette
with its transparency mask: "CARGO", a wooden crate, and "QUARNEL", a stylised Q.
Run it from anywhere; it rewrites src/res/cargo.ico and src/res/quarnel.ico.
"""
import math
import os
import struct

SIZE = 32
CLEAR = None  # a transparent pixel

# The classic 16-colour palette, in its usual order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_RED, DARK_YELLOW, DARK_BLUE = 0, 1, 3, 4
GREY, DARK_GREY, RED, YELLOW, BLUE, WHITE = 7, 8, 9, 11, 12, 15


def blank():
    return [[CLEAR] * SIZE for _ in range(SIZE)]


def fill(img, x0, y0, x1, y1, colour):
    """Fills the rectangle x0..x1, y0..y1 (inclusive, top-down rows)."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = colour


def draw_crate():
    """A crate seen from the front: a light frame, dark planks behind it and
    a diagonal brace, with nails at the frame's corners."""
    img = blank()
    left, top, right, bottom = 2, 4, 29, 29
    fill(img, left, top, right, bottom, BLACK)
    fill(img, left + 1, top + 1, right - 1, bottom - 1, DARK_YELLOW)
    # Gaps between the horizontal planks.
    for y in range(top + 6, bottom - 3, 5):
        fill(img, left + 1, y, right - 1, y, BLACK)
    # The frame: four boards around the edge.
    fill(img, left + 1, top + 1, right - 1, top + 3, YELLOW)
    fill(img, left + 1, bottom - 3, right - 1, bottom - 1, YELLOW)
    fill(img, left + 1, top + 1, left + 3, bottom - 1, YELLOW)
    fill(img, right - 3, top + 1, right - 1, bottom - 1, YELLOW)
    for x in range(left, right + 1):
        img[top + 4][x] = BLACK if left + 4 <= x <= right - 4 else img[top + 4][x]
        img[bottom - 4][x] = BLACK if left + 4 <= x <= right - 4 else img[bottom - 4][x]
    for y in range(top + 4, bottom - 3):
        img[y][left + 4] = BLACK
        img[y][right - 4] = BLACK
    # The brace from the lower left to the upper right inside the frame.
    inner_l, inner_r = left + 5, right - 5
    inner_t, inner_b = top + 5, bottom - 5
    span = inner_r - inner_l
    for i in range(span + 1):
        x = inner_l + i
        yc = inner_b - round(i * (inner_b - inner_t) / span)
        for dy in (-2, 2):
            if inner_t <= yc + dy <= inner_b:
                img[yc + dy][x] = BLACK
        for dy in (-1, 0, 1):
            if inner_t <= yc + dy <= inner_b:
                img[yc + dy][x] = YELLOW
    # Nails.
    for x, y in ((left + 2, top + 2), (right - 2, top + 2),
                 (left + 2, bottom - 2), (right - 2, bottom - 2)):
        img[y][x] = DARK_GREY
    return img


def draw_q():
    """A thick blue ring with a dark outline and a red tail across its lower right."""
    img = blank()
    cx, cy = 15.5, 14.5
    for y in range(SIZE):
        for x in range(SIZE):
            r = math.hypot(x - cx, y - cy)
            if 8.0 <= r <= 13.5:
                img[y][x] = DARK_BLUE if r < 9.0 or r > 12.5 else BLUE
    # The tail: a thick stroke from inside the ring out past its edge.
    for t in range(0, 101):
        px = 17 + t * 0.12
        py = 17 + t * 0.12
        for dx in range(-2, 3):
            for dy in range(-2, 3):
                x, y = int(round(px + dx)), int(round(py + dy))
                if 0 <= x < SIZE and 0 <= y < SIZE:
                    edge = abs(dx - dy) >= 3
                    img[y][x] = DARK_RED if edge else RED
    return img


def ico_bytes(img):
    """One-image .ico: header, directory entry, BITMAPINFOHEADER (double
    height for colour + mask), palette, 4 bpp colour rows and 1 bpp mask
    rows, both bottom-up."""
    xor = bytearray()
    mask = bytearray()
    for row in reversed(img):
        for x in range(0, SIZE, 2):
            a = row[x] if row[x] is not CLEAR else 0
            b = row[x + 1] if row[x + 1] is not CLEAR else 0
            xor.append((a << 4) | b)
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is CLEAR else 0)
        mask += struct.pack(">I", bits)  # 32 pixels: one 4-byte row, no padding
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return icondir + entry + image


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(root, "src", "res")
    os.makedirs(out, exist_ok=True)
    for name, img in (("cargo.ico", draw_crate()), ("quarnel.ico", draw_q())):
        with open(os.path.join(out, name), "wb") as f:
            f.write(ico_bytes(img))


if __name__ == "__main__":
    main()
