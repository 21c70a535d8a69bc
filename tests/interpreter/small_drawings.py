#!/usr/bin/env python3
"""Small drawings through the brevanto command, read back by LinuxCNC's rs274.

Generates icon-sized SVG drawings (5 to 20 mm) from a seed: blobs of cubics,
calligraphy-like strokes of many short flat curves (some with a cubic that
hooks back), crescents of two arcs of close radii (some with the tiny arcs
and the line across each horn that icon themes draw), full circles built of
arcs, cubics or a circle element, and flat ellipses. Each goes through the
command with its default tolerance and the given settings; then:
  - the command must write the program (exit status 0);
  - rs274 must accept the whole program;
  - the interpreted cutting path and the drawing (the Segment records the
    command dumps) must lie within the tolerance of one another, both ways,
    as interpret_programs.py measures.
--cases-dir and --examples-dir add drawings of those folders (NAME.seg, and
*.svg); a case with a NAME.summary file must also show each of its lines in
the command's summary. The report counts the drawings the command had to
refine (a finer joining precision, curves cut in two) and gives the largest
deviation found. Exit status: 0 all passed, 1 a failure, 77 skipped because
rs274 is not installed.
"""
import argparse
import concurrent.futures
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from interpret_programs import (SKIP, NearestIndex, interpret, max_distance,  # noqa: E402
                                read_drawing)

KAPPA = 0.5522847498307936  # a quarter circle's cubic


# -------------------------------------------------------------- drawings ---

def fmt(v):
    return f"{v:.4f}".rstrip("0").rstrip(".")


def pt(p):
    return f"{fmt(p[0])},{fmt(p[1])}"


def polar(c, r, a):
    return (c[0] + r * math.cos(a), c[1] + r * math.sin(a))


def arc_to(r, large, sweep, end):
    return f"A{fmt(r)} {fmt(r)} 0 {int(large)} {int(sweep)} {pt(end)}"


def blob(rng, c, size):
    """A closed outline of 3 to 6 cubics, smooth or with corners."""
    n = rng.randint(3, 6)
    angles = sorted(rng.uniform(0, 2 * math.pi) for _ in range(n))
    pts = [polar(c, size * rng.uniform(0.5, 1.0), a) for a in angles]
    smooth = rng.random() < 0.7
    d = f"M{pt(pts[0])}"
    for i in range(n):
        p0, p3 = pts[i], pts[(i + 1) % n]
        if smooth:  # Catmull-Rom tangents
            pm, p4 = pts[i - 1], pts[(i + 2) % n]
            p1 = (p0[0] + (p3[0] - pm[0]) / 6, p0[1] + (p3[1] - pm[1]) / 6)
            p2 = (p3[0] - (p4[0] - p0[0]) / 6, p3[1] - (p4[1] - p0[1]) / 6)
        else:
            p1 = polar(p0, size * rng.uniform(0.1, 0.6), rng.uniform(0, 2 * math.pi))
            p2 = polar(p3, size * rng.uniform(0.1, 0.6), rng.uniform(0, 2 * math.pi))
        d += f"C{pt(p1)} {pt(p2)} {pt(p3)}"
    return [f'<path d="{d}Z"/>']


