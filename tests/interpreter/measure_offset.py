#!/usr/bin/env python3
"""Measures tool-radius offset programs with LinuxCNC's stand-alone interpreter
(rs274): the toolpath the interpreter reports must keep the tool's edge on the
drawing.

Drawings of lines and arcs (a plate with a round hole, letters with counters,
a gear, a part with a slot narrower than the tool, generated blobs with holes)
are written as Segment records and made into programs by make_program with
ToolOffset outside or inside and CutOrder inside-first. For every program:
  - rs274 accepts it;
  - every point of the cutting path lies at the tool radius from the drawing's
    outlines, within 0.005 mm plus the arc-fitting deviation (the farthest the
    same drawing's program without offset strays from the drawing, both
    ways), and none nearer than the radius less 0.005 mm (no gouge);
  - every point lies on the right side: outside the material of the parts
    for `outside`, inside it for `inside` (even-odd over the outlines).
The plate with the hole is also measured: hole first, as a full circle of
radius 7.000, then the outline 3.000 outside with corner arcs of 3.000, and
the part it leaves is 100 x 60 with a 20 mm hole within 0.002 mm.

With --examples-dir, every example drawing goes through the brevanto command
(--brevanto, --example-settings) with ToolOffset outside and inside and
CutOrder inside-first. Its curves are cubics, which the program follows by
arcs: the allowance is 0.005 mm plus the largest deviation the command's
summary reports for the same drawing without offset, both ways (no point
nearer than the radius less that: no gouge). The open lines, cut first, must
lie on the drawing; the closed shapes' toolpath is measured against the
closed outlines; the places where the tool does not fit must be those of
EXPECTED_MISFITS.

Exit status: 0 all passed, 1 a failure, 77 skipped because rs274 is not
installed.
"""
import argparse
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import interpret_programs as ip  # noqa: E402

SKIP = 77
ALLOWANCE = 0.005  # mm, beyond the arc-fitting deviation
# Example drawings and sides where the tool (the example settings' 3 mm) does
# not fit, and how many places the summary names: the tips of the gear's
# teeth are 2.1 mm wide; the waist of the "B" is a notch narrower than the tool.
# The sign's letters have counters and gaps narrower than the 3 mm tool.
EXPECTED_MISFITS = {("gear", "inside"): 24, ("glyphs", "outside"): 1,
                    ("sign", "outside"): 31, ("sign", "inside"): 92}


# ------------------------------------------------------------ drawings ---

class Drawing:
    """Closed outlines of lines and circular arcs, as Segment records."""

    def __init__(self):
        self.records = []
        self.shape = 0

    def begin(self):
        self.shape += 1

    def line(self, a, b):
        self.records.append((a, a, b, b, 0, math.dist(a, b)))

    def arc(self, c, r, a0, a1):
        """Arc about c from angle a0 to a1 (radians, either sense) as cubics
        of at most 45 degrees, handles 4/3 tan(sweep/4)."""
        n = max(1, math.ceil(abs(a1 - a0) / (math.pi / 4) - 1e-9))
        for i in range(n):
            t0 = a0 + (a1 - a0) * i / n
            t1 = a0 + (a1 - a0) * (i + 1) / n
            h = 4 / 3 * math.tan((t1 - t0) / 4) * r
            p0 = (c[0] + r * math.cos(t0), c[1] + r * math.sin(t0))
            p3 = (c[0] + r * math.cos(t1), c[1] + r * math.sin(t1))
            p1 = (p0[0] - h * math.sin(t0), p0[1] + h * math.cos(t0))
            p2 = (p3[0] + h * math.sin(t1), p3[1] - h * math.cos(t1))
            self.records.append((p0, p1, p2, p3, 1, r * abs(t1 - t0)))

    def polygon(self, pts):
        self.begin()
        for a, b in zip(pts, pts[1:] + pts[:1]):
            self.line(a, b)

    def circle(self, c, r, ccw=True):
        self.begin()
        self.arc(c, r, math.pi, math.pi + (2 if ccw else -2) * math.pi)

    def rounded(self, x0, y0, x1, y1, rad):
        """Rectangle with corners rounded to rad, counter-clockwise."""
        self.begin()
        corners = [((x1 - rad, y0 + rad), -math.pi / 2), ((x1 - rad, y1 - rad), 0.0),
                   ((x0 + rad, y1 - rad), math.pi / 2), ((x0 + rad, y0 + rad), math.pi)]
        for i, (c, a) in enumerate(corners):
            self.arc(c, rad, a, a + math.pi / 2)
            nxt, na = corners[(i + 1) % 4]
            self.line((c[0] + rad * math.cos(a + math.pi / 2), c[1] + rad * math.sin(a + math.pi / 2)),
                      (nxt[0] + rad * math.cos(na), nxt[1] + rad * math.sin(na)))


