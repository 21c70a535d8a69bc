#!/usr/bin/python3
"""Converts real SVG files from Debian's packages with brevanto and compares
the cut geometry with rsvg-convert's rendering of the same file.

Not part of the default test run: it installs icon themes, Inkscape's
tutorials, clip-art and Qt's SVG examples (some hundred MB) and takes a few
minutes. Usage:

    tests/svg_corpus/check_real_svgs.py [--install] [--per-source N] [--brevanto PATH] [FILE...]

For each file (a fixed, spread-out sample of each source, or the files named):
- brevanto --no-flip --tolerance none --dump-segments: refused (exit 1 with
  an error), nothing to cut, or converted;
- the file is rendered at its own size (for the scale) and then zoomed so its
  longer side is 1000 px, once as drawn and once with every stroke made a
  hairline; images and text along a path, which are not cut, are hidden in both, and
  gradients that fade out are drawn opaque;
- "shown": every point of the cut geometry (sampled every 0.5 px) lies within
  2 px of a drawn pixel; "covered": every edge pixel of the hairline
  rendering lies within 2 px of the cut geometry. A file matches when both
  hold for all but 1% of the points (antialiasing leaves stray pixels).
Prints one line per file that does not match, then the figures.

With --interpret, each file is instead converted as a user would (default
settings and tolerance) and the program read by LinuxCNC's rs274 (through
tests/interpreter/interpret_programs.py): refused by the interpreter or not,
and how far its path strays from the drawing, both ways. Where the command
writes nothing because its tolerance cannot be met, the library's own
program (--tolerance none) is read instead.
"""
import argparse
import os
import re
import struct
import subprocess
import sys
import sysconfig
import tempfile

# (Debian package, folder, files to leave out): the translated copies of a
# tutorial differ only in their text.
SOURCES = [
    ("breeze-icon-theme", "/usr/share/icons/breeze", None),
    ("papirus-icon-theme", "/usr/share/icons/Papirus", None),
    ("tango-icon-theme", "/usr/share/icons/Tango", None),
    ("adwaita-icon-theme", "/usr/share/icons/Adwaita", None),
    ("inkscape-tutorials", "/usr/share/inkscape/tutorials", r"\.[a-z]{2}(_[A-Z]{2})?\.svg$"),
    ("openclipart-svg", "/usr/share/openclipart/svg", None),
    ("qtsvg5-examples", "/usr/lib/%s/qt5/examples/svg" % sysconfig.get_config_var("MULTIARCH"),
     None),
]
TOOLS = ["librsvg2-bin", "python3-numpy", "python3-pil"]
# Images and text along a path are not cut; a gradient that fades out (a soft shadow) is
# still the shape it fills, so its stops are made opaque.
HIDDEN_CONTENT = ("textPath, image, foreignObject { display: none !important; }\n"
                  "* { filter: none !important; }\n"
                  "stop { stop-opacity: 1 !important; }\n")
HAIRLINE = "* { stroke-width: 0.001px !important; }\n"
TOLERANCE_PX = 2.0
ALLOWED_MISS = 0.01
SIZE_PX = 1000
INTERPRETED_TOLERANCE_MM = 0.05


def install(packages):
    missing = [p for p in packages
               if subprocess.run(["dpkg-query", "-W", "-f=${Status}", p], capture_output=True,
                                 text=True).stdout.find("install ok installed") < 0]
    if missing:
        subprocess.run(["apt-get", "install", "-y", "-q", "--no-install-recommends"] + missing,
                       check=True, stdout=subprocess.DEVNULL)


def sample(folder, count, leave_out=None):
    files = []
    for root, _, names in os.walk(folder):
        for n in names:
            path = os.path.join(root, n)
            if (n.endswith(".svg") and not os.path.islink(path) and
                    not (leave_out and re.search(leave_out, n))):
                files.append(path)
    files.sort()
    if len(files) <= count:
        return files
    step = len(files) / count
    return [files[int(i * step)] for i in range(count)]


def read_segments(path):
    data = open(path, "rb").read()
    return [struct.unpack_from("<8difii", data, i) for i in range(0, len(data) - 79, 80)]


def sample_points(segments, px_per_mm):
    """Points along the segments every 0.5 px, in pixels."""
    import numpy as np
    chunks = []
    for s in segments:
        x0, y0, x1, y1, x2, y2, x3, y3, kind = s[:9]
        pts = np.array([[x0, y0], [x1, y1], [x2, y2], [x3, y3]]) * px_per_mm
        reach = np.abs(np.diff(pts if kind == 1 else pts[[0, 3]], axis=0)).sum()
        n = max(2, min(20000, int(reach / 0.5) + 2))
        t = np.linspace(0.0, 1.0, n)[:, None]
        if kind == 1:
            u = 1 - t
            p = u**3 * pts[0] + 3 * u * u * t * pts[1] + 3 * u * t * t * pts[2] + t**3 * pts[3]
        else:
            p = pts[0] + t * (pts[3] - pts[0])
        chunks.append(p)
    return np.vstack(chunks) if chunks else np.zeros((0, 2))