def stroke(rng, c, size):
    """A calligraphy-like filled stroke: both edges of a wandering pen line
    as many short flat cubics, and sometimes one cubic that hooks back."""
    n = rng.randint(8, 30)
    step = min(0.6, 1.5 * size / n)
    heading = rng.uniform(0, 2 * math.pi)
    bend = rng.uniform(-1.0, 1.0) / n
    centre = [(c[0] - step * n / 2 * math.cos(heading), c[1] - step * n / 2 * math.sin(heading))]
    for _ in range(n):
        heading += bend * rng.uniform(0.5, 1.5)
        centre.append(polar(centre[-1], step, heading))
    width = [rng.uniform(0.1, 0.5)]
    for _ in range(n):
        width.append(min(0.6, max(0.05, width[-1] + rng.uniform(-0.04, 0.04))))
    sides = [[], []]
    for i, p in enumerate(centre):
        q = centre[min(i + 1, n)] if i < n else p
        o = centre[i - 1] if i > 0 else p
        a = math.atan2(q[1] - o[1], q[0] - o[0]) + math.pi / 2
        sides[0].append(polar(p, width[i], a))
        sides[1].append(polar(p, -width[i], a))
    edge = sides[0] + sides[1][::-1]
    hook = rng.randrange(len(edge) - 1) if rng.random() < 0.4 else -1
    d = f"M{pt(edge[0])}"
    for i, (p0, p3) in enumerate(zip(edge, edge[1:])):
        dx, dy = p3[0] - p0[0], p3[1] - p0[1]
        if i == hook:  # out and back: chord short, length long
            far = polar(p0, rng.uniform(1.0, 2.5), rng.uniform(0, 2 * math.pi))
            p1 = (p0[0] + dx * 0.05, p0[1] + dy * 0.05)
            d += f"C{pt(p1)} {pt(far)} {pt(p3)}"
            continue
        bulge = rng.uniform(-0.08, 0.08)
        p1 = (p0[0] + dx / 3 - dy * bulge, p0[1] + dy / 3 + dx * bulge)
        p2 = (p0[0] + 2 * dx / 3 - dy * bulge, p0[1] + 2 * dy / 3 + dx * bulge)
        d += f"C{pt(p1)} {pt(p2)} {pt(p3)}"
    return [f'<path d="{d}Z"/>']


def crescent(rng, c, size):
    """Two arcs of close radii meeting at the horns; sometimes each horn is
    cut off by a short line and carries a tiny arc, as icon themes draw it."""
    big = size * rng.uniform(0.5, 1.0)
    small = big * rng.uniform(0.85, 0.96)
    offset = rng.uniform(big - small + 0.15 * small, big + small - 0.2 * small)
    turn = rng.uniform(0, 2 * math.pi)
    inner = polar(c, offset, turn)
    # Where the circles cross: at +-h from the line of centres, x along it.
    x = (offset * offset + big * big - small * small) / (2 * offset)
    h = math.sqrt(max(big * big - x * x, 1e-9))
    ang = math.atan2(h, x)
    a, b = turn + ang, turn - ang  # the horns on the outer circle
    if rng.random() < 0.5:  # plain: outer arc the long way, inner arc back
        p, q = polar(c, big, a), polar(c, big, b)
        inner_large = int(x > offset)
        return [f'<path d="M{pt(p)}{arc_to(big, 1, 1, q)}'
                f'{arc_to(small, inner_large, 0, p)}Z"/>']
    # Horns cut off: on each circle stop short of the crossing, join the two
    # circles by a line, and draw a tiny piece of each arc on its own.
    cut, tiny = rng.uniform(0.05, 0.25), rng.uniform(0.0005, 0.004)
    pa = polar(c, big, a + cut / big)
    pt_a = polar(c, big, a + (cut + tiny) / big)
    pb = polar(c, big, b - cut / big)
    ia = math.atan2(pa[1] - inner[1], pa[0] - inner[0])
    ib = math.atan2(pb[1] - inner[1], pb[0] - inner[0])
    qa, qb = polar(inner, small, ia), polar(inner, small, ib)
    qa_t = polar(inner, small, ia + tiny / small)
    inner_large = int(((ib - ia) % (2 * math.pi)) > math.pi)
    return [f'<path d="M{pt(pa)}{arc_to(big, 0, 1, pt_a)}{arc_to(big, 1, 1, pb)}L{pt(qb)}'
            f'{arc_to(small, inner_large, 0, qa_t)}{arc_to(small, 0, 0, qa)}Z"/>']