def drawing_records(build):
    """Runs build(d) and returns records tagged with their shape key."""
    d = Drawing()
    tagged = []
    original_line, original_arc = d.line, d.arc

    def line(a, b):
        original_line(a, b)
        tagged.append(d.shape)

    def arc(c, r, a0, a1):
        before = len(d.records)
        original_arc(c, r, a0, a1)
        tagged.extend([d.shape] * (len(d.records) - before))

    d.line, d.arc = line, arc
    build(d)
    return [rec + (key,) for rec, key in zip(d.records, tagged)]


def write_seg(records, path):
    with open(path, "wb") as f:
        for p0, p1, p2, p3, kind, length, key in records:
            f.write(ip.SEGMENT.pack(p0[0], p0[1], p1[0], p1[1], p2[0], p2[1], p3[0], p3[1],
                                    kind, length, key, 0xFF))


def plate(d):
    d.polygon([(0, 0), (100, 0), (100, 60), (0, 60)])
    d.circle((50, 30), 10)


def letters(d):
    # "O": a ring.
    d.circle((15, 20), 12)
    d.circle((15, 20), 6, ccw=False)
    # "A": an outline with a triangular counter, drawn clockwise.
    d.polygon([(30, 0), (38, 40), (46, 40), (54, 0), (47, 0), (45, 10), (39, 10), (37, 0)][::-1])
    d.polygon([(40, 16), (44, 16), (42, 30)])
    # "D": a straight back and a half round, with a D-shaped counter.
    d.begin()
    d.line((60, 0), (70, 0))
    d.arc((70, 20), 20, -math.pi / 2, math.pi / 2)
    d.line((70, 40), (60, 40))
    d.line((60, 40), (60, 0))
    d.begin()
    d.line((66, 8), (70, 8))
    d.arc((70, 20), 12, -math.pi / 2, math.pi / 2)
    d.line((70, 32), (66, 32))
    d.line((66, 32), (66, 8))


def gear(d):
    teeth, root, tip = 14, 30.0, 36.0
    pts = []
    for i in range(teeth):
        a = 2 * math.pi * i / teeth
        w = 2 * math.pi / teeth
        for frac, rad in ((0.0, root), (0.15, tip), (0.45, tip), (0.6, root)):
            pts.append((rad * math.cos(a + frac * w), rad * math.sin(a + frac * w)))
    d.begin()
    for i in range(teeth):
        base = 4 * i
        for k in range(3):
            d.line(pts[base + k], pts[base + k + 1])
        # The root between two teeth is an arc about the gear's centre.
        a0 = 2 * math.pi * i / teeth + 0.6 * 2 * math.pi / teeth
        d.arc((0, 0), root, a0, 2 * math.pi * (i + 1) / teeth)
    d.circle((0, 0), 8)  # the bore
    d.rounded(-4, 14, 4, 22, 1.5)  # a small window: narrower than a 6 mm tool


