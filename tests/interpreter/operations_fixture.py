#!/usr/bin/env python3
"""A drawing of three colours cut by three operations (operations/): each
shape's deepest Z, tool and feed as its operation says, the hole before the
outline, and the name before the part is cut free whatever its Order;
climb cuts in the sense the side asks for, read by LinuxCNC's rs274;
the grbl program, with its M0 pause at the tool change, accepted by grbl's
parser; and --origin drawing putting the offset outline's corner a tool
radius below X0 Y0; --split-by-tool giving one program per tool that each
pass both. Exit 77 when rs274 is not installed."""
import argparse
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import interpret_programs as ip  # noqa: E402

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "operations")
# Per shape in cutting order: (deepest Z, tool, cutting feed, sense: +1 counter-clockwise,
# -1 clockwise, 0 open)
EXPECTED = [(-0.5, 2, 300.0, 0), (-6.0, 1, 1000.0, 1), (-6.0, 1, 1200.0, -1)]


def canon_shapes(program):
    """Per "( NEXT SHAPE )": lowest Z, tool in the spindle, feeds, and the
    signed area of its cutting moves' end points."""
    canon = ip.canon_of(program)
    shapes, tool, feed, xs, ys, at = [], None, None, [], [], (0.0, 0.0)
    for line in canon.splitlines():
        # CHANGE_TOOL names the tool table's slot; SELECT_TOOL the number,
        # and every T here comes with its M6.
        if "SELECT_TOOL(" in line:
            tool = int(ip.NUMBERS.findall(line.split("SELECT_TOOL(")[1])[0])
        if "SET_FEED_RATE(" in line:
            feed = float(ip.NUMBERS.findall(line.split("SET_FEED_RATE(")[1])[0])
        if "COMMENT(" in line and "NEXT SHAPE" in line:
            shapes.append({"z": 0.0, "tool": tool, "feeds": set(), "points": []})
        m = re.search(r"(STRAIGHT_TRAVERSE|STRAIGHT_FEED|ARC_FEED)\((.*)\)", line)
        if not m:
            continue
        v = [float(x) for x in ip.NUMBERS.findall(m.group(2))]
        xs.append(v[0])
        ys.append(v[1])
        if shapes and m.group(1) != "STRAIGHT_TRAVERSE":
            s = shapes[-1]
            s["z"] = min(s["z"], v[2] if m.group(1) == "STRAIGHT_FEED" else v[5])
            s["feeds"].add(feed)
            if m.group(1) == "ARC_FEED":
                s["points"].extend(ip.sample_arc(at, (v[0], v[1]), (v[2], v[3]), int(v[4]))[0])
            s["points"].append((v[0], v[1]))
        at = (v[0], v[1])
    return shapes, min(xs), min(ys)


def facts(program):
    """Per shape: (deepest Z, tool, cutting feed, sense)."""
    return [(s["z"], s["tool"], max(s["feeds"]), sense(s["points"]))
            for s in canon_shapes(program)[0]]


def sense(points):
    if len(points) < 3 or points[0] != points[-1] and abs(points[0][0] - points[-1][0]) > 1e-3:
        return 0
    area = sum(a[0] * b[1] - b[0] * a[1] for a, b in zip(points, points[1:] + points[:1]))
    return 1 if area > 0 else -1