def circle(rng, c, size):
    """A full circle: two or four arcs, four cubics, or a circle element, from
    any starting angle."""
    r = size * rng.uniform(0.1, 1.0)
    start = rng.uniform(0, 2 * math.pi)
    sense = rng.random() < 0.5
    way = 1 if sense else -1
    form = rng.randrange(4)
    if form == 3:
        return [f'<circle cx="{fmt(c[0])}" cy="{fmt(c[1])}" r="{fmt(r)}"/>']
    if form == 2:
        d = f"M{pt(polar(c, r, start))}"
        for k in range(4):
            a0, a1 = start + way * k * math.pi / 2, start + way * (k + 1) * math.pi / 2
            p0, p3 = polar(c, r, a0), polar(c, r, a1)
            t0 = (-math.sin(a0) * way, math.cos(a0) * way)
            t1 = (-math.sin(a1) * way, math.cos(a1) * way)
            p1 = (p0[0] + KAPPA * r * t0[0], p0[1] + KAPPA * r * t0[1])
            p2 = (p3[0] - KAPPA * r * t1[0], p3[1] - KAPPA * r * t1[1])
            d += f"C{pt(p1)} {pt(p2)} {pt(p3)}"
        return [f'<path d="{d}Z"/>']
    parts = 2 if form == 0 else 4
    d = f"M{pt(polar(c, r, start))}"
    for k in range(1, parts + 1):
        d += arc_to(r, 0, sense, polar(c, r, start + way * k * 2 * math.pi / parts))
    return [f'<path d="{d}Z"/>']


def ellipse(rng, c, size):
    rx = size * rng.uniform(0.4, 1.0)
    ry = rx * rng.uniform(0.08, 0.5)
    return [f'<ellipse cx="{fmt(c[0])}" cy="{fmt(c[1])}" rx="{fmt(rx)}" ry="{fmt(ry)}" '
            f'transform="rotate({fmt(rng.uniform(0, 180))} {fmt(c[0])} {fmt(c[1])})"/>']


KINDS = (blob, stroke, crescent, circle, ellipse)


def make_drawing(seed):
    """(SVG text, the kinds drawn) of drawing number `seed`."""
    rng = random.Random(seed)
    extent = rng.uniform(5.0, 20.0)
    count = rng.randint(1, 3)
    body, kinds = [], []
    for _ in range(count):
        kind = rng.choice(KINDS)
        size = extent / (2 + count) * rng.uniform(0.8, 1.5)
        c = (rng.uniform(size, extent - size), rng.uniform(size, extent - size))
        body += kind(rng, c, size)
        kinds.append(kind.__name__)
    svg = (f'<svg xmlns="http://www.w3.org/2000/svg" width="{fmt(extent)}mm" '
           f'height="{fmt(extent)}mm" viewBox="0 0 {fmt(extent)} {fmt(extent)}">\n'
           f'<g fill="#202020">\n' + "\n".join(body) + "\n</g>\n</svg>\n")
    return svg, kinds


# ----------------------------------------------------------------- check ---

def run_command(brevanto, drawing, settings, work, name):
    """(program, dumped segments, summary) or raises RuntimeError."""
    stem = os.path.join(work, name.replace("/", "-"))
    run = subprocess.run([brevanto, drawing, "--settings", settings, "-o", stem + ".tap",
                          "--dump-segments", stem + ".seg"],
                         capture_output=True, text=True, timeout=300)
    if run.returncode != 0:
        raise RuntimeError(f"the command exited {run.returncode}: {run.stderr.strip()}")
    return stem + ".tap", stem + ".seg", run.stderr


def measure(seg, program):
    """(largest distance both ways, where) of the interpreted path."""
    path = interpret(program)[0]
    drawing = read_drawing(seg)
    strays, at = max_distance(path, NearestIndex(drawing))
    misses, miss_at = max_distance(drawing, NearestIndex(path))
    return (strays, at) if strays >= misses else (misses, miss_at)


