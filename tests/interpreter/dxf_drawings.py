#!/usr/bin/env python3
"""Generated DXF drawings through the command and LinuxCNC's rs274: every
program is accepted, its path lies within 0.05 mm of the true geometry both
ways (computed here, independently of the reader: bulges, arcs, splines by
de Boor's algorithm, blocks nested, rotated, mirrored and in arrays, inch
units, the (0,0,-1) extrusion and an upright block laid down by its
insert's), no arc is cut as a chain of short arcs, and
the same part as SVG gives the same cut. Exit status: 0 passed, 1 a failure,
77 skipped because rs274 is not installed.

--write-corpus DIR also writes the drawings there (the fuzz seeds).
"""
import argparse
import math
import os
import shutil
import subprocess
import sys
import tempfile

import interpret_programs as ip

TOLERANCE = 0.05


class Dxf:
    """A DXF text file, group by group, with the geometry it means in mm."""

    def __init__(self, units):
        self.units, self.blocks, self.body, self.truth = units, [], [], []

    @staticmethod
    def groups(pairs):
        return "".join(f"{c}\n{v}\n" for c, v in pairs)

    def text(self):
        return (self.groups([(0, "SECTION"), (2, "HEADER"), (9, "$INSUNITS"), (70, self.units),
                             (0, "ENDSEC"), (0, "SECTION"), (2, "BLOCKS")]) + "".join(self.blocks)
                + self.groups([(0, "ENDSEC"), (0, "SECTION"), (2, "ENTITIES")])
                + "".join(self.body) + self.groups([(0, "ENDSEC"), (0, "EOF")]))


def arc_points(cx, cy, r, a0, sweep):
    n = max(8, int(abs(sweep) * r / 0.02))
    return [(cx + r * math.cos(a0 + sweep * i / n), cy + r * math.sin(a0 + sweep * i / n))
            for i in range(n + 1)]


def bulge_points(a, b, bulge):
    if bulge == 0:
        return [a, b]
    sweep = 4 * math.atan(bulge)
    chord = math.dist(a, b)
    r = chord / (2 * math.sin(abs(sweep) / 2))
    mx, my = (a[0] + b[0]) / 2, (a[1] + b[1]) / 2
    k = (1 - bulge * bulge) / (4 * bulge)
    cx, cy = mx - (b[1] - a[1]) * k, my + (b[0] - a[0]) * k
    return arc_points(cx, cy, r, math.atan2(a[1] - cy, a[0] - cx), sweep)


def de_boor(knots, ctrl, p, u):
    k = max(i for i in range(p, len(ctrl)) if knots[i] <= u) if u < knots[len(ctrl)] else len(
        ctrl) - 1
    d = [list(ctrl[j + k - p]) for j in range(p + 1)]
    for r in range(1, p + 1):
        for j in range(p, r - 1, -1):
            lo, hi = knots[j + k - p], knots[j + 1 + k - r]
            a = (u - lo) / (hi - lo)
            d[j] = [(1 - a) * d[j - 1][i] + a * d[j][i] for i in range(len(d[j]))]
    return d[p]


def spline_points(knots, ctrl, p, weights=None):
    w = weights or [1.0] * len(ctrl)
    hom = [(x * wi, y * wi, wi) for (x, y), wi in zip(ctrl, w)]
    lo, hi = knots[p], knots[len(ctrl)]
    pts = []
    for i in range(2001):
        x, y, ww = de_boor(knots, hom, p, lo + (hi - lo) * i / 2000)
        pts.append((x / ww, y / ww))
    return pts


def compose(outer, inner):
    a, b, c, d, e, f = outer
    A, B, C, D, E, F = inner
    return (a * A + b * C, a * B + b * D, c * A + d * C, c * B + d * D,
            a * E + b * F + e, c * E + d * F + f)


def apply(m, pts):
    return [(m[0] * x + m[1] * y + m[4], m[2] * x + m[3] * y + m[5]) for x, y in pts]


def insert_map(x, y, sx, sy, degrees, base=(0, 0)):
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
    return (c * sx, -s * sy, s * sx, c * sy,
            x - c * sx * base[0] + s * sy * base[1], y - s * sx * base[0] - c * sy * base[1])


def plane_axes(n):
    """The arbitrary axis rule: the x and y axes and the normal, in world
    coordinates, of the plane whose extrusion direction is n."""
    def cross(a, b):
        return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])
    def unit(a):
        length = math.sqrt(sum(c * c for c in a))
        return tuple(c / length for c in a)
    n = unit(n)
    ax = unit(cross((0, 1, 0) if abs(n[0]) < 1 / 64 and abs(n[1]) < 1 / 64 else (0, 0, 1), n))
    return ax, cross(n, ax), n


