#!/usr/bin/env python3
"""Laser programs through grbl's parser (gvalidate) and LinuxCNC's
interpreter (rs274): a plate with two holes cut at 80 % in 3 passes, and a
badge with holes filled at 30 % (two runs with the base settings), and both
in one program by operations (operations/laser_plate.*). Checks what
a laser needs: no Z word after the header, the laser mode before the first
cut, every S on a motion line, the power per shape as set, and for the fill
lines (each as wide as the interval) covering at least 99 % of the area,
nothing burnt outside it by more than the interval and nothing inside the
holes. Exit status: 0 passed, 1 failed; rs274 is skipped (said) where it is
not installed."""
import argparse
import bisect
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from interpret_programs import grbl_accepts, interpret  # noqa: E402

PLATE = """<svg xmlns="http://www.w3.org/2000/svg" width="100mm" height="60mm" viewBox="0 0 100 60">
<g fill="none" stroke="#ff0000"><rect x="5" y="5" width="90" height="50" rx="4"/>
<circle cx="20" cy="30" r="6"/><circle cx="80" cy="30" r="6"/></g></svg>"""

# A ring and a rounded plate with a round and a square hole; y flipped by
# the reader about the page height of 60.
BADGE = """<svg xmlns="http://www.w3.org/2000/svg" width="110mm" height="60mm" viewBox="0 0 110 60">
<g fill="none" stroke="#0000ff"><circle cx="30" cy="30" r="20"/><circle cx="30" cy="30" r="8"/>
<rect x="60" y="10" width="40" height="40" rx="5"/><circle cx="72" cy="30" r="6"/>
<rect x="84" y="24" width="10" height="12"/></g></svg>"""


def sd_circle(x, y, cx, cy, r):
    return math.hypot(x - cx, y - cy) - r


def sd_box(x, y, x0, y0, x1, y1, r=0.0):
    """Signed distance to a rectangle with corners rounded by r."""
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    dx, dy = abs(x - (x0 + x1) / 2) - hx, abs(y - (y0 + y1) / 2) - hy
    return math.hypot(max(dx, 0), max(dy, 0)) + min(max(dx, dy), 0) - r


# (outline, holes) signed distances of each filled part, y up.
BADGE_PARTS = [(lambda x, y: sd_circle(x, y, 30, 30, 20), [lambda x, y: sd_circle(x, y, 30, 30, 8)]),
               (lambda x, y: sd_box(x, y, 60, 10, 100, 50, 5),
                [lambda x, y: sd_circle(x, y, 72, 30, 6), lambda x, y: sd_box(x, y, 84, 24, 94, 36)])]
# The logo of operations/laser_plate.svg: y flipped about 60.
LOGO_PARTS = [(lambda x, y: sd_box(x, y, 33, 17, 67, 43, 3),
               [lambda x, y: sd_circle(x, y, 50, 30, 5), lambda x, y: sd_box(x, y, 58, 25, 63, 35)])]


def area_distance(x, y, parts):
    """Signed distance to the filled area (negative inside), holes cut out."""
    return min(max(outline(x, y), *[-h(x, y) for h in holes]) for outline, holes in parts)


def hole_depth(x, y, parts):
    """How far inside a hole the point lies (negative: in none)."""
    return max(-h(x, y) for _, holes in parts for h in holes)


WORD = re.compile(r"([A-Z])(-?\d+(?:\.\d+)?)")


def read_program(text):
    """The burnt stretches (from, to, power) of a program's straight moves,
    and the faults of its laser words."""
    faults, burns, shape_powers = [], [], []
    pos, power, header, mode_seen, motion = (0.0, 0.0), 0.0, True, False, None
    for n, raw in enumerate(text.splitlines(), 1):
        line = re.sub(r"\(.*?\)", "", raw).strip()
        if "NEXT SHAPE" in raw:
            header = False
            shape_powers.append(set())
        words = dict((k, float(v)) for k, v in WORD.findall(re.sub(r"^N\d+\s*", "", line)))
        g = [float(v) for k, v in WORD.findall(line) if k == "G"]
        if g:
            motion = g[0]
        if "M4" in line.split() or "M3" in line.split():
            mode_seen = True
        if "Z" in words and not header:
            faults.append(f"line {n}: a Z word after the header: {raw}")
        if "S" in words:
            if not g or g[0] not in (0, 1, 2, 3):
                faults.append(f"line {n}: S not on a motion line: {raw}")
            power = words["S"]
            if shape_powers and power > 0:
                shape_powers[-1].add(power)
        to = (words.get("X", pos[0]), words.get("Y", pos[1]))
        if motion in (1, 2, 3) and ("X" in words or "Y" in words):
            if not mode_seen:
                faults.append(f"line {n}: a feed move before the laser mode: {raw}")
            if power > 0 and motion == 1:
                burns.append((pos, to, power))
        pos = to
    return burns, shape_powers, faults