def slot(d):
    # A plate with a slot 4 mm wide cut in from its edge, and a round-ended
    # slot 5 mm wide inside: both narrower than a 6 mm tool.
    d.polygon([(0, 0), (60, 0), (60, 40), (32, 40), (32, 20), (28, 20), (28, 40), (0, 40)])
    d.begin()
    d.arc((10, 10), 2.5, math.pi / 2, 3 * math.pi / 2)
    d.line((10, 7.5), (25, 7.5))
    d.arc((25, 10), 2.5, -math.pi / 2, math.pi / 2)
    d.line((25, 12.5), (10, 12.5))


def arc_through(d, p, m, q):
    """The arc from p through m to q."""
    ax, ay, bx, by, cx, cy = p[0], p[1], m[0], m[1], q[0], q[1]
    det = 2 * (ax * (by - cy) + bx * (cy - ay) + cx * (ay - by))
    ux = ((ax * ax + ay * ay) * (by - cy) + (bx * bx + by * by) * (cy - ay)
          + (cx * cx + cy * cy) * (ay - by)) / det
    uy = ((ax * ax + ay * ay) * (cx - bx) + (bx * bx + by * by) * (ax - cx)
          + (cx * cx + cy * cy) * (bx - ax)) / det
    a0, am, a1 = (math.atan2(v[1] - uy, v[0] - ux) for v in (p, m, q))
    ccw = (a1 - a0) % (2 * math.pi)
    if (am - a0) % (2 * math.pi) < ccw:
        d.arc((ux, uy), math.dist((ux, uy), p), a0, a0 + ccw)
    else:
        d.arc((ux, uy), math.dist((ux, uy), p), a0, a0 - (a0 - a1) % (2 * math.pi))


def blobs(seed):
    """Three counter-clockwise blobs of lines and arcs bulging either way,
    each with up to two round holes of either sense."""
    rnd = random.Random(seed)

    def build(d):
        for b in range(3):
            cx, cy = b * 90.0, rnd.uniform(-10, 10)
            n = rnd.randint(7, 11)
            pts = []
            for i in range(n):
                a = 2 * math.pi * (i + rnd.uniform(-0.2, 0.2)) / n
                rad = rnd.uniform(27, 40)
                pts.append((cx + rad * math.cos(a), cy + rad * math.sin(a)))
            d.begin()
            for i in range(n):
                p, q = pts[i], pts[(i + 1) % n]
                if rnd.random() < 0.5:
                    # Bulging out (right of the chord) up to half its length,
                    # in up to a quarter.
                    half = math.dist(p, q) / 2
                    sag = rnd.uniform(-0.5, 0.25) * half
                    nx, ny = -(q[1] - p[1]) / (2 * half), (q[0] - p[0]) / (2 * half)
                    m = ((p[0] + q[0]) / 2 + nx * sag, (p[1] + q[1]) / 2 + ny * sag)
                    arc_through(d, p, m, q)
                else:
                    d.line(p, q)
            turn = rnd.uniform(0, math.pi)
            for side in (-1, 1)[:rnd.randint(0, 2)]:
                d.circle((cx + side * 10 * math.cos(turn), cy + side * 10 * math.sin(turn)),
                         rnd.uniform(1, 6), ccw=rnd.random() < 0.5)
    return build


# ------------------------------------------------------------- checking ---

def settings_file(path, tool, offset):
    with open(path, "w") as f:
        f.write(f"txtFeedZ=100\ntxtMaxZ=2\ntxtDepth=2\ntxtSaveZ=5\ntxtFeedCut=800\n"
                f"txtWZNummer=1\ntxtWZDia={tool}\nPrezision=\n"
                f"CutOrder=inside-first\nToolOffset={offset}\n")


def shape_polylines(records):
    """The drawing's outlines, one closed polyline per shape."""
    shapes = {}
    for p0, p1, p2, p3, kind, _, key in records:
        pts = ip.sample_cubic(p0, p1, p2, p3) if kind == 1 else ip.sample_line(p0, p3)
        shapes.setdefault(key, []).extend(pts)
    return list(shapes.values())


