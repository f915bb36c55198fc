#!/usr/bin/env python3
"""Draw the QbxMender application icon (red repair cross on a white octagon)
and write it as a classic 16-colour .ico with 1-bit transparency masks.

Usage: draw_icon.py OUT.ico [PREVIEW_DIR]

The file is built byte by byte rather than with ImageMagick because its ICO
writer emits 32-bit or PNG entries, which Windows 2000/XP cannot show.
If PREVIEW_DIR is given, 8x enlarged PPM previews of every size go there.
"""

import os
import struct
import sys

# Standard 16-colour VGA palette; the index order is what Windows expects
# for a 4-bit icon, so the colours stay exact on 16-colour displays too.
VGA = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARKRED, SILVER, GREY, RED, WHITE = 0, 1, 7, 8, 9, 15

# Characters used in the pixel maps; '.' is transparent.
KEY = {'.': None, 'g': GREY, 's': SILVER, 'w': WHITE, 'r': RED, 'd': DARKRED}

# The 16x16 image is drawn by hand so every pixel sits on the grid:
# 1-pixel grey rim with true 45-degree corners, 4-pixel-wide cross.
ICON16 = """
....gggggggg....
...gwwwwwwwwg...
..gwwwwwwwwwwg..
.gwwwwrrrrwwwwg.
gwwwwwrrrrwwwwwg
gwwwwwrrrrwwwwwg
gwwrrrrrrrrrrwwg
gwwrrrrrrrrrrwwg
gwwrrrrrrrrrrwwg
gwwrrrrrrrrrrwwg
gwwwwwrrrrwwwwwg
gwwwwwrrrrwwwwwg
.gwwwwrrrrwwwwg.
..gwwwwwwwwwwg..
...gwwwwwwwwg...
....gggggggg....
"""


def parse_map(text):
    rows = [line for line in text.split('\n') if line]
    return [[KEY[ch] for ch in row] for row in rows]


def draw(size, cut, arm_lo, arm_hi, reach):
    """Octagon with corner cut `cut`, cross arms covering [arm_lo, arm_hi]
    across and [reach, size-1-reach] along."""
    last = size - 1

    def inside(x, y):
        if not (0 <= x <= last and 0 <= y <= last):
            return False
        return (x + y >= cut and (last - x) + y >= cut
                and x + (last - y) >= cut and (last - x) + (last - y) >= cut)

    img = [[None] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            if not inside(x, y):
                continue
            # Rim: inside pixels touching the outside edge-on.  Using only
            # the four direct neighbours keeps the diagonals one pixel thin.
            rim = not all(inside(x + dx, y + dy)
                          for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            if rim:
                img[y][x] = GREY
                continue
            across_v = arm_lo <= x <= arm_hi and reach <= y <= last - reach
            across_h = arm_lo <= y <= arm_hi and reach <= x <= last - reach
            img[y][x] = RED if (across_v or across_h) else WHITE
    return img


def icon_entry(img):
    """BITMAPINFOHEADER + palette + 4-bit XOR bitmap + 1-bit AND mask."""
    size = len(img)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(img):             # DIBs are stored bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, idx in enumerate(row):
            if idx is None:
                bits[x // 8] |= 0x80 >> (x % 8)   # 1 = screen shows through
                idx = BLACK                       # keep XOR black there
            if x % 2 == 0:
                line[x // 2] |= idx << 4
            else:
                line[x // 2] |= idx
        xor += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in VGA)
    return header + palette + bytes(xor) + bytes(mask)


def write_ico(path, images):
    entries = [icon_entry(img) for img in images]
    out = bytearray(struct.pack('<HHH', 0, 1, len(entries)))
    offset = 6 + 16 * len(entries)
    for img, data in zip(images, entries):
        size = len(img)
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4,
                           len(data), offset)
        offset += len(data)
    for data in entries:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


def write_preview(path, img, scale=8, backdrop=(0x3A, 0x6E, 0xA5)):
    """Enlarged PPM; transparent pixels show a checkerboard on the backdrop."""
    size = len(img)
    pix = bytearray()
    for y in range(size * scale):
        for x in range(size * scale):
            idx = img[y // scale][x // scale]
            if idx is None:
                dark = ((x // 4) + (y // 4)) % 2
                pix += bytes(c - 24 if dark else c for c in backdrop)
            else:
                pix += bytes(VGA[idx])
    with open(path, 'wb') as f:
        f.write(b'P6\n%d %d\n255\n' % (size * scale, size * scale))
        f.write(pix)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit('usage: draw_icon.py OUT.ico [PREVIEW_DIR]')
    icon16 = parse_map(ICON16)
    assert len(icon16) == 16 and all(len(r) == 16 for r in icon16)
    # Every size Windows asks for at 96, 120, 144 and 192 DPI: small icons
    # of 16, 20, 24 and 32, large ones of 32, 40, 48 and 64 pixels. The arms
    # are a quarter of the size wide, rounded to keep the cross centred.
    drawn = {
        20: draw(20, cut=6, arm_lo=7, arm_hi=12, reach=4),
        24: draw(24, cut=7, arm_lo=9, arm_hi=14, reach=4),
        32: draw(32, cut=9, arm_lo=12, arm_hi=19, reach=5),
        40: draw(40, cut=12, arm_lo=15, arm_hi=24, reach=6),
        48: draw(48, cut=14, arm_lo=18, arm_hi=29, reach=7),
        64: draw(64, cut=19, arm_lo=24, arm_hi=39, reach=10),
    }
    # 32x32 first: it is the size the shell and most tools look for.
    images = [drawn[32], icon16] + [drawn[n] for n in (20, 24, 40, 48, 64)]
    write_ico(sys.argv[1], images)
    if len(sys.argv) == 3:
        for img in images:
            n = len(img)
            write_preview(os.path.join(sys.argv[2], 'icon%d.ppm' % n), img)


if __name__ == '__main__':
    main()
