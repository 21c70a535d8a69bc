#!/usr/bin/env python3
"""Holding tabs, ramp entry and lead arcs, measured on the moves LinuxCNC's
stand-alone interpreter (rs274) reads from the programs (X, Y and Z), in every
dialect; the grbl programs also through grbl's own parser (--grbl).

Drawings: a 120 x 80 part with six holes of 10 mm, and a disc of 60 mm with a
hole (its outline all arcs); cut outside, 6 mm deep in 1.5 mm steps with a
3.175 mm tool. For each case of CASES:
  - tabs: on the outline's last pass the tool is at the tabs' top over
    exactly as many stretches as tabs were asked, each at least TabWidth plus
    the tool's diameter long, and at the full depth everywhere else; no move
    that stays level is at any other height; the holes' feed moves never
    climb (no tabs on holes);
  - ramp: no feed move that goes down below Z 0 is steeper than RampAngle
    (its drop over its chord), and the moves at full depth cover the path the
    same program without ramps cuts at full depth within 0.05 mm;
  - leads: every arc of LeadIn's radius lies at least the tool's radius
    (less 0.005 mm) from the drawing and joins the moves it meets within 0.1
    degrees; every closed shape has two;
  - together: no tab's top lies within a tool radius of where a lead joins.
Exit status: 0 all passed, 1 a failure, 77 skipped (rs274 not installed).
"""
import argparse
import math
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import interpret_programs as ip  # noqa: E402
import measure_offset as mo  # noqa: E402

TOOL, DEPTH, TAB_TOP = 3.175, -6.0, -4.5
BASE = {"txtFeedZ": "100", "txtMaxZ": "1.5", "txtDepth": "6", "txtSaveZ": "5",
        "txtFeedCut": "800", "txtWZNummer": "1", "txtWZDia": str(TOOL), "Prezision": "",
        "CutOrder": "inside-first", "ToolOffset": "outside"}
TABS = {"Tabs": "4", "TabWidth": "6", "TabHeight": "1.5"}
# name, drawing, settings beyond BASE, checks
CASES = [
    ("tabs", "part", TABS, {"tabs": 4}),
    ("ramped-tabs", "part", {**TABS, "TabShape": "ramped"}, {"tabs": 4}),
    ("ramp", "part", {"RampAngle": "3"}, {"ramp": 3.0}),
    ("leads", "part", {"LeadIn": "2"}, {"leads": 2.0}),
    ("all", "part", {**TABS, "RampAngle": "3", "LeadIn": "2"},
     {"tabs": 4, "ramp": 3.0, "leads": 2.0}),
    ("disc", "disc", {"Tabs": "3", "TabWidth": "6", "TabHeight": "1.5", "TabShape": "ramped",
                      "RampAngle": "5", "LeadIn": "2"}, {"tabs": 3, "ramp": 5.0, "leads": 2.0}),
]


def part(d):
    d.polygon([(0, 0), (120, 0), (120, 80), (0, 80)])
    for cx in (20, 60, 100):
        for cy in (20, 60):
            d.circle((cx, cy), 5)


def disc(d):
    d.circle((0, 0), 30)
    d.circle((0, 0), 8)


def outside_box(p, drawing):
    """On the part's outline toolpath rather than in a hole's."""
    if drawing == "disc":
        return math.hypot(p[0], p[1]) > 25
    return p[0] < -0.5 or p[0] > 120.5 or p[1] < -0.5 or p[1] > 80.5


def feed_moves(moves):
    """(kind, start xyz, end xyz, centre, rotation, sweep) of each feed move."""
    at, out = (0.0, 0.0, 0.0), []
    for kind, end, centre, rotation, sweep in moves:
        if kind != "rapid":
            out.append((kind, at, end, centre, rotation, sweep))
        at = end
    return out


def plane_length(m):
    kind, a, b, c, _, sweep = m
    return math.radians(sweep) * math.dist(b[:2], c) if kind == "arc" else math.dist(a[:2], b[:2])


def points(m):
    kind, a, b, c, rotation, _ = m
    if kind == "arc":
        return ip.sample_arc(a[:2], b[:2], c, rotation)[0]
    return ip.sample_line(a[:2], b[:2])


def direction(m, at_end):
    kind, a, b, c, rotation, _ = m
    if kind != "arc":
        return math.atan2(b[1] - a[1], b[0] - a[0])
    p = b if at_end else a
    return math.atan2(p[1] - c[1], p[0] - c[0]) + (math.pi / 2 if rotation > 0 else -math.pi / 2)


def check_tabs(feeds, drawing, count, faults):
    """The moves over the tabs' tops on the outline's last pass."""
    outline = [m for m in feeds if outside_box(m[1], drawing) and outside_box(m[2], drawing)]
    first = next(i for i, m in enumerate(outline) if m[2][2] == DEPTH)
    runs, run, tops = [], None, []
    for m in outline[first:]:
        level = m[1][2] == m[2][2]
        if level and m[2][2] == TAB_TOP and plane_length(m) > 0:
            run = (run or 0.0) + plane_length(m)
            tops.append(m)
            continue
        if run is not None:
            runs.append(run)
            run = None
        if level and plane_length(m) > 0 and m[2][2] != DEPTH:
            faults.append(f"a level move at Z{m[2][2]} on the last pass")
    runs += [run] if run is not None else []
    least = 6 + TOOL
    if len(runs) != count or any(r < least for r in runs):
        faults.append(f"tab tops {['%.4f' % r for r in runs]}, wanted {count} of >= {least}")
    for m in feeds:
        if not outside_box(m[1], drawing) and m[2][2] > m[1][2]:
            faults.append(f"a hole's feed move climbs to Z{m[2][2]}")
            break
    return tops