def parity(p, outlines):
    """Even-odd count of outlines around p."""
    inside = 0
    for pts in outlines:
        c = False
        for a, b in zip(pts, pts[1:] + pts[:1]):
            if (a[1] > p[1]) != (b[1] > p[1]):
                x = a[0] + (p[1] - a[1]) * (b[0] - a[0]) / (b[1] - a[1])
                if x > p[0]:
                    c = not c
        inside ^= c
    return inside


def distances(points, index, outlines, offset):
    """(nearest, where, farthest, where, points on the wrong side) of the
    toolpath's points from the outlines; every seventh point's side is
    checked: outside the material for `outside`, inside it for `inside`."""
    want = 0 if offset == "outside" else 1
    near, far, near_at, far_at, wrong_side = math.inf, 0.0, None, None, 0
    for i, p in enumerate(points):
        d = index.distance(p)
        if d < near:
            near, near_at = d, p
        if d > far:
            far, far_at = d, p
        if i % 7 == 0 and parity(p, outlines) != want:
            wrong_side += 1
    return near, near_at, far, far_at, wrong_side


def measure(name, records, work, make_program, tool, offset):
    seg = os.path.join(work, name + ".seg")
    write_seg(records, seg)
    plain_ini, ini = os.path.join(work, name + "-none.ini"), os.path.join(work, name + ".ini")
    settings_file(plain_ini, tool, "none")
    settings_file(ini, tool, offset)
    plain_tap, tap = os.path.join(work, name + "-none.tap"), os.path.join(work, name + ".tap")
    for i, t in ((plain_ini, plain_tap), (ini, tap)):
        run = subprocess.run([make_program, seg, i, t], capture_output=True, text=True)
        if run.returncode != 0:
            raise RuntimeError("make_program: " + run.stderr.strip())
    drawing = ip.read_drawing(seg)
    drawing_index = ip.NearestIndex(drawing)
    plain = ip.interpret(plain_tap)[0]
    deviation = max(ip.max_distance(plain, drawing_index)[0],
                    ip.max_distance(drawing, ip.NearestIndex(plain))[0])
    cut = ip.interpret(tap)[0]
    r = tool / 2
    points = [p for pts in cut for p in pts]
    near, near_at, far, far_at, wrong_side = distances(points, drawing_index,
                                                       shape_polylines(records), offset)
    ok = (points and near >= r - ALLOWANCE and far <= r + ALLOWANCE + deviation
          and wrong_side == 0)
    fmt = lambda p: "-" if p is None else f"({p[0]:.3f}, {p[1]:.3f})"
    print(f"{'ok  ' if ok else 'FAIL'} {name} ({offset}, tool {tool}): distance to the drawing "
          f"{near - r:+.4f} at {fmt(near_at)} .. {far - r:+.4f} at {fmt(far_at)} from the radius "
          f"(arc fitting {deviation:.4f}); {len(points)} points, {wrong_side} on the wrong side")
    return ok, tap


