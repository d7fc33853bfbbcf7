#!/usr/bin/env python3
"""Draws the program icon (a square wave on a dark tile) as resources/res/Logo.ico."""
import struct, sys, os

def tile(n):
    px = []
    for y in range(n):
        row = []
        for x in range(n):
            r = n / 8
            # rounded dark tile
            cx = min(x, n - 1 - x); cy = min(y, n - 1 - y)
            inside = not (cx < r and cy < r and (r - cx) ** 2 + (r - cy) ** 2 > r * r)
            if not inside:
                row.append((0, 0, 0, 0)); continue
            col = (0x2f, 0x2f, 0x2f, 255)
            # square wave: high at 1/4, low at 3/4, period n/2
            hi, lo = n // 4, (3 * n) // 4
            w = max(1, n // 16)
            period = n // 2
            phase = (x - n // 8) % period if x >= n // 8 and x < n - n // 8 else None
            if phase is not None:
                high = phase < period // 2
                yl = hi if high else lo
                if abs(y - yl) < w:
                    col = (0x1f, 0xcf, 0x1f, 255)
                if (phase == 0 or phase == period // 2) and hi - w < y < lo + w:
                    col = (0x1f, 0xcf, 0x1f, 255)
                if abs(x - (n // 8 + period // 2)) < w // 2 + 1 and x >= n // 8 and hi - w < y < lo + w:
                    col = (0x1f, 0xcf, 0x1f, 255)
            row.append(col)
        px.append(row)
    return px

def bmp_entry(n):
    px = tile(n)
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    data = b''.join(bytes((b, g, r, a)) for row in reversed(px) for (r, g, b, a) in row)
    mask_row = ((n + 31) // 32) * 4
    mask = b''.join(bytes(mask_row) for _ in range(n))
    return header + data + mask

sizes = [16, 32, 48]
images = [bmp_entry(n) for n in sizes]
out = struct.pack('<HHH', 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for n, img in zip(sizes, images):
    out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(img), offset)
    offset += len(img)
out += b''.join(images)
dst = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'resources', 'res', 'Logo.ico')
with open(dst, 'wb') as f:
    f.write(out)
