#!/bin/bash
# Redraws qbxmender.ico (icon 128, 16 to 64 pixels) and notice.bmp (bitmap
# 129, the driver warning hint) with python3 and ImageMagick 6, byte-for-byte
# repeatably, then checks both are in the old formats that Windows 2000/XP
# resources need.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fonts=/usr/share/fonts/truetype/dejavu
sans=$fonts/DejaVuSans.ttf
bold=$fonts/DejaVuSans-Bold.ttf
for f in "$sans" "$bold"; do
    [ -r "$f" ] || { echo "missing font $f (apt-get install fonts-dejavu-core)" >&2; exit 1; }
done

# --- icon ------------------------------------------------------------------
python3 "$here/draw_icon.py" "$here/qbxmender.ico" ${IMG_PREVIEW:+"$tmp"}
# Previews for whoever edits the pictures: IMG_PREVIEW=dir ./draw-images.sh
if [ -n "${IMG_PREVIEW:-}" ]; then
    for n in 16 20 24 32 40 48 64; do
        convert "$tmp/icon$n.ppm" "$IMG_PREVIEW/icon$n-8x.png"
    done
fi

# --- notice.bmp ------------------------------------------------------------
# A Windows XP "Hardware Installation" prompt, redrawn at 300x237, with the
# "Continue Anyway" button ringed in red so users know which one to press.
link='(Why is this testing important?)'
# MVG's own underline comes out blurred, so draw a 1-pixel line as long as
# the rendered link text instead.
link_end=$(convert -size 300x20 xc:white -font "$sans" -pointsize 9 -fill black \
    -annotate +48+12 "$link" -trim -format '%[fx:page.x+w-1]' info:)
mvg=$(cat <<EOF
push defs
push gradient 'title' linear 0,1 0,21
stop-color '#3D8EF9' 0
stop-color '#0A5CEB' 0.25
stop-color '#0055E5' 0.7
stop-color '#0041C8' 1
pop gradient
push gradient 'close' linear 0,3 0,18
stop-color '#F0A58A' 0
stop-color '#E2582D' 0.45
stop-color '#C2380E' 1
pop gradient
push gradient 'button' linear 0,205 0,223
stop-color '#FFFFFF' 0
stop-color '#F3F2EE' 0.6
stop-color '#D9D4C8' 1
pop gradient
pop defs

# window frame; the bottom is pushed off-canvas so only the top is rounded
push graphic-context
fill '#0055E5'
stroke '#0030A0'
stroke-width 1
roundrectangle 0.5,0.5 298.5,250 7,7
pop graphic-context
push graphic-context
fill '#0030A0'
rectangle 0,236 299,236
pop graphic-context

# title bar
push graphic-context
fill 'url(#title)'
roundrectangle 1,1 298,21 6,6
rectangle 1,12 298,21
pop graphic-context

# client area
push graphic-context
fill '#ECE9D8'
stroke '#0041C8'
stroke-width 1
rectangle 3.5,21.5 295.5,232.5
pop graphic-context

# title text with its shadow
push graphic-context
font '$bold'
font-size 10
fill '#0A246A'
text 9,16 'Hardware Installation'
fill '#FFFFFF'
text 8,15 'Hardware Installation'
pop graphic-context

# close button
push graphic-context
fill 'url(#close)'
stroke '#FFFFFF'
stroke-width 1
roundrectangle 277.5,3.5 293.5,18.5 2,2
pop graphic-context
push graphic-context
stroke '#FFFFFF'
stroke-width 2
line 282,8 289,15
line 289,8 282,15
pop graphic-context

# warning triangle
push graphic-context
fill '#FFD21F'
stroke '#8C6A00'
stroke-width 1.5
stroke-linejoin round
polygon 24,30 41,59 7,59
pop graphic-context
push graphic-context
fill '#000000'
rectangle 23,39 25,50
rectangle 23,53 25,55
pop graphic-context

# message
push graphic-context
font '$sans'
font-size 9
fill '#000000'
text 48,38 'The software you are installing for this hardware:'
text 48,78 'has not passed Windows Logo testing to verify its'
text 48,90 'compatibility with Windows XP.'
fill '#0000FF'
text 48,105 '$link'
pop graphic-context
push graphic-context
stroke '#0000FF'
stroke-width 1
line 48,106.5 $link_end,106.5
pop graphic-context
push graphic-context
font '$bold'
font-size 9
fill '#000000'
text 64,58 'QX-R310/R520 USB Port (VTMfcusb)'
font-size 8
text 48,126 'Continuing your installation of this software may'
text 48,137 'impair or destabilize the correct operation of your'
text 48,148 'system. Stop now and ask the hardware vendor for'
text 48,159 'software that has passed Windows Logo testing.'
pop graphic-context

# buttons; STOP Installation is the default one, hence the blue inner edge
push graphic-context
fill 'url(#button)'
stroke '#003C74'
stroke-width 1
roundrectangle 88.5,205.5 179.5,223.5 3,3
roundrectangle 194.5,205.5 285.5,223.5 3,3
pop graphic-context
push graphic-context
fill none
stroke '#A9C6F6'
stroke-width 1
roundrectangle 195.5,206.5 284.5,222.5 2,2
stroke '#6D96E8'
roundrectangle 196.5,207.5 283.5,221.5 1,1
pop graphic-context
push graphic-context
font '$sans'
font-size 9
fill '#000000'
text-anchor middle
text 134,218 'Continue Anyway'
text 240,218 'STOP Installation'
pop graphic-context

# red hint: ring, label and arrow
push graphic-context
fill none
stroke '#E00000'
stroke-width 2
ellipse 134,214.5 56,17 0,360
line 44,186 74,206
pop graphic-context
push graphic-context
fill '#E00000'
polygon 81,211 70.8,209.9 76.6,201.7
font '$bold'
font-size 11
text 12,181 'Click here'
pop graphic-context
EOF
)