def check_plate(tap):
    """Hole first as a full circle of radius 7, then the outline 3 outside."""
    moves = []
    with tempfile.TemporaryDirectory(prefix="brevanto-plate-") as work:
        ngc, table, _, _ = ip.prepare_program(tap, work)
        out = os.path.join(work, "canon.txt")
        subprocess.run(["rs274", "-t", table, "-g", ngc, out], stdin=subprocess.DEVNULL,
                       capture_output=True, text=True, env=dict(os.environ, HOME=work), timeout=60)
        canon = open(out).read()
    pos = (0.0, 0.0)
    for line in canon.splitlines():
        for kind in ("STRAIGHT_FEED", "ARC_FEED"):
            if kind + "(" in line:
                v = [float(x) for x in ip.NUMBERS.findall(line.split(kind + "(")[1])]
                end = (v[0], v[1])
                if kind == "ARC_FEED":
                    moves.append(("arc", pos, end, (v[2], v[3])))
                elif end != pos:
                    moves.append(("line", pos, end, None))
                pos = end
        if "STRAIGHT_TRAVERSE(" in line:
            v = [float(x) for x in ip.NUMBERS.findall(line.split("STRAIGHT_TRAVERSE(")[1])]
            pos = (v[0], v[1])
    problems = []
    hole = moves[:2]
    if not all(m[0] == "arc" and abs(math.dist(m[1], m[3]) - 7.0) <= 0.0005
               and abs(math.dist(m[2], m[3]) - 7.0) <= 0.0005 for m in hole):
        problems.append(f"the first cuts are not two half circles of radius 7: {hole}")
    corners = [m for m in moves[2:] if m[0] == "arc"]
    if len(corners) != 4 or any(abs(math.dist(m[1], m[3]) - 3.0) > 0.0005 for m in corners):
        problems.append(f"the outline has not four corner arcs of radius 3: {corners}")
    outline = [p for m in moves[2:] for p in (m[1], m[2])]
    width = max(p[0] for p in outline) - min(p[0] for p in outline) - 6.0
    height = max(p[1] for p in outline) - min(p[1] for p in outline) - 6.0
    centre = hole[0][3] if hole else (0, 0)
    hole_d = 2 * (math.dist(hole[0][1], centre) + 3.0) if hole else 0
    for what, got, want in (("width", width, 100), ("height", height, 60), ("hole", hole_d, 20)):
        if abs(got - want) > 0.002:
            problems.append(f"the part's {what} is {got:.4f}, not {want}")
    print(f"{'FAIL' if problems else 'ok  '} plate: part {width:.4f} x {height:.4f} mm, hole "
          f"{hole_d:.4f} mm, cut first as two arcs of radius "
          f"{math.dist(hole[0][1], centre) if hole else 0:.4f}, corner arcs {len(corners)}"
          + "".join("\n     " + p for p in problems))
    return not problems


# ------------------------------------------------------------- examples ---

def interpret_shapes(tap, tools=None):
    """The cutting path rs274 reports, one list of points per shape (each
    "( NEXT SHAPE )" of the program); with `tools`, the tool each shape is
    cut with is appended to it."""
    canon = ip.canon_of(tap)
    shapes, pos, tool = [], (0.0, 0.0), None
    for line in canon.splitlines():
        if "SELECT_TOOL(" in line:
            tool = int(ip.NUMBERS.findall(line.split("SELECT_TOOL(")[1])[0])
        if "COMMENT(" in line and "NEXT SHAPE" in line:
            shapes.append([])
            if tools is not None:
                tools.append(tool)
            continue
        for kind in ("STRAIGHT_TRAVERSE", "STRAIGHT_FEED", "ARC_FEED"):
            if kind + "(" not in line:
                continue
            v = [float(x) for x in ip.NUMBERS.findall(line.split(kind + "(")[1])]
            end = (v[0], v[1])
            if shapes and kind == "STRAIGHT_FEED" and end != pos:
                shapes[-1].extend(ip.sample_line(pos, end))
            elif shapes and kind == "ARC_FEED":
                shapes[-1].extend(ip.sample_arc(pos, end, (v[2], v[3]), int(v[4]))[0])
            pos = end
            break
    return shapes


def summary_value(text, label):
    """The value of a summary line "  label ..... value", or None."""
    for line in text.splitlines():
        head, dots, value = line.partition(" ..")
        if dots and head.strip() == label:
            return value.lstrip(". ").strip()
    return None