def in_world(axes, p):
    return tuple(sum(axes[k][i] * p[k] for k in range(3)) for i in range(3))


def lwpolyline(points, closed, extra=()):
    g = [(0, "LWPOLYLINE"), (8, "0"), (90, len(points)), (70, 1 if closed else 0), *extra]
    for x, y, b in points:
        g += [(10, x), (20, y), (42, b)]
    return Dxf.groups(g)


def polyline_truth(points, closed):
    out = []
    n = len(points)
    for i in range(n if closed else n - 1):
        (x0, y0, b), (x1, y1, _) = points[i], points[(i + 1) % n]
        out.append(bulge_points((x0, y0), (x1, y1), b))
    return out


def plate():
    """A rounded plate with holes, a slot of lines and arcs in no order, an
    ellipse and splines; in mm."""
    d = Dxf(4)
    t = math.tan(math.radians(22.5))
    outline = [(5, 0, 0), (55, 0, t), (60, 5, 0), (60, 35, t), (55, 40, 0), (5, 40, t), (0, 35, 0),
               (0, 5, t)]
    d.body.append(lwpolyline(outline, True))
    d.truth += polyline_truth(outline, True)
    for cx, cy, r in ((10, 10, 3), (50, 10, 3), (30, 30, 6.35)):
        d.body.append(Dxf.groups([(0, "CIRCLE"), (8, "0"), (10, cx), (20, cy), (40, r)]))
        d.truth.append(arc_points(cx, cy, r, 0, 2 * math.pi))
    d.svg_part = len(d.truth)  # the outline and holes, which the SVG has too
    # Slot: two lines and two arcs, scrambled, one line reversed.
    d.body.append(Dxf.groups([(0, "ARC"), (8, "0"), (10, 40), (20, 20), (40, 2), (50, 270), (51, 90)]))
    d.body.append(Dxf.groups([(0, "LINE"), (8, "0"), (10, 40), (20, 22), (11, 20), (21, 22)]))
    d.body.append(Dxf.groups([(0, "LINE"), (8, "0"), (10, 20), (20, 18), (11, 40), (21, 18)]))
    d.body.append(Dxf.groups([(0, "ARC"), (8, "0"), (10, 20), (20, 20), (40, 2), (50, 90), (51, 270)]))
    d.truth += [arc_points(40, 20, 2, -math.pi / 2, math.pi), [(40, 22), (20, 22)],
                [(20, 18), (40, 18)], arc_points(20, 20, 2, math.pi / 2, math.pi)]
    d.body.append(Dxf.groups([(0, "ELLIPSE"), (8, "0"), (10, 80), (20, 20), (11, 10), (21, 5),
                              (40, 0.4), (41, 0), (42, 2 * math.pi)]))
    e = [(80 + 10 * math.cos(u) - 0.4 * 5 * math.sin(u), 20 + 5 * math.cos(u) + 0.4 * 10 * math.sin(u))
         for u in (2 * math.pi * i / 4000 for i in range(4001))]
    d.truth.append(e)
    knots = [0, 0, 0, 0, 1, 2, 2.5, 4, 4, 4, 4]
    ctrl = [(0, 50), (10, 70), (20, 45), (30, 70), (40, 50), (45, 60), (60, 55)]
    g = [(0, "SPLINE"), (8, "0"), (70, 8), (71, 3), (72, len(knots)), (73, len(ctrl))]
    g += [(40, k) for k in knots] + [p for x, y in ctrl for p in ((10, x), (20, y), (30, 0))]
    d.body.append(Dxf.groups(g))
    d.truth.append(spline_points(knots, ctrl, 3))
    # A rational quadratic: a quarter of a circle of radius 10 about (70, 50).
    w = [1, math.sqrt(0.5), 1]
    ctrl = [(80, 50), (80, 60), (70, 60)]
    g = [(0, "SPLINE"), (8, "0"), (70, 12), (71, 2), (72, 6), (73, 3)]
    g += [(40, k) for k in (0, 0, 0, 1, 1, 1)] + [(41, x) for x in w]
    g += [p for x, y in ctrl for p in ((10, x), (20, y), (30, 0))]
    d.body.append(Dxf.groups(g))
    d.truth.append(arc_points(70, 50, 10, 0, math.pi / 2))
    svg = plate_svg(outline)
    return d, svg


