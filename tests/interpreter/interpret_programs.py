#!/usr/bin/env python3
"""Runs G-code programs through LinuxCNC's stand-alone interpreter (rs274) and
measures how far the path it reports strays from the drawing's true curves.

For every case (a program and the Segment records it was made from):
  - the interpreter must accept the whole program (exit status 0, PROGRAM_END);
  - every point of the reported cutting path (STRAIGHT_FEED, ARC_FEED with its
    centre and turning sense) must lie within the tolerance of the drawing's
    curves, and every point of the drawing within the tolerance of the path.

LinuxCNC does not know the header word G50 of the classic dialect; it is
removed before interpreting (and the report says so). With --dialects the
same drawing is also written in the linuxcnc and grbl dialects: the linuxcnc
program is read with nothing removed, and both must make exactly the classic
program's moves (end points and arc centres within 0.002 mm, the same turning
senses). With --grbl, every grbl program also goes through grbl's own parser
(gvalidate), which must accept every line. Exit status: 0 all passed, 1 a
failure, 77 skipped because rs274 is not installed.
"""
import argparse
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

SKIP = 77
SEGMENT = struct.Struct("<8dif2i")  # the 80-byte record of the library's interface
SPACING = 0.05  # mm between samples on every curve, line and arc
SAME_MOVE = 0.002  # mm: how far a dialect's move may lie from the classic one
DIALECTS = ("linuxcnc", "grbl")


# ---------------------------------------------------------------- geometry ---

def sample_line(a, b):
    n = max(1, math.ceil(math.dist(a, b) / SPACING))
    return [(a[0] + (b[0] - a[0]) * i / n, a[1] + (b[1] - a[1]) * i / n) for i in range(n + 1)]


def sample_cubic(p0, p1, p2, p3):
    rough = math.dist(p0, p1) + math.dist(p1, p2) + math.dist(p2, p3)
    n = max(8, math.ceil(rough / SPACING))
    pts = []
    for i in range(n + 1):
        t = i / n
        u = 1 - t
        a, b, c, d = u * u * u, 3 * u * u * t, 3 * u * t * t, t * t * t
        pts.append((a * p0[0] + b * p1[0] + c * p2[0] + d * p3[0],
                    a * p0[1] + b * p1[1] + c * p2[1] + d * p3[1]))
    return pts


def sample_arc(start, end, centre, rotation, sample=True):
    """rotation as ARC_FEED reports it: sign = sense (+ counter-clockwise),
    magnitude = number of turns begun (1 for less than one full turn)."""
    a0 = math.atan2(start[1] - centre[1], start[0] - centre[0])
    a1 = math.atan2(end[1] - centre[1], end[0] - centre[0])
    r0 = math.dist(start, centre)
    r1 = math.dist(end, centre)
    ccw = rotation > 0
    sweep = (a1 - a0) if ccw else (a0 - a1)
    sweep %= 2 * math.pi
    if sweep < 1e-12:
        sweep = 2 * math.pi  # same start and end: a whole circle
    sweep += 2 * math.pi * (abs(rotation) - 1)
    if not sample:
        return [], math.degrees(sweep)
    n = max(4, math.ceil(max(r0, r1) * sweep / SPACING))
    pts = []
    for i in range(n + 1):
        f = i / n
        ang = a0 + (sweep * f if ccw else -sweep * f)
        r = r0 + (r1 - r0) * f  # the interpreter's spiral when the radii differ
        pts.append((centre[0] + r * math.cos(ang), centre[1] + r * math.sin(ang)))
    return pts, math.degrees(sweep)


