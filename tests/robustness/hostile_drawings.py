#!/usr/bin/env python3
"""Hostile drawings: each must be converted, or refused with the limit named,
within a time and memory budget. The drawings are generated here, small on
disk but costly to read or cut when handled naively.

Usage: hostile_drawings.py BREVANTO [--seconds S] [--mib M] [--only NAME]
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import tempfile

SVG = '<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink"'
PAGE = SVG + ' width="200mm" height="200mm" viewBox="0 0 200 200">'


def square(x, y, s):
    return f"M{x} {y}h{s}v{s}h{-s}z"


def nested_negative_svg():
    # A nested viewport of negative width shows nothing; only the outer square is cut.
    return PAGE + ('<svg width="-10" height="50"><rect x="10" y="10" width="30" height="30"'
                   ' stroke="black" fill="none"/></svg>'
                   f'<path d="{square(100, 100, 20)}" stroke="black" fill="none"/></svg>')


def utf16_entities():
    # Eight levels of entities, each ten of the one below, padded past 5 MB as UTF-16.
    decl = ['<!ENTITY e0 "<path d=\'M1 1h1\' stroke=\'black\'/>">']
    decl += [f'<!ENTITY e{i} "{("&e%d;" % (i - 1)) * 10}">' for i in range(1, 9)]
    text = ('<?xml version="1.0" encoding="UTF-16"?><!DOCTYPE svg [' + "".join(decl) + "]>" +
            PAGE + "<!--" + "x" * 2_700_000 + "-->&e8;</svg>")
    return text.encode("utf-16")


def descendant_selectors():
    rules = "".join(".x" + " .c" * (10 + i % 3) + " .p{stroke:red}" for i in range(100))
    out = [PAGE, f"<style>{rules}</style><g class='x'>"]
    for level in range(200):
        out.append("<g class='c'>")
        if level >= 100:
            out += [f"<path class='p' d='{square(level - 100, level - 100, 5)}'/>"] * 10
    out.append("</g>" * 201 + "</svg>")
    return "".join(out)


def clip_of_squares(count):
    squares = "".join(f'<rect x="{i % 100 * 2}" y="{i // 100 * 2 % 200}" width="1.5" height="1.5"/>'
                      for i in range(count))
    return (PAGE + f'<clipPath id="c">{squares}</clipPath>'
            '<rect x="0" y="0" width="200" height="200" fill="black" clip-path="url(#c)"/></svg>')


def star(cx, cy, points, r0, r1):
    import math
    pts = []
    for i in range(2 * points):
        r = r0 if i % 2 == 0 else r1
        a = math.pi * i / points
        pts.append(f"{cx + r * math.cos(a):.4f},{cy + r * math.sin(a):.4f}")
    return " ".join(pts)


def large_clip_polygon():
    return (PAGE + f'<clipPath id="c"><polygon points="{star(100, 100, 20000, 90, 80)}"/></clipPath>'
            '<rect x="5" y="5" width="190" height="190" fill="black" clip-path="url(#c)"/>'
            '<rect x="5" y="5" width="190" height="190" stroke="black" fill="none"'
            ' clip-path="url(#c)"/></svg>')


def shared_clip():
    lines = "".join(f'<line x1="0" y1="{i * 0.1}" x2="200" y2="{i * 0.1}" stroke="black"'
                    ' clip-path="url(#c)"/>' for i in range(2000))
    return (PAGE + f'<clipPath id="c"><polygon points="{star(100, 100, 1000, 90, 80)}"/></clipPath>'
            + lines + "</svg>")


def nested_markers():
    marks = []
    for level in range(6):
        inner = f' marker-mid="url(#m{level + 1})"' if level < 5 else ""
        marks.append(f'<marker id="m{level}" markerUnits="userSpaceOnUse" overflow="visible">'
                     f'<path d="M0 0{"l0.1 0.1" * 30}" stroke="black"{inner}/></marker>')
    return (PAGE + "<defs>" + "".join(marks) + "</defs>"
            f'<path d="M10 10{"l1 0" * 30}" stroke="black" marker-mid="url(#m0)"/></svg>')


def nested_empty_markers():
    # The same with markers whose paths make no segments at all.
    return nested_markers().replace("l0.1 0.1", "l0 0")


def nested_use():
    path = f'<path id="u0" d="M1 1{"l0.01 0.01" * 5000}" stroke="black"/>'
    groups = "".join(f'<g id="u{i}">' + f'<use xlink:href="#u{i - 1}"/>' * 10 + "</g>"
                     for i in range(1, 7))
    return PAGE + "<defs>" + path + groups + '</defs><use xlink:href="#u6"/></svg>'


def coincident_squares(count):
    return PAGE + f'<path d="{square(50, 50, 30)}" stroke="black" fill="none"/>' * count + "</svg>"


def concentric_squares():
    # Sixty squares a kilometre across, a millimetre apart.
    paths = "".join(f'<path d="{square(i, i, 999000 - 2 * i)}" stroke="black" fill="none"/>'
                    for i in range(60))
    return SVG + ' width="1000000mm" height="1000000mm" viewBox="0 0 1000000 1000000">' \
        + paths + "</svg>"


CASES = [
    # name, generator, extra arguments, what must hold of a successful run
    ("nested-negative-svg", nested_negative_svg, [], r"shapes \.+ 1\n"),
    ("utf16-entities", utf16_entities, [], None),
    ("descendant-selectors", descendant_selectors, [], None),
    ("clip-2500-squares", lambda: clip_of_squares(2500), [], None),
    ("clip-10000-squares", lambda: clip_of_squares(10000), [], None),
    ("clip-40000-vertices", large_clip_polygon, [], None),
    ("shared-clip", shared_clip, [], None),
    ("nested-markers", nested_markers, [], None),
    ("nested-empty-markers", nested_empty_markers, [], None),
    ("nested-use", nested_use, [], None),
    ("coincident-400", lambda: coincident_squares(400), ["--offset", "outside"], None),
    ("coincident-2000", lambda: coincident_squares(2000), ["--offset", "outside"], None),
    ("concentric-1km", concentric_squares, ["--offset", "outside"], None),
]

# A refusal must say which limit the drawing went past.
LIMIT_WORDS = re.compile(r"more than|too |limit|exceed|amplification", re.I)


def run_case(exe, directory, name, generate, args, expect, seconds, mib):
    data = generate()
    drawing = os.path.join(directory, name + ".svg")
    with open(drawing, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())
    program = os.path.join(directory, name + ".ngc")
    log = os.path.join(directory, name + ".time")
    command = ["/usr/bin/time", "-v", "-o", log, exe, drawing, "-o", program,
               "--tolerance", "none"] + args
    # In a session of its own, so that a run past the budget is stopped whole.
    with subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          start_new_session=True) as child:
        try:
            _, stderr = child.communicate(timeout=seconds * 2 + 5)
        except subprocess.TimeoutExpired:
            os.killpg(child.pid, signal.SIGKILL)
            child.communicate()
            return f"{name}: still running after {seconds * 2 + 5} s"
    run = subprocess.CompletedProcess(command, child.returncode, "", stderr)
    with open(log) as f:
        timing = f.read()
    wall = re.search(r"Elapsed \(wall clock\) time.*: (?:(\d+):)?(\d+):([\d.]+)", timing)
    elapsed = (int(wall.group(1) or 0) * 3600 + int(wall.group(2)) * 60 + float(wall.group(3)))
    peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", timing).group(1)) / 1024
    message = run.stderr.strip().splitlines()
    first = message[0] if message else ""
    print(f"{name}: exit {run.returncode}, {elapsed:.2f} s, {peak:.0f} MiB: {first[:150]}")
    problems = []
    if elapsed > seconds:
        problems.append(f"took {elapsed:.2f} s (budget {seconds} s)")
    if peak > mib:
        problems.append(f"peaked at {peak:.0f} MiB (budget {mib} MiB)")
    if run.returncode not in (0, 1, 2, 3):
        problems.append(f"exit status {run.returncode}: {run.stderr[-400:]}")
    elif run.returncode != 0 and not LIMIT_WORDS.search(run.stderr):
        problems.append("refused without naming a limit: " + run.stderr[-400:])
    if expect and run.returncode == 0 and not re.search(expect, run.stderr):
        problems.append(f"summary lacks \"{expect}\": {run.stderr[-600:]}")
    return f"{name}: " + "; ".join(problems) if problems else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("brevanto")
    parser.add_argument("--seconds", type=float, default=5.0)
    parser.add_argument("--mib", type=float, default=500.0)
    parser.add_argument("--only")
    options = parser.parse_args()
    if not os.access("/usr/bin/time", os.X_OK):
        print("SKIPPED: /usr/bin/time (Debian package time) is not installed")
        return 77
    failures = []
    with tempfile.TemporaryDirectory() as directory:
        for name, generate, args, expect in CASES:
            if options.only and options.only != name:
                continue
            failure = run_case(options.brevanto, directory, name, generate, args, expect,
                               options.seconds, options.mib)
            if failure:
                failures.append(failure)
    for failure in failures:
        print("FAILED " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
