#!/usr/bin/env python3
"""Draws the program icon: a page cut into two numbered halves.

Writes one 32 x 32 image at 8 bits per pixel (a 256-colour palette) as a .ico file,
with no libraries beyond Python's own. Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

SIZE = 32

# Palette indices; index 0 is only ever shown through the transparency mask.
CLEAR, OUTLINE, PAPER, FOLD, LINE, TOP, BOTTOM, CUT = range(8)
COLOURS = {
    CLEAR: (0, 0, 0),
    OUTLINE: (48, 56, 72),
    PAPER: (250, 250, 246),
    FOLD: (200, 206, 216),
    LINE: (150, 160, 176),
    TOP: (66, 133, 214),
    BOTTOM: (236, 138, 44),
    CUT: (214, 40, 40),
}

LEFT, RIGHT = 6, 25
TOP_Y, BOTTOM_Y = 2, 29
GAP = (15, 16)  # the rows where the page is cut apart
CORNER = 6  # the folded corner at the top right


def draw():
    pixels = [[CLEAR] * SIZE for _ in range(SIZE)]
    for y in range(TOP_Y, BOTTOM_Y + 1):
        if y in GAP:
            continue
        # The lower half is moved right a little, as if it had been pulled away.
        shift = 2 if y > GAP[1] else 0
        for x in range(LEFT, RIGHT + 1):
            fold_x = RIGHT - CORNER + (y - TOP_Y)
            if y < TOP_Y + CORNER and x > fold_x:
                continue  # cut off by the folded corner
            edge = (
                x in (LEFT, RIGHT)
                or y in (TOP_Y, BOTTOM_Y, GAP[0] - 1, GAP[1] + 1)
                or (y < TOP_Y + CORNER and x == fold_x)
            )
            colour = OUTLINE if edge else PAPER
            if y <= TOP_Y + CORNER and x >= RIGHT - CORNER and x <= fold_x:
                # The flap folded down over the page.
                flap_edge = x == RIGHT - CORNER or y == TOP_Y + CORNER or x == fold_x
                colour = OUTLINE if flap_edge else FOLD
            pixels[y][min(x + shift, SIZE - 1)] = colour
    # A coloured band and ruled lines in each half.
    for y in (5, 8, 11):
        for x in range(LEFT + 3, RIGHT - 3 - (CORNER if y == 5 else 0)):
            pixels[y][x] = TOP if y == 5 else LINE
    for y in (19, 22, 25):
        for x in range(LEFT + 5, RIGHT - 1):
            pixels[y][x] = BOTTOM if y == 19 else LINE
    # The dashed cut line across the gap, reaching past the page on both sides.
    for x in range(1, SIZE - 1):
        if x % 4 < 2:
            pixels[GAP[0]][x] = CUT
            pixels[GAP[1]][x] = CUT
    return pixels


def icon_bytes(pixels):
    palette = b"".join(
        struct.pack("<BBBB", *reversed(COLOURS.get(i, (0, 0, 0))), 0) for i in range(256)
    )
    rows = list(reversed(pixels))  # bitmaps are stored bottom-up
    colour = b"".join(bytes(row) for row in rows)
    mask = b""
    for row in rows:
        bits = 0
        for x, index in enumerate(row):
            if index == CLEAR:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    header = struct.pack(
        "<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, len(colour) + len(mask), 0, 0, 256, 0
    )
    image = header + palette + colour + mask
    assert len(image) == 2216, len(image)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack(
        "<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16
    )
    return directory + image


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    with open(sys.argv[1], "wb") as out:
        out.write(icon_bytes(draw()))


if __name__ == "__main__":
    main()