class NearestIndex:
    """Nearest distance from a point to a set of short polyline pieces, with a
    uniform grid; pieces are no longer than SPACING, indexed by their middle."""

    def __init__(self, polylines, cell=1.0):
        self.cell = cell
        self.grid = {}
        for pts in polylines:
            for a, b in zip(pts, pts[1:]):
                key = self._key(((a[0] + b[0]) / 2, (a[1] + b[1]) / 2))
                self.grid.setdefault(key, []).append((a, b))
            if len(pts) == 1:
                self.grid.setdefault(self._key(pts[0]), []).append((pts[0], pts[0]))
        keys = list(self.grid)
        self.span = (max(abs(k[0]) for k in keys) + max(abs(k[1]) for k in keys) + 2
                     if keys else 0)

    def _key(self, p):
        return (math.floor(p[0] / self.cell), math.floor(p[1] / self.cell))

    @staticmethod
    def _to_piece(p, a, b):
        dx, dy = b[0] - a[0], b[1] - a[1]
        ll = dx * dx + dy * dy
        t = 0.0 if ll == 0 else max(0.0, min(1.0, ((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / ll))
        return math.hypot(p[0] - a[0] - t * dx, p[1] - a[1] - t * dy)

    def distance(self, p):
        kx, ky = self._key(p)
        best = math.inf
        half = SPACING / 2
        k = 0
        while True:
            for ix in range(kx - k, kx + k + 1):
                for iy in (range(ky - k, ky + k + 1) if abs(ix - kx) == k else (ky - k, ky + k)):
                    for a, b in self.grid.get((ix, iy), ()):
                        best = min(best, self._to_piece(p, a, b))
            # Cells beyond ring k hold piece middles at least k cells away.
            if best <= k * self.cell - half or k > self.span + abs(kx) + abs(ky):
                return best
            k += 1


def max_distance(points_of, index):
    worst, where = 0.0, None
    for pts in points_of:
        for p in pts:
            d = index.distance(p)
            if d > worst:
                worst, where = d, p
    return worst, where


# ------------------------------------------------------------------ inputs ---

def read_drawing(seg_path):
    data = open(seg_path, "rb").read()
    if len(data) % SEGMENT.size:
        raise ValueError(f"{seg_path}: not a whole number of 80-byte Segment records")
    curves = []
    for rec in SEGMENT.iter_unpack(data):
        x0, y0, x1, y1, x2, y2, x3, y3, kind = rec[:9]
        if kind == 1:
            curves.append(sample_cubic((x0, y0), (x1, y1), (x2, y2), (x3, y3)))
        else:
            curves.append(sample_line((x0, y0), (x3, y3)))
    return curves


HEADER_G50 = re.compile(rb"^(G0 G49 G40  G17 G80) G50( G90)\r?$", re.M)


def prepare_program(tap_path, work):
    text = open(tap_path, "rb").read()
    text, removed = HEADER_G50.subn(rb"\1\2", text, count=1)
    tools = sorted({int(t) for t in re.findall(rb"^T(-?\d+) ?M6", text, re.M)})
    ngc = os.path.join(work, "program.ngc")
    with open(ngc, "wb") as f:
        f.write(text)
    table = os.path.join(work, "tools.tbl")
    with open(table, "w") as f:
        for t in tools:
            f.write(f"T{t} P{t} D3.0 Z0 ;\n")
    return ngc, table, removed == 1, tools


def canon_of(program):
    """rs274's canonical calls for the program, or RuntimeError with its
    complaint."""
    with tempfile.TemporaryDirectory(prefix="brevanto-canon-") as work:
        ngc, table, _, _ = prepare_program(program, work)
        out = os.path.join(work, "canon.txt")
        run = subprocess.run(["rs274", "-t", table, "-g", ngc, out], stdin=subprocess.DEVNULL,
                             capture_output=True, text=True, env=dict(os.environ, HOME=work),
                             timeout=300)
        canon = open(out).read() if os.path.exists(out) else ""
    complaint = (run.stdout + run.stderr).replace("executing", "").strip()
    if run.returncode != 0 or "PROGRAM_END" not in canon or complaint:
        raise RuntimeError(f"rs274 exit {run.returncode}: {complaint or 'no PROGRAM_END'}")
    return canon


NUMBERS = re.compile(r"-?\d+(?:\.\d+)?(?:[eE][-+]?\d+)?")


def interpret(tap_path, sample=True):
    """Returns (cutting path as polylines, arcs over 180 degrees, notes, moves)
    or raises RuntimeError with the interpreter's complaint. `moves` lists
    every move as (kind, end, centre, rotation, sweep in degrees)."""
    with tempfile.TemporaryDirectory(prefix="brevanto-rs274-") as work:
        ngc, table, removed, tools = prepare_program(tap_path, work)
        out = os.path.join(work, "canon.txt")
        env = dict(os.environ, HOME=work)
        run = subprocess.run(["rs274", "-t", table, "-g", ngc, out], stdin=subprocess.DEVNULL,
                             capture_output=True, text=True, env=env, timeout=300)
        canon = open(out).read() if os.path.exists(out) else ""
        complaint = (run.stdout + run.stderr).replace("executing", "").strip()
        if run.returncode != 0 or "PROGRAM_END" not in canon or complaint:
            raise RuntimeError(f"rs274 exit {run.returncode}: {complaint or 'no PROGRAM_END'}")
    notes = ["header word G50 removed (LinuxCNC does not know it)" if removed
             else "nothing removed"]
    notes.append("tools " + ",".join(map(str, tools)))
    pos = (0.0, 0.0)
    path, big_arcs, moves = [], 0, []
    for line in canon.splitlines():
        m = re.search(r"(STRAIGHT_TRAVERSE|STRAIGHT_FEED|ARC_FEED)\((.*)\)", line)
        if not m:
            continue
        v = [float(x) for x in NUMBERS.findall(m.group(2))]
        end = (v[0], v[1])
        if m.group(1) == "STRAIGHT_FEED":
            if sample:
                path.append(sample_line(pos, end))
            moves.append(("feed", end + (v[2],), None, 0, 0.0))
        elif m.group(1) == "ARC_FEED":
            pts, sweep = sample_arc(pos, end, (v[2], v[3]), int(v[4]), sample)
            if sample:
                path.append(pts)
            big_arcs += sweep > 180.0 + 1e-6
            moves.append(("arc", end + (v[5],), (v[2], v[3]), int(v[4]), sweep))
        else:
            moves.append(("rapid", end + (v[2],), None, 0, 0.0))
        pos = end
    return path, big_arcs, notes, moves


def moving(moves):
    """The moves that go somewhere: a header's modal words can make a rapid to
    where the tool already is."""
    kept, at = [], (0.0, 0.0, 0.0)
    for m in moves:
        if m[0] != "rapid" or m[1] != at:
            kept.append(m)
        at = m[1]
    return kept


def machining(moves):
    """The moves without the machine's own first and last ones (up to the
    clearance height, to the park position), which ClearanceZ and Park set
    per dialect: the Z move at X0 Y0 before the first shape and the rapids
    after the last cut."""
    start = 0
    while start < len(moves) and moves[start][0] == "rapid" and moves[start][1][:2] == (0.0, 0.0):
        start += 1
    end = len(moves)
    while end > start and moves[end - 1][0] == "rapid":
        end -= 1
    return moves[start:end]


def same_moves(classic, other):
    """None when `other` makes the classic program's moves, else what differs."""
    classic, other = machining(moving(classic)), machining(moving(other))
    if len(classic) != len(other):
        return f"{len(other)} moves where the classic program makes {len(classic)}"
    for i, (a, b) in enumerate(zip(classic, other)):
        if a[0] != b[0] or a[3] != b[3]:
            return f"move {i + 1}: {b[0]} {b[3]} where the classic program has {a[0]} {a[3]}"
        off = math.dist(a[1], b[1])
        if a[2] is not None:
            off = max(off, math.dist(a[2], b[2]))
        if off > SAME_MOVE:
            return f"move {i + 1} lies {off:.4f} mm from the classic one"
    return None


# -------------------------------------------------------------------- main ---

def check(name, seg_path, tap_path, tolerance, classic_moves=None):
    """(ok, arcs over 180 degrees, half-turn arcs, moves) of one program."""
    path, big_arcs, notes, moves = interpret(tap_path, math.isfinite(tolerance))
    halves = sum(1 for m in moves if m[0] == "arc" and abs(m[4] - 180.0) < 1e-3)
    strays = misses = 0.0
    stray_at = miss_at = None
    if math.isfinite(tolerance):
        drawing = read_drawing(seg_path)
        strays, stray_at = max_distance(path, NearestIndex(drawing))
        misses, miss_at = max_distance(drawing, NearestIndex(path))
    ok = strays <= tolerance and misses <= tolerance
    if classic_moves is not None:
        differs = same_moves(classic_moves, moves)
        notes.append(differs or "the classic program's moves")
        ok = ok and differs is None
    fmt = lambda p: "-" if p is None else f"({p[0]:.3f}, {p[1]:.3f})"
    print(f"{'ok  ' if ok else 'FAIL'} {name}: path->drawing {strays:.4f} mm at {fmt(stray_at)}, "
          f"drawing->path {misses:.4f} mm at {fmt(miss_at)}, arcs over 180 deg: {big_arcs}; "
          + "; ".join(notes))
    return ok, big_arcs, halves, moves


WORD = re.compile(r"([GXYIJ])(-?\d+(?:\.\d+)?)")


def arc_sweeps(program):
    """The sweep in degrees of every centre-format arc of a program, and how
    many full circles (two half turns back to where the first began)."""
    x = y = 0.0
    sweeps, circles, last_half_from = [], 0, None
    for line in open(program, encoding="latin-1"):
        words = dict(WORD.findall(line.split("(")[0]))
        nx, ny = float(words.get("X", x)), float(words.get("Y", y))
        if words.get("G") in ("02", "03") and "I" in words:
            cx, cy = x + float(words["I"]), y + float(words["J"])
            a0, a1 = math.atan2(y - cy, x - cx), math.atan2(ny - cy, nx - cx)
            sweep = math.degrees((a0 - a1) if words["G"] == "02" else (a1 - a0)) % 360.0
            sweeps.append(sweep or 360.0)
            half = abs(sweep - 180.0) < 1e-2
            if half and last_half_from == (nx, ny):
                circles += 1
            last_half_from = (x, y) if half else None
        x, y = nx, ny
    return sweeps, circles


def grbl_accepts(validator, program):
    """None when grbl's parser accepts every line, else its complaint."""
    with tempfile.TemporaryDirectory(prefix="brevanto-grbl-") as scratch:
        run = subprocess.run([validator, os.path.abspath(program)], cwd=scratch,
                             capture_output=True, text=True, timeout=300)
    if run.returncode == 0:
        return None
    lines = open(program, encoding="latin-1").read().splitlines()
    accepted = run.stdout.count("ok")
    where = lines[accepted] if accepted < len(lines) else "?"
    return f"grbl error {run.returncode} at line {accepted + 1}: {where.strip()}"


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--tolerance", type=float, default=0.3, help="mm (default 0.3)")
    ap.add_argument("--golden-dir", help="every NAME.tap with its NAME.seg and NAME.ini")
    ap.add_argument("--make-program", metavar="EXE",
                    help="make_program, to write the programs of --cases-dir, --examples-dir, "
                    "--random and --dialects")
    ap.add_argument("--cases-dir", help="every NAME.seg with its NAME.ini: the program is made")
    ap.add_argument("--examples-dir", help="every *.svg drawing: its segments are dumped by the "
                    "brevanto command (--brevanto), its program made with --example-settings")
    ap.add_argument("--brevanto", metavar="EXE", help="the brevanto command")
    ap.add_argument("--example-settings", metavar="INI")
    ap.add_argument("--random", type=int, default=0, metavar="N",
                    help="N random drawings from --generator, made with --example-settings")
    ap.add_argument("--generator", metavar="EXE", help="golden_runner (generate SEED COUNT SEG)")
    ap.add_argument("--dialects", action="store_true",
                    help="also write every drawing in the linuxcnc and grbl dialects")
    ap.add_argument("--grbl", metavar="GVALIDATE",
                    help="grbl's own parser; with --dialects, every grbl program must pass it")
    ap.add_argument("--grbl-only", action="store_true",
                    help="check the grbl programs with --grbl and nothing else (no rs274)")
    ap.add_argument("--require-full-circle", action="store_true",
                    help="fail unless some grbl program has a full circle (--grbl-only)")
    ap.add_argument("--require-big-arc", action="store_true",
                    help="fail unless some program has an arc sweeping over 180 degrees")
    ap.add_argument("--require-half-turn", action="store_true",
                    help="fail unless some program has an arc of exactly half a turn")
    args = ap.parse_args()

    work = tempfile.TemporaryDirectory(prefix="brevanto-interpreter-")
    failed = 0
    drawings = []  # (name, seg, ini, classic program or None to make)
    if args.golden_dir:
        for f in sorted(os.listdir(args.golden_dir)):
            stem = os.path.join(args.golden_dir, f[:-4])
            if f.endswith(".tap") and os.path.exists(stem + ".seg"):
                drawings.append(("golden/" + f[:-4], stem + ".seg", stem + ".ini", stem + ".tap"))
    if args.cases_dir:
        for f in sorted(os.listdir(args.cases_dir)):
            if f.endswith(".seg"):
                stem = os.path.join(args.cases_dir, f[:-4])
                drawings.append(("case/" + f[:-4], stem + ".seg", stem + ".ini", None))
    if args.examples_dir:
        for f in sorted(os.listdir(args.examples_dir)):
            if not f.endswith(".svg"):
                continue
            seg = os.path.join(work.name, f[:-4] + ".seg")
            run = subprocess.run([args.brevanto, os.path.join(args.examples_dir, f), "--quiet",
                                  "--settings", args.example_settings, "--output",
                                  os.path.join(work.name, f[:-4] + ".cmd.tap"),
                                  "--dump-segments", seg], capture_output=True, text=True)
            if run.returncode != 0:
                print(f"FAIL example/{f[:-4]}: the command failed: {run.stderr.strip()}")
                failed += 1
            else:
                drawings.append(("example/" + f[:-4], seg, args.example_settings, None))
    # Random drawings are wild (hooked curves, lengths that do not match the
    # points); they check that every dialect writes the same moves and that
    # grbl accepts them, not how close the moves stay to the curves.
    for i in range(args.random):
        seg = os.path.join(work.name, f"random{i}.seg")
        subprocess.run([args.generator, "generate", str(1000 + i), "150", seg], check=True)
        drawings.append((f"random/{i}", seg, args.example_settings, None))

    # Every drawing's programs: the classic one, and with --dialects the others.
    cases = []  # (name, seg, program, dialect)
    for name, seg, ini, tap in drawings:
        dialects = [None] + (list(DIALECTS) if args.dialects else [])
        for dialect in dialects:
            program = tap if dialect is None else None
            if program is None:
                stem = os.path.join(work.name, name.replace("/", "-"))
                program = stem + {None: ".tap", "linuxcnc": ".ngc", "grbl": ".nc"}[dialect]
                command = [args.make_program, seg, ini, program] + ([dialect] if dialect else [])
                run = subprocess.run(command, capture_output=True, text=True)
                if run.returncode != 0:
                    print(f"FAIL {name} ({dialect or 'classic'}): could not make the program: "
                          f"{run.stderr.strip()}")
                    failed += 1
                    continue
            cases.append((name, seg, program, dialect))

    if args.grbl:
        sweeps, circles, programs = [], 0, 0
        for name, seg, program, dialect in cases:
            if dialect == "grbl":
                complaint = grbl_accepts(args.grbl, program)
                arcs, full = arc_sweeps(program)
                sweeps += arcs
                circles += full
                programs += 1
                print(f"{'FAIL' if complaint else 'ok  '} {name} (grbl): "
                      f"{complaint or 'grbl accepts every line'}; {len(arcs)} arcs, "
                      f"{sum(a > 180.0 + 1e-3 for a in arcs)} over half a turn, {full} full circles")
                failed += complaint is not None
        if args.grbl_only:
            wanted = [(args.require_full_circle, circles, "a full circle"),
                      (args.require_half_turn, sum(abs(a - 180.0) < 1e-2 for a in sweeps),
                       "an arc of exactly half a turn"),
                      (args.require_big_arc, sum(a > 180.0 + 1e-3 for a in sweeps),
                       "an arc over half a turn")]
            for required, count, what in wanted:
                if required and count == 0:
                    print(f"FAIL: no grbl program has {what}")
                    failed += 1
            print(f"{failed} check(s) failed" if failed
                  else f"all {programs} grbl programs accepted")
            return 1 if failed else 0

    if shutil.which("rs274") is None:
        print("*" * 72 + "\nSKIPPED: rs274 (Debian package linuxcnc-uspace) is not installed;\n"
              f"{len(cases)} programs were NOT checked by a real G-code interpreter.\n" + "*" * 72)
        return 1 if failed else SKIP
    if not cases:
        print("no programs to check")
        return 1

    print(f"tolerance {args.tolerance} mm; {len(cases)} programs")
    big = halves = 0
    classic = {}
    for name, seg, program, dialect in cases:
        label = name if dialect is None else f"{name} ({dialect})"
        try:
            tolerance = math.inf if name.startswith("random/") else args.tolerance
            ok, arcs, half, moves = check(label, seg, program, tolerance,
                                          None if dialect is None else classic.get(name))
            if dialect is None:
                classic[name] = moves
        except (RuntimeError, ValueError, OSError, subprocess.TimeoutExpired) as e:
            print(f"FAIL {label}: {e}")
            ok, arcs, half = False, 0, 0
        failed += not ok
        big += arcs
        halves += half
    if args.require_big_arc and big == 0:
        print("FAIL: no program has an arc sweeping over 180 degrees")
        failed += 1
    if args.require_half_turn and halves == 0:
        print("FAIL: no program has an arc of exactly half a turn")
        failed += 1
    print(f"{failed} check(s) failed" if failed else f"all {len(cases)} programs passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
