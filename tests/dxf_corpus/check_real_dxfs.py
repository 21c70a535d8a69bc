#!/usr/bin/python3
"""Converts real DXF drawings from Debian's librecad-data (some 1,300 library
parts) with brevanto and compares the cut with an independent reading of the
same file by python3-ezdxf.

Not part of the default test run: it installs librecad-data and python3-ezdxf
(--install) and takes a few minutes. Usage:

    tests/dxf_corpus/check_real_dxfs.py [--install] [--every N] [--brevanto PATH]
                                        [--settings INI] [FILE...]

For each file (every Nth of the library, sorted by path, or the files named):
- brevanto --dialect linuxcnc with its default tolerance: refused (exit 1),
  nothing to cut, or converted;
- the program is read by LinuxCNC's rs274 (through
  tests/interpreter/interpret_programs.py);
- ezdxf reads the model space, blocks expanded, and flattens every line, arc,
  circle, ellipse, polyline and spline (in mm by $INSUNITS, unitless as mm);
- "cut": every point of the path rs274 reports lies within the tolerance of
  ezdxf's geometry; "covered": every point of ezdxf's geometry lies within
  the tolerance of that path;
- "chained arcs": consecutive G2/G3 moves on one circle that do not make a
  whole circle together (an arc cut as a chain of short ones); none expected.
Prints one line per file that does not match, then the figures.
"""
import argparse
import math
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "interpreter"))
import interpret_programs as ip  # noqa: E402

LIBRARY = "/usr/share/librecad/library"
TOLERANCE = 0.05  # mm, both ways
MM_PER_UNIT = {0: 1.0, 1: 25.4, 2: 304.8, 4: 1.0, 5: 10.0, 6: 1000.0}
CUT_KINDS = {"LINE", "ARC", "CIRCLE", "ELLIPSE", "LWPOLYLINE", "POLYLINE", "SPLINE"}


def reference(path):
    """ezdxf's geometry of the model space in mm, as polylines, and the count
    of arc-shaped pieces (arcs, circles, bulges)."""
    import ezdxf
    from ezdxf import disassemble
    try:
        doc = ezdxf.readfile(path)
    except ezdxf.DXFStructureError:  # a header closed early (dxflib 2.0): ezdxf's recovering reader
        from ezdxf import recover
        doc, _ = recover.readfile(path)
    factor = MM_PER_UNIT.get(doc.header.get("$INSUNITS", 0), 1.0)
    hidden = {layer.dxf.name.upper() for layer in doc.layers
              if layer.is_frozen() or layer.is_off()}
    polylines, arcs = [], 0
    for e in disassemble.recursive_decompose(doc.modelspace()):
        kind = e.dxftype()
        if kind not in CUT_KINDS or e.dxf.get("invisible", 0):
            continue
        if e.dxf.get("layer", "0").upper() in hidden:
            continue
        if kind == "POLYLINE" and (e.is_poly_face_mesh or e.is_polygon_mesh):
            continue
        arcs += 1 if kind in ("ARC", "CIRCLE") else 0
        if kind == "LWPOLYLINE":
            arcs += sum(1 for p in e.get_points("b") if p[0])
        for flat in exact_points(e, 0.0002 / factor):
            flat = [(p.x * factor, p.y * factor) for p in flat]
            for a, b in zip(flat, flat[1:]):
                polylines.append(ip.sample_line(a, b))
            if len(flat) == 1:
                polylines.append(flat)
    return polylines, arcs


def exact_points(e, distance):
    """Point lists along an entity, every point on the curve itself.
    ezdxf's path tools are not used: they stand each arc of up to 90 degrees
    in for one cubic, which leaves the circle by 0.027 % of its radius
    (0.054 mm on a 200 mm arc), more than the tolerance checked."""
    kind = e.dxftype()
    try:
        if kind in ("LWPOLYLINE", "POLYLINE"):
            for piece in e.virtual_entities():
                if piece.dxftype() in ("LINE", "ARC"):
                    yield from exact_points(piece, distance)
        elif kind == "LINE":
            yield [e.dxf.start, e.dxf.end]
        elif kind == "ELLIPSE":
            # ezdxf moves a whole ellipse's end parameter (2 pi as the file's
            # digits write it) into [0, 2 pi) when it expands a block: the
            # end becomes 4e-13, the start 0, and it draws nothing.
            tool = e.construction_tool()
            turn = (tool.end_param - tool.start_param) % math.tau
            if min(turn, math.tau - turn) < 1e-9:
                tool.start_param, tool.end_param = 0.0, math.tau
            yield list(tool.flattening(distance))
        else:  # ARC, CIRCLE (by sagitta), SPLINE (by distance)
            yield list(e.flattening(distance))
    except Exception:  # an entity ezdxf cannot flatten
        return


