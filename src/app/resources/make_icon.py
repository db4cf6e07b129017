#!/usr/bin/env python3
"""Writes quendrel.ico: 32 x 32, 16 colours (a barcode over a blue tag)."""
import struct
import sys

# The 16-colour VGA palette, as (R, G, B).
PALETTE = [(0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
           (128, 128, 0), (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0),
           (0, 255, 255), (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255)]
BLACK, NAVY, WHITE, BLUE, YELLOW = 0, 1, 15, 9, 14   # palette indexes

def pixel(x, y):
    """Colour index at (x, y), y from the top; None for transparent."""
    if x < 1 or x > 30 or y < 3 or y > 28:
        return None
    if x in (1, 30) or y in (3, 28):
        return NAVY
    if y < 8:
        return BLUE
    if 10 <= y <= 23 and 4 <= x <= 27:
        bars = [1, 0, 1, 1, 0, 1, 0, 0, 1, 1, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 0, 1]
        return BLACK if bars[x - 4] else WHITE
    if y >= 25 and 4 <= x <= 27 and x % 3 == 1:
        return BLACK
    return WHITE

def main(path):
    w = h = 32
    xor = bytearray()
    andmask = bytearray()
    for row in range(h - 1, -1, -1):  # bottom-up
        line = bytearray()
        mask_bits = 0
        for x in range(0, w, 2):
            a, b = pixel(x, row), pixel(x + 1, row)
            line.append(((a or 0) << 4) | (b or 0))
        for x in range(w):
            mask_bits = (mask_bits << 1) | (1 if pixel(x, row) is None else 0)
        xor += line
        andmask += struct.pack(">I", mask_bits)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0, len(xor) + len(andmask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", bgr[2], bgr[1], bgr[0], 0) for bgr in PALETTE)
    image = header + palette + bytes(xor) + bytes(andmask)
    icondir = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 16, 0, 1, 4, len(image), 22)
    with open(path, "wb") as f:
        f.write(icondir + image)

if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "quendrel.ico")
