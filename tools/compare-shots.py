#!/usr/bin/env python3
"""Compares two editor screenshots of one size (8-bit RGB or RGBA PNGs, as
the editor writes them): prints the share of pixels that differ clearly
(by more than 64 in a channel) and fails above a limit.

usage: compare-shots.py A.png B.png [LIMIT_PERCENT]
"""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", f"{path}: not a PNG"
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour in (2, 6), f"{path}: not 8-bit RGB(A)"
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up, corner = previous[i], previous[i - channels] if i >= channels else 0
            if kind == 1: line[i] = (line[i] + left) & 255
            elif kind == 2: line[i] = (line[i] + up) & 255
            elif kind == 3: line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def main():
    a, b = read_png(sys.argv[1]), read_png(sys.argv[2])
    limit = float(sys.argv[3]) if len(sys.argv) > 3 else 2.0
    if a[:2] != b[:2]:
        print(f"sizes differ: {a[:2]} and {b[:2]}")
        return 1
    w, h = a[:2]
    differing = sum(1 for y in range(h) for x in range(w)
                    if max(abs(p - q) for p, q in zip(a[2][y][x], b[2][y][x])) > 64)
    share = 100.0 * differing / (w * h)
    print(f"{share:.2f} % of the pixels differ clearly (limit {limit} %)")
    return 0 if share <= limit else 1


sys.exit(main())