def check_drawing(job):
    """(name, ok, deviation, what the command changed, report line) of one
    drawing through the command and rs274."""
    brevanto, settings, work, tolerance, name, path, expected = job
    try:
        program, seg, summary = run_command(brevanto, path, settings, work, name.split(" ")[0])
        distance, at = measure(seg, program)
    except (RuntimeError, ValueError, OSError, subprocess.TimeoutExpired) as e:
        return name, False, 0.0, [], f"FAIL {name}: {e}"
    changes = [s.split("..", 1)[-1].strip(" .") for s in summary.splitlines()
               if "to keep the tolerance" in s]
    missing = [e for e in expected if e not in summary]
    ok = distance <= tolerance and not missing
    where = f"({at[0]:.3f}, {at[1]:.3f})" if at else "-"
    return name, ok, distance, changes, (
        f"{'ok  ' if ok else 'FAIL'} {name}: {distance:.4f} mm at {where}"
        + "".join(f"; {c}" for c in changes)
        + "".join(f"; the summary lacks '{m}'" for m in missing))


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--brevanto", required=True, metavar="EXE", help="the brevanto command")
    ap.add_argument("--settings", required=True, metavar="INI", help="e.g. examples/CNC.ini")
    ap.add_argument("--count", type=int, default=250, help="generated drawings (default 250)")
    ap.add_argument("--seed", type=int, default=1, help="the first drawing's seed (default 1)")
    ap.add_argument("--tolerance", type=float, default=0.05,
                    help="mm, both ways (default 0.05, the command's default)")
    ap.add_argument("--cases-dir", help="every NAME.seg, with NAME.summary lines to expect")
    ap.add_argument("--examples-dir", help="every *.svg drawing")
    ap.add_argument("--keep", metavar="DIR", help="write the drawings and programs here")
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 1,
                    help="drawings checked at once (default: the number of processors)")
    args = ap.parse_args()

    if shutil.which("rs274") is None:
        print("*" * 72 + "\nSKIPPED: rs274 (Debian package linuxcnc-uspace) is not installed;\n"
              "the small drawings were NOT checked by a real G-code interpreter.\n" + "*" * 72)
        return SKIP
    scratch = None  # the temporary folder lives as long as this variable
    if args.keep:
        os.makedirs(args.keep, exist_ok=True)
        work = args.keep
    else:
        scratch = tempfile.TemporaryDirectory(prefix="brevanto-small-")
        work = scratch.name

    drawings = []  # (name, path, expected summary lines)
    for k in range(args.count):
        seed = args.seed + k
        svg, kinds = make_drawing(seed)
        path = os.path.join(work, f"small{seed}.svg")
        with open(path, "w") as f:
            f.write(svg)
        drawings.append((f"small/{seed} ({'+'.join(kinds)})", path, []))
    for folder, ext, prefix in ((args.cases_dir, ".seg", "case/"),
                                (args.examples_dir, ".svg", "example/")):
        for f in sorted(os.listdir(folder)) if folder else []:
            if f.endswith(ext):
                expect = os.path.join(folder, f[:-len(ext)] + ".summary")
                lines = ([s.strip() for s in open(expect) if s.strip()]
                         if os.path.exists(expect) else [])
                drawings.append((prefix + f[:-len(ext)], os.path.join(folder, f), lines))

    jobs = [(args.brevanto, args.settings, work, args.tolerance) + d for d in drawings]
    with concurrent.futures.ProcessPoolExecutor(args.jobs) as pool:
        results = list(pool.map(check_drawing, jobs))
    failed = refined = finer = split = 0
    worst, worst_name = 0.0, "-"
    for name, ok, distance, changes, report in results:
        print(report)
        failed += not ok
        refined += bool(changes)
        finer += any("Prezision=" in c for c in changes)
        split += any("cut in two" in c for c in changes)
        if distance > worst:
            worst, worst_name = distance, name
    print(f"{len(drawings)} drawings ({args.count} generated from seed {args.seed}); "
          f"{refined} refined by the command ({finer} with a finer precision, {split} with "
          f"curves cut in two); largest deviation rs274's path gave: {worst:.4f} mm "
          f"({worst_name}); tolerance {args.tolerance} mm")
    print(f"{failed} check(s) failed" if failed else "all passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