def seg_shapes(seg_path):
    """The drawing's shapes (runs of one key): sampled points, and whether
    the shape is closed by the writer's rule (ends that round to the same
    hundredths)."""
    data = open(seg_path, "rb").read()
    shapes, last_key = [], None
    for rec in ip.SEGMENT.iter_unpack(data):
        x0, y0, x1, y1, x2, y2, x3, y3, kind, _, key, _ = rec
        if key != last_key:
            shapes.append({"points": [], "start": (x0, y0), "key": key})
            last_key = key
        pts = (ip.sample_cubic((x0, y0), (x1, y1), (x2, y2), (x3, y3)) if kind == 1
               else ip.sample_line((x0, y0), (x3, y3)))
        shapes[-1]["points"].extend(pts)
        shapes[-1]["end"] = (x3, y3)
    hundredths = lambda p: (round(p[0] * 100), round(p[1] * 100))
    for s in shapes:
        s["closed"] = hundredths(s["start"]) == hundredths(s["end"])
    return shapes


def measure_example(name, svg, work, brevanto, settings, offset):
    """One example drawing with ToolOffset `offset` and CutOrder inside-first."""
    stem = os.path.join(work, f"{name}-{offset}")
    seg, plain, tap = stem + ".seg", stem + "-none.tap", stem + ".tap"
    runs = []
    for extra, program in ((["--tolerance", "none", "--dump-segments", seg], plain),
                           (["--offset", offset, "--cut-order", "inside-first"], tap)):
        run = subprocess.run([brevanto, svg, "--settings", settings, "-o", program] + extra,
                             capture_output=True, text=True)
        if run.returncode != 0:
            raise RuntimeError("brevanto: " + run.stderr.strip())
        runs.append(run.stderr)
    figure = summary_value(runs[0], "largest deviation") or ""
    if not ip.NUMBERS.match(figure):
        raise RuntimeError(f"no deviation figure in the summary: {figure!r}")
    deviation = float(ip.NUMBERS.match(figure).group(0))
    nesting = summary_value(runs[1], "nesting") or ""
    counts = dict((w, int(n)) for n, w in
                  (part.split()[:2] for part in nesting.split(", ")))
    misfits = int((summary_value(runs[1], "tool does not fit") or "0").split()[0])
    tool = next(float(line.split("=", 1)[1]) for line in open(settings)
                if line.strip().startswith("txtWZDia="))
    r = tool / 2

    drawn = seg_shapes(seg)
    closed = [s["points"] for s in drawn if s["closed"]]
    open_lines = [s["points"] for s in drawn if not s["closed"]]
    outline_index = ip.NearestIndex(closed)
    cut = interpret_shapes(tap)
    problems = []
    if counts.get("open", 0) != len(open_lines) or counts.get("crossing", 0):
        problems.append(f"nesting {nesting!r} with {len(open_lines)} open shapes drawn")
    # Open lines come first and are cut on the line.
    engraved = [p for pts in cut[:len(open_lines)] for p in pts]
    off = 0.0
    if open_lines and engraved:
        off = ip.max_distance([engraved], ip.NearestIndex(open_lines))[0]
        if off > ALLOWANCE + deviation:
            problems.append(f"an open line is cut {off:.4f} mm beside the drawing")
    points = [p for pts in cut[len(open_lines):] for p in pts]
    near, near_at, far, far_at, wrong_side = distances(points, outline_index, closed, offset)
    band = ALLOWANCE + deviation
    if closed and (not points or near < r - band or far > r + band):
        problems.append(f"the toolpath leaves the band of {band:.4f} mm about the radius")
    # The summary's figure for the offset program is the farthest the path's
    # distance from the drawing strays from the radius: it must be the one
    # measured here on what rs274 cuts.
    stated = ip.NUMBERS.match(summary_value(runs[1], "largest deviation") or "")
    seen = max(off, r - near, far - r) if points else off
    if not stated or abs(float(stated.group(0)) - seen) > ALLOWANCE:
        problems.append(f"the summary's deviation {stated and stated.group(0)} is not the "
                        f"{seen:.4f} mm measured on rs274's path")
    if wrong_side:
        problems.append(f"{wrong_side} points on the wrong side")
    expected = EXPECTED_MISFITS.get((name, offset), 0)
    if misfits != expected:
        problems.append(f"the tool does not fit at {misfits} places, {expected} expected")
    fmt = lambda p: f"({p[0]:.3f}, {p[1]:.3f})"
    measured = (f"{near - r:+.4f} at {fmt(near_at)} .. {far - r:+.4f} at {fmt(far_at)} from "
                f"the radius" if points else "no closed shape")
    print(f"{'FAIL' if problems else 'ok  '} example/{name} ({offset}, tool {tool:g}): "
          f"{measured} (arc fitting {deviation:.4f}); {nesting}; tool does not fit at "
          f"{misfits}; {len(points)} points" + "".join("\n     " + p for p in problems))
    return not problems


