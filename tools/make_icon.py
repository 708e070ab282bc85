#!/usr/bin/env python3
"""Draws the program's icon, a red "no entry" sign, and writes resources/app.ico.

The file holds nine images, in this order, each a DIB with an AND mask (no PNG):
32x32 1 bpp, 48x48 4 bpp, 48x48 8 bpp, 32x32 8 bpp, 16x16 8 bpp, and
128x128, 48x48, 32x32, 16x16 at 32 bpp. The output is the same bytes on every
run, so `make_icon.py --check FILE` can tell whether FILE is up to date.

Usage: make_icon.py [OUTPUT]        (default: resources/app.ico beside this tool)
       make_icon.py --check FILE    (exit status 1 when FILE differs)
"""
import math
import pathlib
import struct
import sys

IMAGES = [(32, 1), (48, 4), (48, 8), (32, 8), (16, 8), (128, 32), (48, 32), (32, 32), (16, 32)]

RING = (0x7F, 0x00, 0x00)
WHITE = (0xFF, 0xFF, 0xFF)


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def sample(x, y, flat):
    """Colour and coverage (0 or 1) of the point (x, y) of the unit square.
    `flat` fills the disc with one colour, which a small palette keeps clean."""
    dx, dy = x - 0.5, y - 0.5
    r = math.hypot(dx, dy)
    if r > 0.47:
        return (0, 0, 0), 0
    if r > 0.47 - 0.055:
        return RING, 1
    half_w, half_h = 0.29, 0.085
    # The bar: a rectangle with rounded ends.
    ex = max(abs(dx) - (half_w - half_h), 0.0)
    if math.hypot(ex, dy) <= half_h:
        return WHITE, 1
    if flat:
        return (0xD8, 0x20, 0x20), 1
    return lerp((0xEF, 0x45, 0x3A), (0xB0, 0x15, 0x15), (y - 0.03) / 0.94), 1


def render(size, samples, flat):
    """Rows of (r, g, b, a) pixels, top row first, `samples`^2 samples a pixel."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            covered = 0
            for sy in range(samples):
                for sx in range(samples):
                    colour, cover = sample((px + (sx + 0.5) / samples) / size,
                                           (py + (sy + 0.5) / samples) / size, flat)
                    if cover:
                        covered += 1
                        for i in range(3):
                            acc[i] += colour[i]
            n = samples * samples
            if covered:
                colour = tuple(round(c / covered) for c in acc)
            else:
                colour = (0, 0, 0)
            row.append(colour + (round(255 * covered / n),))
        rows.append(row)
    return rows


def vga_palette():
    return [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
            (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
            (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def palette_for(bpp):
    if bpp == 1:
        return [(0, 0, 0), (255, 255, 255)]
    if bpp == 4:
        return vga_palette()
    cube = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    greys = [(v, v, v) for v in range(8, 248, 10)]
    return vga_palette() + cube + greys  # 16 + 216 + 24 = 256


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))


def pack_bits(values, bpp):
    """One row of `bpp`-bit values, most significant bits first, padded to 4 bytes."""
    out = bytearray()
    acc, filled = 0, 0
    for v in values:
        acc = (acc << bpp) | v
        filled += bpp
        if filled == 8:
            out.append(acc)
            acc, filled = 0, 0
    if filled:
        out.append(acc << (8 - filled))
    while len(out) % 4:
        out.append(0)
    return bytes(out)


def dib(size, bpp):
    """BITMAPINFOHEADER, palette, colour rows and AND-mask rows (bottom-up)."""
    rows = render(size, 1 if bpp == 1 else 4, flat=bpp <= 8)
    opaque = [[px[3] >= 128 for px in row] for row in rows]
    palette = palette_for(bpp) if bpp <= 8 else []
    colour_rows = []
    for y, row in enumerate(rows):
        if bpp == 32:
            line = b"".join(bytes((b, g, r, a)) if a else b"\0\0\0\0" for r, g, b, a in row)
        else:
            # Transparent pixels are black in the colour image: the screen shows through.
            line = pack_bits([nearest(palette, px[:3]) if opaque[y][x] else 0
                              for x, px in enumerate(row)], bpp)
        colour_rows.append(line)
    mask_rows = [pack_bits([0 if o else 1 for o in row], 1) for row in opaque]
    pixels = b"".join(reversed(colour_rows)) + b"".join(reversed(mask_rows))
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bpp, 0, len(pixels), 0, 0,
                         len(palette), 0)
    return header + b"".join(bytes((b, g, r, 0)) for r, g, b in palette) + pixels


def icon_file():
    images = [(size, bpp, dib(size, bpp)) for size, bpp in IMAGES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, bpp, data in images:
        colours = {1: 2, 4: 16}.get(bpp, 0)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return bytes(out)


def main(argv):
    default = pathlib.Path(__file__).resolve().parent.parent / "resources" / "app.ico"
    if argv[1:2] == ["--check"]:
        return 0 if pathlib.Path(argv[2]).read_bytes() == icon_file() else 1
    target = pathlib.Path(argv[1]) if len(argv) > 1 else default
    target.write_bytes(icon_file())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