def chained_arcs(moves):
    """Pairs of consecutive arc moves about one centre, turning the same way,
    that together turn less than a whole circle."""
    count = 0
    for a, b in zip(moves, moves[1:]):
        if a[0] == b[0] == "arc" and (a[3] > 0) == (b[3] > 0) and math.dist(a[2], b[2]) < 1e-3 \
                and a[4] + b[4] < 359.9:
            count += 1
    return count


def convert(brevanto, settings, path, work):
    program = os.path.join(work, "part.ngc")
    run = subprocess.run([brevanto, path, "-q", "--dialect", "linuxcnc", "--settings", settings,
                          "-o", program], capture_output=True, text=True, timeout=600)
    if run.returncode != 0:
        return None, run.stderr.strip().splitlines()[-1] if run.stderr.strip() else "exit %d" % (
            run.returncode)
    return program, None


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("files", nargs="*")
    parser.add_argument("--install", action="store_true")
    parser.add_argument("--every", type=int, default=10)
    parser.add_argument("--brevanto", default="build/release/cli/brevanto")
    parser.add_argument("--settings", default="examples/CNC.ini")
    args = parser.parse_args()
    if args.install:
        subprocess.run(["apt-get", "install", "-y", "librecad-data", "python3-ezdxf"], check=True)
    files = args.files
    if not files:
        every = []
        for root, _, names in os.walk(LIBRARY):
            every += [os.path.join(root, n) for n in names if n.lower().endswith(".dxf")]
        files = sorted(every)[::args.every]
    converted = refused = empty = matched = 0
    worst_cut = worst_covered = 0.0
    arc_moves = arc_entities = chains = 0
    for number, path in enumerate(files, 1):
        if number % 25 == 0:
            print(f"... {number} of {len(files)}: {matched} matched so far", flush=True)
        with tempfile.TemporaryDirectory(prefix="brevanto-dxf-") as work:
            program, why = convert(args.brevanto, args.settings, path, work)
            if program is None:
                if "no outlines to cut" in why:
                    empty += 1
                else:
                    refused += 1
                    print(f"{path}: refused: {why}")
                continue
            converted += 1
            cut, _, _, moves = ip.interpret(program)
        ref, arcs = reference(path)
        cut_off, at1 = ip.max_distance(cut, ip.NearestIndex(ref))
        uncovered, at2 = ip.max_distance(ref, ip.NearestIndex(cut))
        worst_cut, worst_covered = max(worst_cut, cut_off), max(worst_covered, uncovered)
        arc_moves += sum(1 for m in moves if m[0] == "arc")
        chains += chained_arcs(moves)
        arc_entities += arcs
        if cut_off <= TOLERANCE and uncovered <= TOLERANCE:
            matched += 1
        else:
            print(f"{path}: cut strays {cut_off:.4f} mm at {at1}, drawing uncovered "
                  f"{uncovered:.4f} mm at {at2}")
    print(f"{len(files)} files: {converted} converted, {empty} with nothing to cut, "
          f"{refused} refused; {matched} of the converted within {TOLERANCE} mm both ways")
    print(f"largest distance: cut from ezdxf's geometry {worst_cut:.4f} mm, "
          f"ezdxf's geometry from the cut {worst_covered:.4f} mm")
    print(f"arcs: {arc_entities} arcs, circles and bulges; {arc_moves} G2/G3 moves over all "
          f"passes; {chains} pairs of chained arcs")
    return 0 if matched == converted and refused == 0 and chains == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