def fill_faults(burns, interval, angle, parts):
    """Coverage of the area by lines as wide as the interval, and no burn
    outside it by more than the interval or inside a hole."""
    a = math.radians(angle)
    c, s = math.cos(a), math.sin(a)
    lines = {}  # line number -> (v, its stretches (u0, u1))
    for (x0, y0), (x1, y1), _ in burns:
        n = max(2, math.ceil(math.hypot(x1 - x0, y1 - y0) / 0.2))
        for t in range(0, n + 1):
            x, y = x0 + (x1 - x0) * t / n, y0 + (y1 - y0) * t / n
            if area_distance(x, y, parts) > interval:
                return [f"burnt at ({x:.3f}, {y:.3f}), outside the area"]
            if hole_depth(x, y, parts) > 0.05:  # the outline as written strays up to 0.05
                return [f"burnt at ({x:.3f}, {y:.3f}), inside a hole"]
        v = -x0 * s + y0 * c
        u0, u1 = sorted((x0 * c + y0 * s, x1 * c + y1 * s))
        lines.setdefault(math.floor(v / interval), (v, []))[1].append((u0, u1))
    for _, stretches in lines.values():
        stretches.sort()
    inside = covered = 0
    step = 0.125
    for i in range(int(110 / step)):
        for j in range(int(60 / step)):
            x, y = (i + 0.5) * step, (j + 0.5) * step
            if area_distance(x, y, parts) >= 0:
                continue
            inside += 1
            u, v = x * c + y * s, -x * s + y * c
            k = math.floor(v / interval)
            for line_v, stretches in (lines.get(kk, (math.inf, [])) for kk in (k - 1, k, k + 1)):
                at = bisect.bisect_right(stretches, (u, math.inf)) - 1
                if abs(v - line_v) <= interval / 2 + 1e-9 and at >= 0 and u <= stretches[at][1]:
                    covered += 1
                    break
    if covered < 0.99 * inside:
        return [f"the lines cover {covered} of {inside} points of the area"]
    print(f"  covered {covered} of {inside} points of the area ({100.0 * covered / inside:.2f} %)")
    return []


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--brevanto", required=True)
    ap.add_argument("--grbl", required=True, help="gvalidate")
    args = ap.parse_args()
    failures = []
    have_rs274 = shutil.which("rs274") is not None
    if not have_rs274:
        print("rs274 not installed: the linuxcnc programs are not interpreted")
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "operations")
    # (name, drawing, arguments, the power of each shape in order, the fill:
    # its power, interval, angle and parts)
    runs = [("plate cut", PLATE, ["--set", "Machine=laser", "--set", "Power=80", "--set", "Passes=3"],
             [800.0] * 3, None),
            ("badge fill", BADGE, ["--set", "Kind=laser-fill", "--set", "Power=30",
                                   "--set", "LineInterval=0.25", "--set", "FillAngle=30",
                                   "--set", "Overscan=1.5"], [300.0] * 2,
             (300.0, 0.25, 30.0, BADGE_PARTS)),
            ("logo fill and plate cut by operations", open(os.path.join(here, "laser_plate.svg")).read(),
             ["--settings", os.path.join(here, "laser_plate.ini")], [300.0] + [800.0] * 3,
             (300.0, 0.25, 30.0, LOGO_PARTS))]
    with tempfile.TemporaryDirectory(prefix="brevanto-laser-") as work:
        for name, svg, sets, powers, fill in runs:
            drawing = os.path.join(work, "drawing.svg")
            open(drawing, "w").write(svg)
            for dialect in ("grbl", "linuxcnc"):
                program = os.path.join(work, f"program.{dialect}")
                run = subprocess.run([args.brevanto, drawing, "-q", "-o", program,
                                      "--dialect", dialect, *sets],
                                     capture_output=True, text=True,
                                     env=dict(os.environ, BREVANTO_SETTINGS="/nonexistent"))
                if run.returncode != 0:
                    failures.append(f"{name} {dialect}: brevanto: {run.stderr.strip()}")
                    continue
                text = open(program, encoding="latin-1").read()
                burns, shape_powers, faults = read_program(text)
                if shape_powers != [{p} for p in powers]:
                    faults.append(f"powers per shape {shape_powers}, not {powers}")
                if dialect == "grbl":
                    if "G00 M4 S0" not in text:
                        faults.append("no M4 S0 before the first cut")
                    complaint = grbl_accepts(args.grbl, program)
                    if complaint:
                        faults.append(complaint)
                elif have_rs274:
                    try:
                        interpret(program, sample=False)
                    except RuntimeError as e:
                        faults.append(str(e))
                if fill and dialect == "grbl":  # the linuxcnc program burns the same lines
                    faults += fill_faults([b for b in burns if b[2] == fill[0]], *fill[1:])
                failures += [f"{name} {dialect}: {f}" for f in faults[:5]]
                print(f"{name} {dialect}: {len(burns)} burning moves, "
                      f"{'ok' if not faults else 'FAILED'}")
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