def plate_svg(outline):
    """The plate's outline and holes as SVG (y down, flipped about 40 mm)."""
    path = f"M {outline[0][0]} {40 - outline[0][1]}"
    for i, (x, y, b) in enumerate(outline):
        nx, ny, _ = outline[(i + 1) % len(outline)]
        path += f" A 5 5 0 0 0 {nx} {40 - ny}" if b else f" L {nx} {40 - ny}"
    holes = "".join(f'<circle cx="{cx}" cy="{40 - cy}" r="{r}" fill="none" stroke="black"/>'
                    for cx, cy, r in ((10, 10, 3), (50, 10, 3), (30, 30, 6.35)))
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="60mm" height="40mm" '
            f'viewBox="0 0 60 40"><path d="{path} Z" fill="none" stroke="black"/>{holes}</svg>')


def blocks_in_inches():
    """Blocks within blocks, rotated, mirrored, scaled and in an array, an
    arc with the (0,0,-1) extrusion; in inches."""
    d = Dxf(1)
    t = math.tan(math.radians(45) / 4 * 2)
    bolt = [(0, 0, 0), (1, 0, t), (1.5, 0.5, 0), (1.5, 1, 1), (0.5, 1, 0)]
    d.blocks.append(Dxf.groups([(0, "BLOCK"), (2, "BOLT"), (10, 0.5), (20, 0.5)]) +
                    lwpolyline(bolt, True) +
                    Dxf.groups([(0, "CIRCLE"), (8, "0"), (10, 0.75), (20, 0.5), (40, 0.2),
                                (0, "ENDBLK")]))
    bolt_truth = polyline_truth(bolt, True) + [arc_points(0.75, 0.5, 0.2, 0, 2 * math.pi)]
    bolt_map = insert_map(0, 0, 1, 1, 0, base=(0.5, 0.5))
    d.blocks.append(Dxf.groups([(0, "BLOCK"), (2, "PAIR"), (10, 0), (20, 0),
                                (0, "INSERT"), (8, "0"), (2, "BOLT"), (10, 0), (20, 0),
                                (0, "INSERT"), (8, "0"), (2, "BOLT"), (10, 3), (20, 0), (50, 90),
                                (41, -1), (0, "ENDBLK")]))
    pair = [insert_map(0, 0, 1, 1, 0), insert_map(3, 0, -1, 1, 90)]
    model = [insert_map(2, 2, 1, 1, 30), insert_map(8, 2, -0.5, 0.5, -45)]
    model += [insert_map(2 + 4 * c, 6 + 3 * r, 1, 1, 0) for r in range(2) for c in range(2)]
    d.body.append(Dxf.groups([(0, "INSERT"), (8, "0"), (2, "PAIR"), (10, 2), (20, 2), (50, 30)]))
    d.body.append(Dxf.groups([(0, "INSERT"), (8, "0"), (2, "PAIR"), (10, 8), (20, 2), (41, -0.5),
                              (42, 0.5), (50, -45)]))
    d.body.append(Dxf.groups([(0, "INSERT"), (8, "0"), (2, "PAIR"), (10, 2), (20, 6), (70, 2),
                              (71, 2), (44, 4), (45, 3)]))
    for m in model:
        for p in pair:
            full = compose(m, compose(p, bolt_map))
            d.truth += [apply(compose((25.4, 0, 0, 25.4, 0, 0), full), pts) for pts in bolt_truth]
    # Mirrored arc: centre (-3, 1) in world, from 0 to 90 degrees of its own plane.
    d.body.append(Dxf.groups([(0, "ARC"), (8, "0"), (10, 3), (20, 1), (40, 1), (50, 0), (51, 90),
                              (210, 0), (220, 0), (230, -1)]))
    d.truth.append([(-x * 25.4, y * 25.4) for x, y in arc_points(3, 1, 1, 0, math.pi / 2)])
    # An upright stadium (in the block's xz plane, at elevation -0.5) laid
    # down by its insert's extrusion (1,0,0), turned 180 degrees about it.
    stadium = [(0, 0, 0), (1, 0, 1), (1, 0.5, 0), (0, 0.5, 1)]
    d.blocks.append(Dxf.groups([(0, "BLOCK"), (2, "UPRIGHT"), (10, 0), (20, 0)]) +
                    lwpolyline(stadium, True, [(38, -0.5), (210, 0), (220, 1), (230, 0)]) +
                    Dxf.groups([(0, "ENDBLK")]))
    d.body.append(Dxf.groups([(0, "INSERT"), (8, "0"), (2, "UPRIGHT"), (10, 2), (20, 1), (30, 0.5),
                              (50, 180), (210, 1), (220, 0), (230, 0)]))
    upright, laid = plane_axes((0, 1, 0)), plane_axes((1, 0, 0))
    for pts in polyline_truth(stadium, True):
        world = []
        for x, y in pts:
            bx, by, bz = in_world(upright, (x, y, -0.5))
            w = in_world(laid, (2 - bx, 1 - by, 0.5 + bz))
            world.append((w[0] * 25.4, w[1] * 25.4))
        d.truth.append(world)
    # A circle in a tilted plane is left out, not cut as its shadow.
    d.body.append(Dxf.groups([(0, "CIRCLE"), (8, "0"), (10, 5), (20, 5), (40, 0.5), (210, 0.3),
                              (220, 0), (230, 1)]))
    return d


