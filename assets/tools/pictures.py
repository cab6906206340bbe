#!/usr/bin/python3
"""Build helper for render.sh (Valdrynix Plim setup pictures).

Sub-commands (all paths are files):
  photo  SRC.png OUT.jpg [FLIPPED.jpg]  scale a 4x SVG render down to
                                        165 x 129, add film grain, save JPEG
                                        (and the upside-down copy)
  jpeg   SRC.png OUT.jpg                plain high-quality JPEG
  cutout SRC.png W H OUT.gif            scale an RGBA render down, save a
                                        GIF89a with a 256-entry palette and
                                        one transparent index
  ico    OUT.ico SRC.xpm [SRC.xpm ...]  4-bpp icon, one image per XPM
  cur    OUT.cur SRC.xpm                4-bpp cursor, hot spot from the XPM

The XPM sources may use only the 16 VGA colours and "None" (transparent).
Needs python3-pil.
"""
import random
import re
import struct
import sys

from PIL import Image, ImageFilter

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
       (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
       (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
       (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]

RESAMPLE = getattr(Image, "Resampling", Image).LANCZOS
FLIP = getattr(Image, "Transpose", Image).FLIP_TOP_BOTTOM


# ---------------------------------------------------------------- photos

def grain(im, seed, mono=2.6, chroma=0.8):
    """Add deterministic gaussian film grain to an RGB image."""
    rnd = random.Random(seed)
    px = im.load()
    w, h = im.size
    for y in range(h):
        for x in range(w):
            r, g, b = px[x, y]
            n = rnd.gauss(0, mono)
            px[x, y] = tuple(max(0, min(255, int(round(v + n + rnd.gauss(0, chroma)))))
                             for v in (r, g, b))
    return im


def save_jpeg(im, path, quality):
    im.save(path, "JPEG", quality=quality, subsampling=0, optimize=True)


def cmd_photo(src, out, flipped=None):
    im = Image.open(src).convert("RGB")
    im = im.resize((165, 129), RESAMPLE)
    im = im.filter(ImageFilter.GaussianBlur(0.3))
    im = grain(im, seed=1995)
    save_jpeg(im, out, 92)
    if flipped:
        save_jpeg(im.transpose(FLIP), flipped, 92)


def cmd_jpeg(src, out):
    save_jpeg(Image.open(src).convert("RGB"), out, 95)


def cmd_cutout(src, w, h, out):
    im = Image.open(src).convert("RGBA").resize((int(w), int(h)), RESAMPLE)
    alpha = im.getchannel("A")
    opaque = [a >= 128 for a in alpha.getdata()]
    rgb = im.convert("RGB")
    # Paint the transparent area with an opaque colour so it takes no
    # palette entries of its own, then quantise to 255 colours.
    fill = next(c for c, o in zip(rgb.getdata(), opaque) if o)
    rgb.putdata([c if o else fill for c, o in zip(rgb.getdata(), opaque)])
    q = rgb.quantize(colors=255, method=Image.MEDIANCUT, dither=Image.NONE)
    pal = q.getpalette()[:255 * 3]
    pal += [0] * (255 * 3 - len(pal))
    pal += [255, 0, 255]                 # index 255: transparent
    TRANSPARENT = 255
    q.putdata([i if o else TRANSPARENT for i, o in zip(q.getdata(), opaque)])
    q.putpalette(pal)
    q.save(out, "GIF", transparency=TRANSPARENT, optimize=False)


# ----------------------------------------------------------- icons/cursor

def read_xpm(path):
    """Return (width, height, hotspot or None, rows of palette indices or None)."""
    text = open(path).read()
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    strings = re.findall(r'"([^"]*)"', text)
    head = strings[0].split()
    w, h, ncolors, cpp = map(int, head[:4])
    hot = (int(head[4]), int(head[5])) if len(head) >= 6 else None
    cmap = {}
    for line in strings[1:1 + ncolors]:
        key, rest = line[:cpp], line[cpp:].split()
        colour = rest[rest.index("c") + 1]
        if colour.lower() == "none":
            cmap[key] = None
        else:
            rgb = tuple(int(colour[i:i + 2], 16) for i in (1, 3, 5))
            if rgb not in VGA:
                sys.exit("%s: colour %s is not in the VGA palette" % (path, colour))
            cmap[key] = VGA.index(rgb)
    rows = []
    for line in strings[1 + ncolors:1 + ncolors + h]:
        if len(line) != w * cpp:
            sys.exit("%s: pixel row has the wrong length" % path)
        rows.append([cmap[line[i:i + cpp]] for i in range(0, w * cpp, cpp)])
    if len(rows) != h:
        sys.exit("%s: expected %d pixel rows" % (path, h))
    return w, h, hot, rows


def dib_4bpp(w, h, rows):
    """BITMAPINFOHEADER + palette + XOR bitmap + AND mask, bottom-up."""
    xor_stride = ((w * 4 + 31) // 32) * 4
    and_stride = ((w + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, idx in enumerate(row):
            if idx is None:                   # transparent: AND 1, XOR black
                bits[x // 8] |= 0x80 >> (x % 8)
                idx = 0
            line[x // 2] |= idx << (4 if x % 2 == 0 else 0)
        xor += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA)
    return header + palette + bytes(xor) + bytes(mask)


def write_icon_file(out, images, kind):
    """images: list of (w, h, hotspot, rows); kind 1 = icon, 2 = cursor."""
    blobs = [dib_4bpp(w, h, rows) for w, h, _, rows in images]
    data = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for (w, h, hot, _), blob in zip(images, blobs):
        if kind == 2:
            f1, f2 = hot                       # cursor: hot spot x, y
        else:
            f1, f2 = 1, 4                      # icon: planes, bits per pixel
        data += struct.pack("<BBBBHHII", w % 256, h % 256, 16, 0, f1, f2,
                            len(blob), offset)
        offset += len(blob)
    with open(out, "wb") as f:
        f.write(data + b"".join(blobs))


def cmd_ico(out, *sources):
    write_icon_file(out, [read_xpm(s) for s in sources], 1)


def cmd_cur(out, source):
    img = read_xpm(source)
    if img[2] is None:
        sys.exit("%s: no hot spot in the XPM header" % source)
    write_icon_file(out, [img], 2)


COMMANDS = {"photo": cmd_photo, "jpeg": cmd_jpeg, "cutout": cmd_cutout,
            "ico": cmd_ico, "cur": cmd_cur}

if __name__ == "__main__":
    if len(sys.argv) < 2 or sys.argv[1] not in COMMANDS:
        sys.exit(__doc__)
    COMMANDS[sys.argv[1]](*sys.argv[2:])