# ----------------------------------------------------------- operations ---

HERE = os.path.dirname(os.path.abspath(__file__))
THREE = [os.path.join(HERE, "operations", "three_colours.svg"),
         "--settings", os.path.join(HERE, "operations", "three_colours.ini"),
         "--operation", "hole:Tool=3", "--operation", "hole:ToolDiameter=6"]


def colours(examples_dir):
    """The frame of colours.svg cut outside by T1, its ellipse inside by T2,
    its wave engraved by T3; its stars and line are selected by none."""
    ops = ["frame:Select=stroke:#2050c0", "frame:Side=outside", "eye:Select=stroke:#8030a0",
           "eye:Side=inside", "eye:Tool=2", "eye:ToolDiameter=2", "wave:Select=stroke:#00a0a0",
           "wave:Kind=engrave", "wave:Tool=3", "wave:ToolDiameter=1"]
    return ([os.path.join(examples_dir, "colours.svg"),
             "--settings", os.path.join(examples_dir, "CNC.ini")]
            + [a for op in ops for a in ("--operation", op)])


def operation_cases(examples_dir):
    """(name, brevanto arguments, per tool the radius its path keeps from
    the outlines (0: on the line), the drawn shapes (keys) cut beside the
    line, the drawn shapes cut at all)."""
    cases = [
        ("three-colours", THREE + ["--tolerance", "none"], {1: 1.5875, 2: 0.0, 3: 3.0},
         {1, 2}, {1, 2, 3}),
        ("three-colours-refined", THREE + ["--tolerance", "0.001"], {1: 1.5875, 2: 0.0, 3: 3.0},
         {1, 2}, {1, 2, 3}),
        ("three-colours-outline-on-line", THREE + ["--operation", "outline:Side=on"],
         {1: 0.0, 2: 0.0, 3: 3.0}, {2}, {1, 2, 3}),
    ]
    if examples_dir:
        cases.append(("colours", colours(examples_dir), {1: 1.5, 2: 1.0, 3: 0.0}, {1, 5},
                      {1, 5, 6}))
    return cases