def brevanto(command, *args):
    run = subprocess.run([command, os.path.join(HERE, "three_colours.svg"), "-q", "--settings",
                          os.path.join(HERE, "three_colours.ini"), *args],
                         capture_output=True, text=True)
    if run.returncode != 0:
        raise RuntimeError(f"brevanto {' '.join(args)}: exit {run.returncode}: {run.stderr}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--brevanto", required=True)
    ap.add_argument("--grbl", required=True)
    args = ap.parse_args()
    if shutil.which("rs274") is None:
        print("SKIPPED: rs274 (Debian package linuxcnc-uspace) is not installed")
        return 77
    failures = []
    with tempfile.TemporaryDirectory(prefix="brevanto-ops-") as work:
        ngc, nc, origin = (os.path.join(work, n) for n in ("p.ngc", "p.nc", "o.ngc"))
        brevanto(args.brevanto, "-o", ngc)
        got = facts(ngc)
        if got != EXPECTED:
            failures.append(f"linuxcnc: shapes {got}, expected {EXPECTED}")
        # Side=inside is the hole's own inside, though the hole is in a part.
        radii = [math.hypot(x - 30, y - 35) for x, y in canon_shapes(ngc)[0][1]["points"]]
        if max(abs(r - (8 - 3.175 / 2)) for r in radii) > 0.001:
            failures.append(f"hole: toolpath radius {min(radii)} to {max(radii)}, expected 6.4125")
        brevanto(args.brevanto, "-o", ngc, "--operation", "hole:Direction=conventional",
                 "--operation", "outline:Direction=conventional")
        senses = [sense(s["points"]) for s in canon_shapes(ngc)[0]]
        if senses != [e[3] * -1 for e in EXPECTED]:
            failures.append(f"conventional: senses {senses}, expected the climb ones reversed")
        if "G43 H1" not in open(ngc).read():
            failures.append("linuxcnc: no G43 H1 after the tool change")
        # Engraved last by Order, the name still comes before the part is cut
        # free, at the cost of a second tool change.
        brevanto(args.brevanto, "-o", ngc, "--operation", "name:Order=5")
        got = facts(ngc)
        if got != [EXPECTED[1], EXPECTED[0], EXPECTED[2]]:
            failures.append(f"name:Order=5: shapes {got}, expected hole, name, outline")
        brevanto(args.brevanto, "-o", nc, "--dialect", "grbl")
        lines = open(nc, "rb").read().split(b"\r\n")
        pauses = [l for l in lines if re.fullmatch(rb"M0 \([^()]*\)", l)]
        if len(pauses) != 1 or any(len(l) > 80 for l in lines):
            failures.append("grbl: not one M0 pause, or a line longer than 80 characters")
        # grbl-sim holds at M0 until a cycle start that never comes: the
        # parser checks every other line.
        unpaused = os.path.join(work, "unpaused.nc")
        open(unpaused, "wb").write(b"\r\n".join(l for l in lines if l not in pauses))
        if (complaint := ip.grbl_accepts(os.path.abspath(args.grbl), unpaused)) is not None:
            failures.append("grbl: " + complaint)
        # One complete program per tool: each read whole by rs274 and by
        # grbl's parser, with no pause left in it.
        brevanto(args.brevanto, "-o", ngc, "--split-by-tool")
        for tool, expected in ((2, EXPECTED[:1]), (1, EXPECTED[1:])):
            got = facts(os.path.join(work, f"p-T{tool}.ngc"))
            if got != expected:
                failures.append(f"--split-by-tool T{tool}: shapes {got}, expected {expected}")
        brevanto(args.brevanto, "-o", nc, "--dialect", "grbl", "--split-by-tool")
        for tool in (1, 2):
            part = os.path.join(work, f"p-T{tool}.nc")
            if b"M0" in open(part, "rb").read().split():
                failures.append(f"grbl --split-by-tool T{tool}: a pause in a one-tool program")
            if (complaint := ip.grbl_accepts(os.path.abspath(args.grbl), part)) is not None:
                failures.append(f"grbl --split-by-tool T{tool}: " + complaint)
        brevanto(args.brevanto, "-o", origin, "--origin", "drawing")
        _, low_x, low_y = canon_shapes(origin)
        if abs(low_x + 3.175 / 2) > 0.001 or abs(low_y + 3.175 / 2) > 0.001:
            failures.append(f"--origin drawing: lowest X {low_x} Y {low_y}, expected -1.5875")
    for f in failures:
        print("FAIL " + f)
    print("ok" if not failures else f"{len(failures)} check(s) failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
