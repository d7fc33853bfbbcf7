#!/usr/bin/env python3
"""Draws the 16 x 16 icons of the channel rows (settings button, trigger
buttons and their selected forms) and of the side panel's counters and
marker pairs as PNG files in resources/res/."""
import math, os, struct, zlib

N = 16
LIGHT = (0xdf, 0xdf, 0xdf, 255)
WHITE = (0xff, 0xff, 0xff, 255)
DIM = (0x8f, 0x8f, 0x8f, 255)
NONE = (0, 0, 0, 0)


def png(path, px):
    raw = b''.join(b'\0' + bytes(c for p in row for c in p) for row in px)
    def chunk(t, d):
        return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    data = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', N, N, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))
    with open(path, 'wb') as f:
        f.write(data)


def canvas():
    return [[NONE] * N for _ in range(N)]


def hline(px, y, x0, x1, c):
    for x in range(x0, x1 + 1):
        px[y][x] = c


def vline(px, x, y0, y1, c):
    for y in range(min(y0, y1), max(y0, y1) + 1):
        px[y][x] = c


def edge(rising, c):
    px = canvas()
    lo, hi = 12, 3
    hline(px, lo if rising else hi, 2, 7, c)
    vline(px, 7, hi, lo, c)
    hline(px, hi if rising else lo, 7, 13, c)
    # arrow head on the edge, pointing the way it goes
    y = 6 if rising else 9
    d = 1 if rising else -1
    for k in (1, 2):
        px[y + d * k][7 - k] = c
        px[y + d * k][7 + k] = c
    return px


def level(high, c):
    px = canvas()
    hline(px, 4 if high else 11, 2, 13, c)
    for x in range(2, 14, 2):
        px[11 if high else 4][x] = DIM
    return px


def gear(c):
    px = canvas()
    cx = cy = 7.5
    for y in range(N):
        for x in range(N):
            dx, dy = x - cx, y - cy
            r = math.hypot(dx, dy)
            a = math.atan2(dy, dx)
            tooth = math.cos(a * 8) > 0.3
            if 2.0 <= r <= 4.8 or (tooth and 4.8 < r <= 6.6):
                px[y][x] = c
    return px


def pulse(positive, c):
    px = canvas()
    base, top = (12, 3) if positive else (3, 12)
    hline(px, base, 1, 4, c)
    vline(px, 4, base, top, c)
    hline(px, top, 4, 11, c)
    vline(px, 11, top, base, c)
    hline(px, base, 11, 14, c)
    return px


def marker_head(c):
    # A marker's head, a box with a point downwards, over its line.
    px = canvas()
    for y in range(1, 6):
        hline(px, y, 3, 12, c)
    for k in range(3):
        hline(px, 6 + k, 4 + k, 11 - k, c)
    vline(px, 7, 9, 15, c)
    vline(px, 8, 9, 15, c)
    return px


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'resources', 'res')
    png(os.path.join(out, 'btnSetting.png'), gear(LIGHT))
    for name, fn in (('btnPosEdge', lambda c: edge(True, c)), ('btnNegEdge', lambda c: edge(False, c)),
                     ('btnHighLevel', lambda c: level(True, c)), ('btnLowLevel', lambda c: level(False, c))):
        png(os.path.join(out, name + '.png'), fn(LIGHT))
        png(os.path.join(out, name + '_s.png'), fn(WHITE))
    png(os.path.join(out, 'btnPosPulse.png'), pulse(True, LIGHT))
    png(os.path.join(out, 'btnNegPulse.png'), pulse(False, LIGHT))
    png(os.path.join(out, 'icoTimingMarker.png'), marker_head(LIGHT))


if __name__ == '__main__':
    main()