convert -size 300x237 xc:'#FFFFFF' -draw "$mvg" \
    +dither -colors 256 -depth 8 +set comment "$tmp/notice.ppm"
if [ -n "${IMG_PREVIEW:-}" ]; then
    convert "$tmp/notice.ppm" -scale 200% "$IMG_PREVIEW/notice-2x.png"
fi

python3 - "$tmp/notice.ppm" "$here/notice.bmp" <<'EOF'
# Pack the drawing as an uncompressed 8-bit BMP with a 256-entry palette.
# ImageMagick would drop to 4 bits if the picture ever had <= 16 colours.
import struct, sys
src, dst = sys.argv[1], sys.argv[2]
data = open(src, 'rb').read()
fields = data.split(maxsplit=4)
assert fields[0] == b'P6' and fields[3] == b'255', 'unexpected PPM from convert'
w, h = int(fields[1]), int(fields[2])
raw = fields[4]
assert len(raw) == w * h * 3
pixels = [raw[i:i + 3] for i in range(0, len(raw), 3)]
count = {}
for p in pixels:
    count[p] = count.get(p, 0) + 1
if len(count) > 256:
    sys.exit('%d colours after quantising; expected at most 256' % len(count))
palette = sorted(count, key=lambda p: (-count[p], p))
index = {p: i for i, p in enumerate(palette)}
palette += [b'\0\0\0'] * (256 - len(palette))
stride = (w + 3) & ~3
bits = bytearray()
for y in range(h - 1, -1, -1):
    row = bytes(index[p] for p in pixels[y * w:(y + 1) * w])
    bits += row + b'\0' * (stride - w)
colours = b''.join(bytes((p[2], p[1], p[0], 0)) for p in palette)
offset = 14 + 40 + len(colours)
info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 8, 0, len(bits),
                   2835, 2835, 256, 0)
with open(dst, 'wb') as f:
    f.write(struct.pack('<2sIHHI', b'BM', offset + len(bits), 0, 0, offset))
    f.write(info + colours + bits)
EOF

# --- format check ----------------------------------------------------------
python3 - "$here/notice.bmp" "$here/qbxmender.ico" <<'EOF'
import struct, sys
bmp_path, ico_path = sys.argv[1], sys.argv[2]
bad = []

b = open(bmp_path, 'rb').read()
magic, fsize, _, _, off = struct.unpack_from('<2sIHHI', b, 0)
size, w, h, planes, bpp, comp, _, _, _, used, _ = struct.unpack_from('<IiiHHIIiiII', b, 14)
stride = (w + 3) & ~3
if magic != b'BM' or fsize != len(b):
    bad.append('notice.bmp: not a BMP or wrong file size')
if (size, w, h, planes, bpp, comp) != (40, 300, 237, 1, 8, 0):
    bad.append('notice.bmp: header is %r, want 40-byte header, 300x237, '
               '1 plane, 8 bpp, BI_RGB' % ((size, w, h, planes, bpp, comp),))
if used not in (0, 256) or off != 14 + 40 + 256 * 4 or off + stride * h != len(b):
    bad.append('notice.bmp: palette or pixel data misplaced')

d = open(ico_path, 'rb').read()
reserved, kind, n = struct.unpack_from('<HHH', d, 0)
if (reserved, kind) != (0, 1):
    bad.append('qbxmender.ico: not an icon file')
seen = set()
for i in range(n):
    bw, bh, ncol, _, _, _, length, pos = struct.unpack_from('<BBBBHHII', d, 6 + 16 * i)
    px = (bw or 256)
    img = d[pos:pos + length]
    if img[:8] == b'\x89PNG\r\n\x1a\n':
        bad.append('qbxmender.ico: %dx%d entry is PNG' % (px, px))
        continue
    hs, iw, ih, ip, ibpp, icomp = struct.unpack_from('<IiiHHI', img, 0)
    xor = ((iw * 4 + 31) // 32) * 4 * iw
    mask = ((iw + 31) // 32) * 4 * iw
    if (hs, iw, ih, ip, ibpp, icomp, ncol) != (40, px, 2 * px, 1, 4, 0, 16) \
            or bh != bw or length != 40 + 16 * 4 + xor + mask \
            or pos + length > len(d):
        bad.append('qbxmender.ico: %dx%d entry is not 16 colours with an AND mask' % (px, px))
        continue
    if not any(img[40 + 64 + xor:]):
        bad.append('qbxmender.ico: %dx%d mask is empty (no transparency)' % (px, px))
    seen.add(px)
for want in (16, 20, 24, 32, 40, 48, 64):
    if want not in seen:
        bad.append('qbxmender.ico: no %dx%d 16-colour image' % (want, want))

for msg in bad:
    print(msg, file=sys.stderr)
if bad:
    sys.exit(1)
print('notice.bmp: 300x237, 8 bpp, BI_RGB, 256-colour palette')
print('qbxmender.ico: %s, 4 bpp with AND masks' % ', '.join('%dx%d' % (s, s) for s in sorted(seen)))
EOF
