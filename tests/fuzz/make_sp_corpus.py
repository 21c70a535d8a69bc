#!/usr/bin/env python3
"""Writes the seed inputs of sp_fuzz into corpus_sp/ (layout: see sp_fuzz.cpp).

corpus_sp/ also keeps inputs that fuzzing found, which this script does not
write: hang_cut_order_far_coordinates (five records with coordinates up to
1e304 that, with CutOrder inside-first and ToolOffset inside, once ran for
more than 20 minutes; such records are now refused at intake).
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus_sp")
SANE = [b"100", b"1.5", b"2", b"5", b"800", b"1", b"3", b"0.1"]


def seg(x0, y0, x3, y3, kind=0, length=None, key=1, colour=0, c1=(0, 0), c2=(0, 0)):
    if length is None:
        length = math.hypot(x3 - x0, y3 - y0)
    return struct.pack("<8dif2i", x0, y0, c1[0], c1[1], c2[0], c2[1], x3, y3, kind,
                       length, key, colour)


def curve(p0, p1, p2, p3, key=1, colour=0, length=None):
    if length is None:
        length = math.dist(p0, p1) + math.dist(p1, p2) + math.dist(p2, p3)
    return seg(p0[0], p0[1], p3[0], p3[1], 1, length, key, colour, p1, p2)


def circle(cx, cy, r, key):
    k = 0.5522847498 * r
    pts = [(cx + r, cy), (cx, cy + r), (cx - r, cy), (cx, cy - r), (cx + r, cy)]
    out = b""
    for i in range(4):
        a, b = pts[i], pts[i + 1]
        ta = (-(a[1] - cy), a[0] - cx)
        tb = (-(b[1] - cy), b[0] - cx)
        out += curve(a, (a[0] + ta[0] * k / r, a[1] + ta[1] * k / r),
                     (b[0] - tb[0] * k / r, b[1] - tb[1] * k / r), b, key)
    return out


def write(name, records, count=None, settings=None, flags=0):
    if count is None:
        count = len(records) // 80 - 1
    body = bytes([flags | (1 if settings else 0)]) + struct.pack("<i", count)
    for text in settings or []:
        body += bytes([len(text)]) + text
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(body + records)


os.makedirs(OUT, exist_ok=True)
square = (seg(0, 0, 10, 0) + seg(10, 0, 10, 10) + seg(10, 10, 0, 10) + seg(0, 10, 0, 0))
write("square", square)
write("worked_example", square + curve((20, 0), (20, 5.5), (30, 5.5), (30, 0), key=2),
      settings=SANE)
write("circle", circle(50, 50, 20, 1))
write("two_shapes_colours", circle(0, 0, 5, 1) + seg(0, 0, 3, 4, key=2, colour=0xFF00FF))
write("collinear_lines", seg(0, 0, 1, 0) + seg(1, 0, 2, 0) + seg(2, 0, 3, 0))
write("s_curve", curve((0, 0), (10, 20), (20, -20), (30, 0)) + curve((30, 0), (40, 20), (50, 0),
                                                                      (60, 10)))
write("negative_count", square, count=-1)
write("empty", b"")
write("coarse_precision", circle(0, 0, 30, 1) + curve((0, 0), (5, 40), (40, 5), (0, 0), key=2),
      settings=[b"100", b"1", b"3", b"5", b"800", b"7", b"6", b"5"])
write("settings_text_edges", square,
      settings=[b" 150abc", b"2,5", b"-1.5", b"-5", b"1e39", b"2.9", b"0.1", b"abc"])
write("odd_keys", seg(0, 0, 1, 1, key=3) + seg(1, 1, 2, 0, key=3) + seg(2, 0, 0, 0, key=-2) +
      seg(0, 0, 5, 5, key=0) + seg(5, 5, 6, 6, key=7))
# At the coordinate bound (1e6 mm) and next to zero, a curve included, with the
# cut order, the offset and grbl: every stage must stay quick there.
write("bounded_extremes",
      seg(-1e6, 1e-318, 1e6, 1e-318, key=1) + seg(1e6, 1e-318, 1e6, 1e6, key=1) +
      seg(1e6, 1e6, -1e6, 1e-318, key=1) + seg(0, 0, 5e-324, 1e6, key=2) +
      curve((0, 0), (1e6, -1e6), (-1e6, 1e6), (1e-318, 0), key=3, length=2.0e9 - 1e3),
      flags=0x28)
write("bounded_extremes_outside_grbl", seg(-1e6, -1e6, 1e6, 1e6) + seg(1e6, 1e6, -1e6, -1e6) +
      seg(-1e6, -1e6, -1e6, -1e6 + 1e-9), flags=0x98)