def dilate(mask, radius):
    import numpy as np
    out = np.zeros_like(mask)
    r = int(np.ceil(radius))
    h, w = mask.shape
    for dy in range(-r, r + 1):
        for dx in range(-r, r + 1):
            if dx * dx + dy * dy > radius * radius:
                continue
            ys, yd = (slice(max(0, -dy), h - max(0, dy)), slice(max(0, dy), h - max(0, -dy)))
            xs, xd = (slice(max(0, -dx), w - max(0, dx)), slice(max(0, dx), w - max(0, -dx)))
            out[yd, xd] |= mask[ys, xs]
    return out


def render(svg, zoom, stylesheet, out):
    args = ["rsvg-convert", "-s", stylesheet, "-o", out]
    if zoom is not None:
        args += ["-z", repr(zoom)]
    return subprocess.run(args + [svg], capture_output=True, timeout=120).returncode == 0


def alpha(png):
    import numpy as np
    from PIL import Image
    return np.asarray(Image.open(png).convert("RGBA"))[:, :, 3] > 0


def compare(svg, seg, work, picture=None):
    """(verdict, detail): 'match', 'mismatch' or 'unrendered'. A picture of a
    mismatch: drawn in grey, cut geometry in green (red where nothing shows),
    edges shown but not cut in blue."""
    import numpy as np
    from PIL import Image
    plain = os.path.join(work, "plain.css")
    thin = os.path.join(work, "thin.css")
    natural = os.path.join(work, "natural.png")
    if not render(svg, None, plain, natural):
        return "unrendered", "rsvg-convert cannot render it"
    w0, h0 = Image.open(natural).size
    zoom = SIZE_PX / max(w0, h0)
    drawn_png, hair_png = os.path.join(work, "drawn.png"), os.path.join(work, "hair.png")
    if not (render(svg, zoom, plain, drawn_png) and render(svg, zoom, thin, hair_png)):
        return "unrendered", "rsvg-convert cannot render it zoomed"
    drawn, hair = alpha(drawn_png), alpha(hair_png)
    px_per_mm = 96.0 / 25.4 * zoom
    points = sample_points(read_segments(seg), px_per_mm)
    h, w = drawn.shape
    ours = np.zeros_like(drawn)
    if len(points):
        # A point on the picture's far edge (x = 1000) belongs to its last pixel.
        inside = ((points[:, 0] > -TOLERANCE_PX) & (points[:, 0] < w + TOLERANCE_PX) &
                  (points[:, 1] > -TOLERANCE_PX) & (points[:, 1] < h + TOLERANCE_PX))
        ix = np.clip(np.floor(points[:, 0]).astype(int), 0, w - 1)
        iy = np.clip(np.floor(points[:, 1]).astype(int), 0, h - 1)
        ours[iy[inside], ix[inside]] = True
    near_drawn = dilate(drawn, TOLERANCE_PX)
    shown_miss = 0.0
    if len(points):
        ok = np.zeros(len(points), bool)
        ok[inside] = near_drawn[iy[inside], ix[inside]]
        shown_miss = 1.0 - ok.mean()
    # An edge pixel has an empty neighbour; the picture's border is where the
    # page ends, not an edge of anything drawn.
    padded = np.pad(hair, 1, constant_values=True)
    edge = hair & ~(padded[:-2, 1:-1] & padded[2:, 1:-1] & padded[1:-1, :-2] & padded[1:-1, 2:])
    covered_miss = 0.0
    if edge.any():
        covered_miss = 1.0 - dilate(ours, TOLERANCE_PX)[edge].mean()
    detail = "cut where nothing shows: %.1f%%, shown but not cut: %.1f%%" % (
        100 * shown_miss, 100 * covered_miss)
    if shown_miss <= ALLOWED_MISS and covered_miss <= ALLOWED_MISS:
        return "match", detail
    if picture:
        image = np.full((h, w, 3), 255, np.uint8)
        image[drawn] = (210, 210, 210)
        image[edge & ~dilate(ours, TOLERANCE_PX)] = (0, 0, 255)
        image[ours & near_drawn] = (0, 160, 0)
        image[ours & ~near_drawn] = (255, 0, 0)
        Image.fromarray(image).save(picture)
    return "mismatch", detail


def summary_row(text, name):
    for line in text.splitlines():
        if line.strip().startswith(name + " "):
            return line.split("..", 1)[-1].strip(" .")
    return "-"


