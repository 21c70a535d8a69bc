#!/usr/bin/env python3
"""The command's fidelity figure against LinuxCNC's reading of the program.

Small drawings with pieces below the output's resolution go through the
command (classic and linuxcnc dialects, default tolerance), and rs274 reads
each program back. rs274's path and the drawing must lie within the
tolerance of one another both ways, and the largest deviation the command
reports must agree with the one measured on rs274's path within --agree.
The drawings:
  - circles of four cubics (radius 0.5 and 3) whose end falls short of their
    start by a hair (0.0003 to 0.0009 mm), closed by the path: the circle's
    arcs join into a whole circle and a closing arc of nearly a whole turn
    whose written chord is a few digits of the fourth decimal; on the
    second pass the circle is entered where the first pass ended;
  - a speck (a line 0.00001 mm long) beside a 30 mm square, and a lone
    1 micron square: a plunge cuts them.
Exit status: 0 all passed, 1 a failure, 77 skipped (rs274 not installed).
"""
import argparse
import math
import os
import re
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from interpret_programs import SKIP  # noqa: E402
from small_drawings import measure, run_command  # noqa: E402

KAPPA = 0.5522847498307936
FIGURE = re.compile(r"largest deviation \.+ (\d+\.\d+) mm")


def circle(cx, cy, r, gap, turn):
    """Four cubics from angle `turn`, the last ending `gap` mm (a vector)
    away from the start."""
    def at(a, rr=r):
        return (cx + rr * math.cos(a), cy + rr * math.sin(a))
    d = "M%.6f,%.6f" % at(turn)
    for k in range(4):
        a0, a1 = turn + k * math.pi / 2, turn + (k + 1) * math.pi / 2
        p0, p3 = at(a0), at(a1)
        if k == 3:
            p3 = (p3[0] + gap[0], p3[1] + gap[1])
        t0, t1 = (-math.sin(a0), math.cos(a0)), (-math.sin(a1), math.cos(a1))
        p1 = (p0[0] + KAPPA * r * t0[0], p0[1] + KAPPA * r * t0[1])
        p2 = (p3[0] - KAPPA * r * t1[0], p3[1] - KAPPA * r * t1[1])
        d += "C%.6f,%.6f %.6f,%.6f %.6f,%.6f" % (p1 + p2 + p3)
    return f'<path d="{d}Z" stroke="black" fill="none"/>'


PIN_PAGE = ('<svg xmlns="http://www.w3.org/2000/svg" width="58" height="48" '
            'viewBox="0 0 43.2 36"><path d="{}" fill="#c62717"/></svg>\n')
PIN_CIRCLES = (
    "M38.16 32.4a1.44 1.44 0 0 1 1.439-1.44 1.44 1.44 0 1 1 0 2.88 1.44 1.44 0 0 1-1.439-1.44z",
    "M30.958 32.4a1.44 1.44 0 0 1 2.88 0 1.44 1.44 0 0 1-2.88 0z",
    "M23.758 32.4a1.44 1.44 0 0 1 1.438-1.441 1.44 1.44 0 1 1 .001 2.88A1.44 1.44 0 0 1 23.76 32.4z",
    "M16.56 32.4a1.44 1.44 0 0 1 2.88-.002 1.44 1.44 0 0 1-2.88.002z",
    "M2.16 3.6a1.44 1.44 0 0 1 1.439-1.44 1.44 1.44 0 1 1 0 2.88A1.44 1.44 0 0 1 2.16 3.6z",
    "M16.56 3.6a1.44 1.44 0 0 1 2.88-.002 1.44 1.44 0 1 1-2.88.002z",
    "M23.76 3.6a1.44 1.44 0 0 1 1.438-1.441 1.44 1.44 0 1 1 .001 2.881A1.44 1.44 0 0 1 23.76 3.6z",
    "M38.162 3.6A1.44 1.44 0 0 1 39.6 2.16a1.44 1.44 0 1 1 .001 2.88 1.44 1.44 0 0 1-1.44-1.44z",
)


def svg(body):
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="100mm" height="100mm" '
            f'viewBox="0 0 100 100">\n{body}\n</svg>\n')


def drawings():
    """(name, file text, file ending)."""
    out = []
    for r in (0.508, 3.0):
        for gap in (0.0003, 0.0005, 0.0007):
            for turn in (math.pi, -0.5 * math.pi, 0.3):
                for way in (0.0, 0.5 * math.pi, math.pi):  # inwards, along, outwards
                    a = turn + math.pi + way
                    body = circle(8.9415, 1.27, r, (gap * math.cos(a), gap * math.sin(a)), turn)
                    out.append((f"circle r{r} gap {gap} from {turn:.2f} way {way:.2f}",
                                svg(body), ".svg"))
    # Circles of two or three elliptical arcs whose rounded ends miss one
    # another by a thousandth of a unit, on a page of 0.3553 mm units, as a
    # board drawing of twelve pins has them.
    for k, d in enumerate(PIN_CIRCLES):
        out.append((f"pin circle {k}", PIN_PAGE.format(d), ".svg"))
    square = '<rect x="10" y="10" width="30" height="30" stroke="black" fill="none"/>'
    out.append(("speck beside a square",
                svg(square + '\n<path d="M50 50 l 0.00001 0" stroke="black"/>'), ".svg"))
    out.append(("lone 1 micron square",
                svg('<rect x="50" y="50" width="0.001" height="0.001" stroke="black" '
                    'fill="none"/>'), ".svg"))
    return out


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--brevanto", required=True, metavar="EXE")
    ap.add_argument("--settings", required=True, metavar="INI")
    ap.add_argument("--tolerance", type=float, default=0.05, help="mm, both ways")
    ap.add_argument("--agree", type=float, default=0.005,
                    help="mm between the command's figure and rs274's")
    args = ap.parse_args()
    if shutil.which("rs274") is None:
        print("SKIPPED: rs274 (Debian package linuxcnc-uspace) is not installed")
        return SKIP
    failed = 0
    with tempfile.TemporaryDirectory(prefix="brevanto-fidelity-") as work:
        for name, text, ending in drawings():
            path = os.path.join(work, "drawing" + ending)
            with open(path, "w") as f:
                f.write(text)
            for dialect in ("classic", "linuxcnc"):
                settings = os.path.join(work, "settings.ini")
                with open(args.settings) as src, open(settings, "w") as dst:
                    dst.write(src.read() + f"\nDialect={dialect}\n")
                try:
                    program, seg, summary = run_command(args.brevanto, path, settings, work,
                                                        "job")
                    distance, at = measure(seg, program)
                except (RuntimeError, ValueError, OSError) as e:
                    print(f"FAIL {name} ({dialect}): {e}")
                    failed += 1
                    continue
                found = FIGURE.search(summary)
                figure = float(found.group(1)) if found else math.nan
                ok = distance <= args.tolerance and abs(figure - distance) <= args.agree
                failed += not ok
                print(f"{'ok  ' if ok else 'FAIL'} {name} ({dialect}): rs274 {distance:.4f} mm, "
                      f"the command {figure:.4f} mm"
                      + ("" if found else f"; no figure in: {summary.strip()}"))
    print(f"{failed} check(s) failed" if failed else "all passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