def measure_operations(name, arguments, radius, beside, cut, work, brevanto):
    """The summary's figure for a job of operations against rs274's path:
    each shape's distance from the outlines cut beside the line against its
    own tool's radius, or from the drawing's cut shapes where it is on the
    line."""
    seg, tap = os.path.join(work, name + ".seg"), os.path.join(work, name + ".tap")
    run = subprocess.run([brevanto] + arguments + ["-o", tap, "--dump-segments", seg],
                         capture_output=True, text=True)
    if run.returncode != 0:
        raise RuntimeError("brevanto: " + run.stderr.strip())
    drawn = seg_shapes(seg)
    outlines = ip.NearestIndex([s["points"] for s in drawn if s["key"] in beside])
    drawing = ip.NearestIndex([s["points"] for s in drawn if s["key"] in cut])
    tools = []
    shapes = interpret_shapes(tap, tools)
    seen, at = 0.0, None
    for pts, tool in zip(shapes, tools):
        r = radius[tool]
        for p in pts:
            d = abs(outlines.distance(p) - r) if r > 0 else drawing.distance(p)
            if d > seen:
                seen, at = d, p
    stated = ip.NUMBERS.match(summary_value(run.stderr, "largest deviation") or "")
    ok = bool(stated) and abs(float(stated.group(0)) - seen) <= ALLOWANCE
    where = f" at ({at[0]:.3f}, {at[1]:.3f})" if at else ""
    print(f"{'ok  ' if ok else 'FAIL'} operations/{name}: the summary says "
          f"{stated.group(0) if stated else '(no figure)'} mm, rs274's path strays {seen:.4f} mm"
          f"{where}; {len(shapes)} shapes, tools {sorted(set(tools))}")
    return ok


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--make-program", required=True, metavar="EXE")
    ap.add_argument("--generated", type=int, default=4, help="generated drawings (default 4)")
    ap.add_argument("--keep", metavar="DIR", help="leave the drawings and programs here")
    ap.add_argument("--examples-dir", help="every *.svg drawing, through --brevanto with "
                    "--example-settings")
    ap.add_argument("--brevanto", metavar="EXE", help="the brevanto command")
    ap.add_argument("--example-settings", metavar="INI")
    args = ap.parse_args()
    examples = []
    if args.examples_dir:
        if not (args.brevanto and args.example_settings):
            ap.error("--examples-dir needs --brevanto and --example-settings")
        examples = [(f[:-4], os.path.join(args.examples_dir, f))
                    for f in sorted(os.listdir(args.examples_dir)) if f.endswith(".svg")]

    cases = [("plate", plate, 6.0, "outside"), ("letters", letters, 3.0, "outside"),
             ("letters", letters, 2.0, "inside"), ("gear", gear, 6.0, "outside"),
             ("gear", gear, 3.0, "inside"), ("slot", slot, 6.0, "outside"),
             ("slot", slot, 6.0, "inside")]
    for seed in range(args.generated):
        cases.append((f"blobs{seed}", blobs(seed), (3.0, 6.0, 1.0, 10.0)[seed % 4],
                      ("outside", "inside")[(seed // 4) % 2]))
    operations = operation_cases(args.examples_dir) if args.brevanto else []
    if shutil.which("rs274") is None:
        print("*" * 72 + "\nSKIPPED: rs274 (Debian package linuxcnc-uspace) is not installed;\n"
              f"{len(cases) + 2 * len(examples) + len(operations)} offset programs were NOT "
              "measured.\n"
              + "*" * 72)
        return SKIP

    work = args.keep or tempfile.mkdtemp(prefix="brevanto-offset-")
    os.makedirs(work, exist_ok=True)
    failed = 0
    for name, build, tool, offset in cases:
        label = f"{name}-{offset}-{tool:g}"
        try:
            ok, tap = measure(label, drawing_records(build), work, args.make_program, tool, offset)
            if name == "plate":
                ok = check_plate(tap) and ok
        except (RuntimeError, ValueError, OSError, subprocess.TimeoutExpired) as e:
            print(f"FAIL {label}: {e}")
            ok = False
        failed += not ok
    for name, svg in examples:
        for offset in ("outside", "inside"):
            try:
                ok = measure_example(name, svg, work, args.brevanto, args.example_settings, offset)
            except (RuntimeError, ValueError, OSError, subprocess.TimeoutExpired) as e:
                print(f"FAIL example/{name} ({offset}): {e}")
                ok = False
            failed += not ok
    for name, arguments, radius, beside, cut in operations:
        try:
            ok = measure_operations(name, arguments, radius, beside, cut, work, args.brevanto)
        except (RuntimeError, ValueError, OSError, KeyError, subprocess.TimeoutExpired) as e:
            print(f"FAIL operations/{name}: {e}")
            ok = False
        failed += not ok
    if not args.keep:
        shutil.rmtree(work, ignore_errors=True)
    total = len(cases) + 2 * len(examples) + len(operations)
    print(f"{failed} check(s) failed" if failed else f"all {total} offset programs passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
