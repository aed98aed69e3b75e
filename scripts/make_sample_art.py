#!/usr/bin/env python3
"""Regenerate the wizard's bitmaps and the sample package's program icon.

Everything is drawn from code so the art can be rebuilt byte-for-byte
without an image editor. Run from anywhere: paths are relative to the repo.
"""
import os
import struct

from generated_files import write_if_changed

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RES = os.path.join(ROOT, "resources")

NAVY = (0x00, 0x00, 0x80)
WHITE = (0xFF, 0xFF, 0xFF)


def solid_bmp(rgb, size=16):
    """24-bit BI_RGB bitmap of one colour (bottom-up; rows padded to 4 bytes)."""
    stride = (size * 3 + 3) & ~3
    row = bytes((rgb[2], rgb[1], rgb[0])) * size + b"\0" * (stride - size * 3)
    pixels = row * size
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + pixels


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return ((px - ax - t * dx) ** 2 + (py - ay - t * dy) ** 2) ** 0.5


def in_rounded_square(x, y, r=0.2):
    # Unit square with corner radius r; clamp into the inner box and measure.
    cx, cy = min(max(x, r), 1 - r), min(max(y, r), 1 - r)
    return 0 <= x <= 1 and 0 <= y <= 1 and (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_glyph(x, y):
    # A bold "V": two strokes meeting at the bottom centre.
    half = 0.085
    return (seg_dist(x, y, 0.27, 0.24, 0.5, 0.76) <= half or
            seg_dist(x, y, 0.73, 0.24, 0.5, 0.76) <= half)


def icon_image(size, ss=4):
    """32-bit BGRA DIB (with AND mask) as stored inside an .ico file."""
    rows = []
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray(mask_stride * size)
    for y in range(size):
        row = bytearray()
        for x in range(size):
            # Supersample so the small sizes keep a clean outline.
            body = glyph = 0
            for sy in range(ss):
                for sx in range(ss):
                    u, v = (x + (sx + 0.5) / ss) / size, (y + (sy + 0.5) / ss) / size
                    if in_rounded_square(u, v):
                        body += 1
                        glyph += in_glyph(u, v)
            n = ss * ss
            g = glyph / body if body else 0
            r, gr, b = (round(NAVY[i] * (1 - g) + WHITE[i] * g) for i in range(3))
            alpha = round(255 * body / n)
            row += bytes((b, gr, r, alpha))
            if alpha == 0:
                # DIB rows are bottom-up, so is the mask.
                mask[(size - 1 - y) * mask_stride + x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(row))
    xor = b"".join(reversed(rows))
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                       len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + bytes(mask)


def ico(sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return out + b"".join(images)


def main():
    os.makedirs(os.path.join(RES, "sample-package"), exist_ok=True)
    write_if_changed(os.path.join(RES, "header.bmp"), solid_bmp(WHITE))
    write_if_changed(os.path.join(RES, "finish-background.bmp"), solid_bmp(WHITE))
    write_if_changed(os.path.join(RES, "finish-band.bmp"), solid_bmp(NAVY))
    write_if_changed(os.path.join(RES, "sample-package", "program.ico"), ico([48, 32, 16]))


if __name__ == "__main__":
    main()