def convert(brevanto, settings, drawing, work, name):
    program = os.path.join(work, name + ".ngc")
    run = subprocess.run([brevanto, drawing, "-q", "--dialect", "linuxcnc", "--settings", settings,
                          "-o", program], capture_output=True, text=True, timeout=300)
    if run.returncode != 0:
        raise RuntimeError(f"{name}: brevanto exit {run.returncode}: {run.stderr.strip()}")
    return ip.interpret(program)


def chained_arcs(moves):
    return sum(1 for a, b in zip(moves, moves[1:])
               if a[0] == b[0] == "arc" and (a[3] > 0) == (b[3] > 0)
               and math.dist(a[2], b[2]) < 1e-3 and a[4] + b[4] < 359.9)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--brevanto", required=True)
    parser.add_argument("--settings", required=True)
    parser.add_argument("--write-corpus")
    args = parser.parse_args()
    plate_dxf, svg = plate()
    drawings = {"plate": plate_dxf, "blocks_in_inches": blocks_in_inches()}
    if args.write_corpus:
        for name, d in drawings.items():
            with open(os.path.join(args.write_corpus, name + ".dxf"), "w") as f:
                f.write(d.text())
    if shutil.which("rs274") is None:
        print("SKIP: rs274 is not installed")
        return 77
    failures = 0
    with tempfile.TemporaryDirectory(prefix="brevanto-dxf-") as work:
        paths = {}
        for name, d in drawings.items():
            path = os.path.join(work, name + ".dxf")
            with open(path, "w") as f:
                f.write(d.text())
            cut, _, _, moves = convert(args.brevanto, args.settings, path, work, name)
            truth = [[p for a, b in zip(pts, pts[1:]) for p in ip.sample_line(a, b)]
                     for pts in d.truth]
            strays, at1 = ip.max_distance(cut, ip.NearestIndex(truth))
            uncovered, at2 = ip.max_distance(truth, ip.NearestIndex(cut))
            chains = chained_arcs(moves)
            ok = strays <= TOLERANCE and uncovered <= TOLERANCE and chains == 0
            failures += not ok
            print(f"{'ok  ' if ok else 'FAIL'} {name}: path strays {strays:.4f} mm (at {at1}), "
                  f"drawing uncovered {uncovered:.4f} mm (at {at2}), "
                  f"{sum(m[0] == 'arc' for m in moves)} arcs, {chains} chained")
            paths[name] = cut
        svg_path = os.path.join(work, "plate.svg")
        with open(svg_path, "w") as f:
            f.write(svg)
        svg_cut = convert(args.brevanto, args.settings, svg_path, work, "plate_svg")[0]
        # The plate's SVG has only the outline and holes: its cut must lie on
        # the DXF's, and cover the outline and holes as the DXF's cut does.
        apart, at = ip.max_distance(svg_cut, ip.NearestIndex(paths["plate"]))
        part = [[p for a, b in zip(pts, pts[1:]) for p in ip.sample_line(a, b)]
                for pts in plate_dxf.truth[:plate_dxf.svg_part]]
        dxf_part = [pts for pts in paths["plate"] if ip.max_distance([pts], ip.NearestIndex(part))[0]
                    <= TOLERANCE]
        missed, at2 = ip.max_distance(dxf_part, ip.NearestIndex(svg_cut))
        ok = apart <= TOLERANCE and missed <= TOLERANCE
        failures += not ok
        print(f"{'ok  ' if ok else 'FAIL'} plate as SVG: {apart:.4f} mm from the DXF's cut (at {at}), "
              f"the DXF's outline and holes {missed:.4f} mm from it (at {at2})")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
