#!/usr/bin/env python3
"""Pockets (Kind=pocket) measured on the moves LinuxCNC's stand-alone
interpreter (rs274) reads from the programs; the grbl programs also through
grbl's own parser (--grbl).

For each case of drawings.json (a drawing, settings over the base ones), in
every dialect rs274 reads the program without complaint, and on its reading:
  - cover: the tool's disc swept along the feed moves at full depth covers at
    least 99.5 % of the area the tool can reach (the pocket opened by the
    tool's disc: eroded by its radius, then dilated by it);
  - no gouge: no feed move below Z 0 puts the tool's disc outside the pocket
    or into an island by more than 0.01 mm;
  - descent: no feed move below Z 0 goes down more steeply than RampAngle.
Exit status: 0 all passed, 1 a failure, 77 skipped (rs274 or shapely missing).
"""
import argparse
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import interpret_programs as ip  # noqa: E402
import measure_offset as mo  # noqa: E402

GOUGE = 0.01  # mm the tool may stray into what the pocket keeps
COVER = 0.995


def build(loops):
    """The drawing's records (through measure_offset's Drawing) and its loops
    as polygons of points (arcs every quarter degree)."""
    rings = []

    def draw(d):
        for loop in loops:
            d.begin()
            at, pts = tuple(loop[0][1:]), [tuple(loop[0][1:])]
            for step in loop[1:]:
                if step[0] == "L":
                    d.line(at, tuple(step[1:]))
                    at = tuple(step[1:])
                    pts.append(at)
                else:
                    c, turn = tuple(step[1:3]), math.radians(step[3])
                    r, a0 = math.dist(at, c), math.atan2(at[1] - c[1], at[0] - c[0])
                    d.arc(c, r, a0, a0 + turn)
                    n = max(1, math.ceil(abs(step[3]) * 4))
                    pts += [(c[0] + r * math.cos(a0 + turn * i / n),
                             c[1] + r * math.sin(a0 + turn * i / n)) for i in range(1, n + 1)]
                    at = pts[-1]
            rings.append(pts)
    return mo.drawing_records(draw), rings


def pocket_area(rings):
    from shapely.geometry import Polygon
    area = Polygon(rings[0])
    for hole in rings[1:]:
        area = area.difference(Polygon(hole))
    return area


def feed_moves(moves):
    at, out = (0.0, 0.0, 0.0), []
    for kind, end, centre, rotation, _ in moves:
        if kind != "rapid":
            out.append((kind, at, end, centre, rotation))
        at = end
    return out


def path_points(m):
    kind, a, b, c, rotation = m
    if kind == "arc":
        return ip.sample_arc(a[:2], b[:2], c, rotation)[0]
    return ip.sample_line(a[:2], b[:2])


def faults_of(moves, area, radius, depth, ramp):
    from shapely.geometry import MultiLineString, Point
    from shapely.prepared import prep
    faults = []
    feeds = feed_moves(moves)
    steepest = math.tan(math.radians(ramp))
    for _, a, b, _, _ in feeds if ramp < 90 else []:
        drop = a[2] - b[2]
        chord = math.dist(a[:2], b[:2])
        if drop > 0 and b[2] < 0 and drop > steepest * chord + 1e-9:
            faults.append(f"a descent of {drop:.4f} over {chord:.4f} mm to {b[:2]}")
            break
    inside = prep(area.buffer(-(radius - GOUGE), 64))
    for m in feeds:
        if m[1][2] >= 0 and m[2][2] >= 0:
            continue
        bad = next((p for p in path_points(m) if not inside.contains(Point(p))), None)
        if bad is not None:
            faults.append(f"the tool cuts outside the pocket at {bad[0]:.4f}, {bad[1]:.4f}")
            break
    lines = [path_points(m) for m in feeds if m[1][2] == m[2][2] == depth]
    lines = [pts if len(pts) > 1 else pts * 2 for pts in lines]
    reach = area.buffer(-radius, 64).buffer(radius, 64)
    swept = MultiLineString(lines).buffer(radius, 32) if lines else Point(0, 0).buffer(0)
    if reach.area > 0:
        cover = swept.intersection(reach).area / reach.area
        if cover < COVER:
            left = reach.difference(swept)
            where = left.representative_point()
            faults.append(f"covers {100 * cover:.3f} % of the reachable area; "
                          f"{left.area:.3f} mm2 left, e.g. at {where.x:.3f}, {where.y:.3f}")
    return faults


def measure(name, loops, values, work, make_program, grbl):
    records, rings = build(loops)
    seg = os.path.join(work, f"{name}.seg")
    mo.write_seg(records, seg)
    ini = os.path.join(work, f"{name}.ini")
    with open(ini, "w") as f:
        f.writelines(f"{k}={v}\n" for k, v in values.items())
    area = pocket_area(rings)
    radius = float(values["txtWZDia"]) / 2
    depth = -abs(float(values["txtDepth"]))
    ramp = float(values.get("RampAngle", "90"))
    faults = []
    for dialect in ("classic", "linuxcnc", "grbl"):
        program = os.path.join(work, f"{name}-{dialect}.tap")
        subprocess.run([make_program, seg, ini, program, dialect], check=True)
        if dialect == "grbl" and grbl:
            refused = ip.grbl_accepts(grbl, program)
            faults += [refused] if refused else []
        moves = ip.interpret(program, False)[3]
        if dialect == "linuxcnc":
            faults += faults_of(moves, area, radius, depth, ramp)
    print(("FAIL " if faults else "ok   ") + name + "".join(f"\n     {f}" for f in faults))
    return not faults


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--make-program", required=True, metavar="EXE")
    ap.add_argument("--grbl", metavar="GVALIDATE", help="grbl's own parser")
    args = ap.parse_args()
    with open(os.path.join(HERE, "drawings.json")) as f:
        data = json.load(f)
    missing = "rs274 (Debian package linuxcnc-uspace)" if shutil.which("rs274") is None else None
    try:
        import shapely  # noqa: F401
    except ImportError:
        # Debian's python3-shapely is there for Debian's own interpreter.
        system = "/usr/bin/python3"
        if os.path.exists(system) and os.path.realpath(sys.executable) != os.path.realpath(system):
            os.execv(system, [system] + sys.argv)
        missing = missing or "shapely (Debian package python3-shapely)"
    if missing:
        print("*" * 72 + f"\nSKIPPED: {missing} is not installed;\n"
              f"{len(data['cases'])} pocket programs were NOT measured.\n" + "*" * 72)
        return ip.SKIP
    failed = 0
    with tempfile.TemporaryDirectory(prefix="brevanto-pockets-") as work:
        for i, (drawing, extra) in enumerate(data["cases"]):
            name = f"{drawing}-{i}"
            try:
                failed += not measure(name, data["drawings"][drawing], {**data["base"], **extra},
                                      work, args.make_program, args.grbl)
            except (RuntimeError, ValueError, OSError, subprocess.SubprocessError) as e:
                print(f"FAIL {name}: {e!r}")
                failed += 1
    print(f"{failed} case(s) failed" if failed else f"all {len(data['cases'])} cases passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