def interpret_one(brevanto, settings, svg, work, interpreter):
    """(verdict, detail) of one drawing's program as rs274 reads it."""
    tap, seg = os.path.join(work, "out.tap"), os.path.join(work, "out.seg")
    for f in (tap, seg):
        if os.path.exists(f):
            os.remove(f)
    command = [brevanto, "--settings", settings, "--dump-segments", seg, "-o", tap, svg]
    run = subprocess.run(command, capture_output=True, text=True, timeout=600)
    if run.returncode != 0 and "no outlines to cut" in run.stderr:
        return "nothing to cut", ""
    detail = "exit %d" % run.returncode
    if run.returncode == 4:
        detail += " (%s)" % run.stderr.strip().splitlines()[-1].split(": ", 1)[-1]
        run = subprocess.run(command[:1] + ["--tolerance", "none"] + command[1:],
                             capture_output=True, text=True, timeout=600)
        detail += "; --tolerance none: exit %d" % run.returncode
    if run.returncode != 0:
        return "refused", detail + ": " + run.stderr.strip().splitlines()[-1]
    detail += "; tolerance %s; largest deviation %s" % (
        summary_row(run.stderr, "tolerance"), summary_row(run.stderr, "largest deviation"))
    try:
        path, _, _, _ = interpreter.interpret(tap)
    except (RuntimeError, subprocess.TimeoutExpired) as e:
        return "rejected", detail + "; " + str(e).splitlines()[0]
    drawing = interpreter.read_drawing(seg)
    strays, at = interpreter.max_distance(path, interpreter.NearestIndex(drawing))
    misses, _ = interpreter.max_distance(drawing, interpreter.NearestIndex(path))
    detail += "; rs274: path->drawing %.4f mm at (%.3f, %.3f), drawing->path %.4f mm" % (
        strays, at[0] if at else 0, at[1] if at else 0, misses)
    return ("strays" if max(strays, misses) > INTERPRETED_TOLERANCE_MM else "within"), detail


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.normpath(os.path.join(here, "..", ".."))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--install", action="store_true", help="install the sources and tools")
    parser.add_argument("--per-source", "--per-theme", type=int, default=100,
                        help="files of each source")
    parser.add_argument("--brevanto", default=os.path.join(root, "build/release/cli/brevanto"))
    parser.add_argument("--interpret", action="store_true",
                        help="read each program with rs274 instead of comparing with rsvg-convert")
    parser.add_argument("--pictures", metavar="DIR", help="a picture of each mismatch here")
    parser.add_argument("files", nargs="*", help="these files instead of the sources' samples")
    args = parser.parse_args()
    if args.install:
        install(TOOLS + [package for package, _, _ in SOURCES])
    if args.files:
        drawings = args.files
    else:
        drawings = []
        for package, folder, leave_out in SOURCES:
            if os.path.isdir(folder):
                drawings += sample(folder, args.per_source, leave_out)
            else:
                print("skipped: %s is not installed (--install)" % package)
    settings = os.path.join(root, "examples", "CNC.ini")
    if args.interpret:
        sys.path.insert(0, os.path.join(root, "tests", "interpreter"))
        import interpret_programs
        counts = {"files": 0, "refused": 0, "nothing to cut": 0, "rejected": 0, "strays": 0,
                  "within": 0}
        with tempfile.TemporaryDirectory() as work:
            for svg in drawings:
                counts["files"] += 1
                verdict, detail = interpret_one(args.brevanto, settings, svg, work,
                                                interpret_programs)
                counts[verdict] += 1
                if verdict != "within" or args.files:
                    print("%-8s %s: %s" % (verdict, svg, detail), flush=True)
        print(", ".join("%s %d" % kv for kv in counts.items()))
        return 0 if counts["within"] + counts["nothing to cut"] == counts["files"] else 1
    counts = {"files": 0, "refused": 0, "nothing to cut": 0, "unrendered": 0, "match": 0,
              "mismatch": 0}
    with tempfile.TemporaryDirectory() as work:
        open(os.path.join(work, "plain.css"), "w").write(HIDDEN_CONTENT)
        open(os.path.join(work, "thin.css"), "w").write(HIDDEN_CONTENT + HAIRLINE)
        seg = os.path.join(work, "out.seg")
        for svg in drawings:
            counts["files"] += 1
            if os.path.exists(seg):
                os.remove(seg)
            run = subprocess.run([args.brevanto, "-q", "--no-flip", "--settings", settings,
                                  "--tolerance", "none", "--dump-segments", seg, "-o",
                                  os.devnull, svg], capture_output=True, text=True, timeout=300)
            if run.returncode != 0 and "no outlines to cut" in run.stderr:
                counts["nothing to cut"] += 1
                continue
            if run.returncode != 0:
                counts["refused"] += 1
                print("refused  %s: %s" % (svg, run.stderr.strip().splitlines()[-1]))
                continue
            picture = None
            if args.pictures:
                os.makedirs(args.pictures, exist_ok=True)
                picture = os.path.join(args.pictures, "%03d-%s.png" % (
                    counts["files"], os.path.basename(svg)[:-4]))
            verdict, detail = compare(svg, seg, work, picture)
            counts[verdict] += 1
            if verdict != "match":
                print("%-8s %s: %s" % (verdict, svg, detail), flush=True)
    print(", ".join("%s %d" % kv for kv in counts.items()))
    return 0 if counts["refused"] == 0 and counts["mismatch"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
