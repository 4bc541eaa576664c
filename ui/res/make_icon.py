#!/usr/bin/env python3
"""Draws the stub's application icon and writes it as a Windows .ico file.

The picture is a parcel (a rounded box with a lid band) and a white arrow pointing down out
of it: "unpack here". It is drawn from a few shapes with 8x8 supersampling at each size, so
every size is sharp rather than scaled. The images up to 48 pixels are 32-bit RGBA, the
256-pixel one a 4-bit palette image, all stored as PNG inside the .ico (Windows Vista and
later read PNG icon images of any size); PNG keeps them at a few hundred bytes each, where
uncompressed bitmaps would take some 280 KB of a stub that has to stay small.

Only the standard library is used, and the output is byte-for-byte reproducible:
    python3 ui/res/make_icon.py ui/res/app.ico
"""
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 256)
SUPERSAMPLE = 8
# Explorer's largest views show the 256-pixel image. At that size a pixel is small enough to
# need no smoothing, and without it the picture has five colours: a 4-bit palette image
# takes some 600 bytes where smoothed RGBA would take 2 KB.
PLAIN_SIZE = 256

LID = (0x3C, 0x8D, 0xDC)
BODY = (0x1F, 0x5B, 0xA8)
LID_EDGE = (0x16, 0x47, 0x88)    # the line under the lid
ARROW = (0xFF, 0xFF, 0xFF)


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_polygon(x, y, points):
    """Even-odd rule."""
    result = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


# Shapes in a unit square (0..1), y downwards.
ARROW_SHAPE = [(0.42, 0.20), (0.58, 0.20), (0.58, 0.52), (0.74, 0.52),
               (0.50, 0.80), (0.26, 0.52), (0.42, 0.52)]


def sample(u, v):
    """Colour and coverage (0 or 1) of one point of the unit square."""
    if inside_polygon(u, v, ARROW_SHAPE):
        return ARROW, 1.0
    if inside_rounded_rect(u, v, 0.06, 0.14, 0.94, 0.94, 0.10):
        if 0.33 <= v <= 0.37:
            return LID_EDGE, 1.0
        # Flat colours: they look clean at 16 pixels and compress to a few hundred bytes.
        return (LID if v < 0.35 else BODY), 1.0
    return (0, 0, 0), 0.0


def render(size, n=SUPERSAMPLE):
    rows = []
    for py in range(size):
        row = bytearray([0])  # PNG filter type 0 for this scanline
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(n):
                for sx in range(n):
                    colour, cover = sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    r += colour[0] * cover
                    g += colour[1] * cover
                    b += colour[2] * cover
                    a += cover
            if a:
                row += bytes((round(r / a), round(g / a), round(b / a), round(255 * a / (n * n))))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return b"".join(rows)


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(size, pixels):
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8 bits per channel, RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


def palette_png(size, pixels):
    """The same picture with 4-bit palette indexes (at most 16 colours), transparency from tRNS."""
    stride = 1 + 4 * size
    rows = [[bytes(pixels[y * stride + 1 + 4 * x:y * stride + 5 + 4 * x]) for x in range(size)] for y in range(size)]
    colours = sorted({c for row in rows for c in row})
    assert len(colours) <= 16
    index = {c: i for i, c in enumerate(colours)}
    data = b""
    for row in rows:
        line = bytearray([0])
        for x in range(0, size, 2):
            line.append(index[row[x]] << 4 | index[row[x + 1]])
        data += bytes(line)
    header = struct.pack(">IIBBBBB", size, size, 4, 3, 0, 0, 0)  # 4-bit palette indexes
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"PLTE", b"".join(c[:3] for c in colours)) + chunk(b"tRNS", bytes(c[3] for c in colours)) +
            chunk(b"IDAT", zlib.compress(data, 9)) + chunk(b"IEND", b""))


def ico(images):
    """ICONDIR, one ICONDIRENTRY per image (32 bits per pixel), then the PNG data."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    images = [(size, palette_png(size, render(size, 1)) if size == PLAIN_SIZE else png(size, render(size)))
              for size in SIZES]
    with open(sys.argv[1], "wb") as f:
        f.write(ico(images))


if __name__ == "__main__":
    main()