def check_ramp(feeds, plain_feeds, degrees, faults, cover):
    steepest = math.tan(math.radians(degrees))
    for m in feeds:
        drop = m[1][2] - m[2][2]
        if drop > 0 and m[2][2] < 0:
            chord = math.dist(m[1][:2], m[2][:2])
            if drop > steepest * chord + 1e-9:
                faults.append(f"a descent of {drop:.4f} over {chord:.4f} mm to {m[2][:2]}")
                break
    if not cover:  # tabs stand where the plain program cuts at full depth
        return
    full = [points(m) for m in feeds if m[1][2] == m[2][2] == DEPTH]
    wanted = [points(m) for m in plain_feeds if m[1][2] == m[2][2] == DEPTH]
    gap, where = ip.max_distance(wanted, ip.NearestIndex(full))
    if gap > 0.05:
        faults.append(f"the full depth misses the path by {gap:.4f} mm at {where}")


def check_leads(feeds, drawing_index, radius, shapes, faults):
    """The joins of the lead arcs (a lead descending is written in parts)."""
    leads = []
    for i, m in enumerate(feeds):
        if m[0] != "arc" or abs(math.dist(m[2][:2], m[3]) - radius) >= 1e-3:
            continue
        if leads and leads[-1][1] == i - 1 and math.dist(feeds[i - 1][3], m[3]) < 1e-3:
            leads[-1][1] = i
        else:
            leads.append([i, i])
    if len(leads) != 2 * shapes:
        faults.append(f"{len(leads)} lead arcs for {shapes} closed shapes")
    joins = []
    for first, last in leads:
        for i in range(first, last + 1):
            near = min(drawing_index.distance(p) for p in points(feeds[i]))
            if near < TOOL / 2 - 0.005:
                faults.append(f"a lead arc comes {near:.4f} mm near the drawing")
        # A lead-in goes on into the next move that goes somewhere in the
        # plane; a lead-out comes from the last one that did.
        after = [m for m in feeds[last + 1:last + 3] if plane_length(m) > 0]
        before = [m for m in feeds[max(0, first - 2):first] if plane_length(m) > 0]
        # A lead-in follows a move straight down (the plunge, or the move to
        # where a ramp starts); a lead-out follows the contour.
        lead_in = first == 0 or plane_length(feeds[first - 1]) == 0
        if lead_in and after:
            gap = direction(feeds[last], True) - direction(after[0], False)
        elif before:
            gap = direction(feeds[first], False) - direction(before[-1], True)
        else:
            gap = math.pi
        gap = abs((gap + math.pi) % (2 * math.pi) - math.pi)
        if math.degrees(gap) >= 0.1:
            faults.append(f"a lead meets the path at {math.degrees(gap):.4f} degrees")
        joins.append(feeds[last][2][:2] if lead_in else feeds[first][1][:2])
    return joins


def measure(name, drawing, extra, checks, work, make_program, grbl):
    records = mo.drawing_records(part if drawing == "part" else disc)
    seg = os.path.join(work, f"{drawing}.seg")
    mo.write_seg(records, seg)
    index = ip.NearestIndex(ip.read_drawing(seg))
    shapes = len({r[-1] for r in records})
    faults = []
    for dialect in ("classic", "linuxcnc", "grbl"):
        programs = {}
        for label, values in (("plain", BASE), (name, {**BASE, **extra})):
            ini = os.path.join(work, f"{label}.ini")
            with open(ini, "w") as f:
                f.writelines(f"{k}={v}\n" for k, v in values.items())
            programs[label] = os.path.join(work, f"{drawing}-{label}-{dialect}.tap")
            subprocess.run([make_program, seg, ini, programs[label], dialect], check=True)
        if dialect == "grbl" and grbl:
            refused = ip.grbl_accepts(grbl, programs[name])
            faults += [refused] if refused else []
        feeds = feed_moves(ip.interpret(programs[name], False)[3])
        tops = check_tabs(feeds, drawing, checks["tabs"], faults) if "tabs" in checks else []
        if "ramp" in checks:
            plain = feed_moves(ip.interpret(programs["plain"], False)[3])
            check_ramp(feeds, plain, checks["ramp"], faults, "tabs" not in checks)
        if "leads" in checks:
            joins = check_leads(feeds, index, checks["leads"], shapes, faults)
            if any(min(math.dist(j, p) for p in points(m)) < TOOL / 2 for j in joins for m in tops):
                faults.append("a tab where a lead joins")
    print(("FAIL " if faults else "ok   ") + f"{name} ({drawing})" +
          "".join(f"\n     {f}" for f in dict.fromkeys(faults)))
    return not faults


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--make-program", required=True, metavar="EXE")
    ap.add_argument("--grbl", metavar="GVALIDATE", help="grbl's own parser")
    args = ap.parse_args()
    if shutil.which("rs274") is None:
        print("*" * 72 + "\nSKIPPED: rs274 (Debian package linuxcnc-uspace) is not installed;\n"
              f"{len(CASES)} tab, ramp and lead programs were NOT measured.\n" + "*" * 72)
        return ip.SKIP
    failed = 0
    with tempfile.TemporaryDirectory(prefix="brevanto-entries-") as work:
        for name, drawing, extra, checks in CASES:
            try:
                failed += not measure(name, drawing, extra, checks, work, args.make_program,
                                      args.grbl)
            except (RuntimeError, ValueError, OSError, StopIteration,
                    subprocess.SubprocessError) as e:
                print(f"FAIL {name}: {e!r}")
                failed += 1
    print(f"{failed} case(s) failed" if failed else f"all {len(CASES)} cases passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
