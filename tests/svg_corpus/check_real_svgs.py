#!/usr/bin/python3
"""Converts real SVG files from Debian's icon themes with brevanto and compares
the cut geometry with rsvg-convert's rendering of the same file.

Not part of the default test run: it installs icon themes (some hundred MB)
and takes a few minutes. Usage:

    tests/svg_corpus/check_real_svgs.py [--install] [--per-theme N] [--brevanto PATH]

For each file (a fixed, spread-out sample of each theme):
- brevanto --no-flip --dump-segments: refused (exit 1 with an error), nothing
  to cut, or converted;
- the file is rendered at its own size (for the scale) and then zoomed so its
  longer side is 1000 px, once as drawn and once with every stroke made a
  hairline; text and images, which are not cut, are hidden in both, and
  gradients that fade out are drawn opaque;
- "shown": every point of the cut geometry (sampled every 0.5 px) lies within
  2 px of a drawn pixel; "covered": every edge pixel of the hairline
  rendering lies within 2 px of the cut geometry. A file matches when both
  hold for all but 1% of the points (antialiasing leaves stray pixels).
Prints one line per file that does not match, then the figures.
"""
import argparse
import os
import struct
import subprocess
import sys
import tempfile

THEMES = {
    "breeze-icon-theme": "/usr/share/icons/breeze",
    "papirus-icon-theme": "/usr/share/icons/Papirus",
    "tango-icon-theme": "/usr/share/icons/Tango",
    "adwaita-icon-theme": "/usr/share/icons/Adwaita",
}
TOOLS = ["librsvg2-bin", "python3-numpy", "python3-pil"]
# Text and images are not cut; a gradient that fades out (a soft shadow) is
# still the shape it fills, so its stops are made opaque.
HIDDEN_CONTENT = ("text, image, foreignObject { display: none !important; }\n"
                  "stop { stop-opacity: 1 !important; }\n")
HAIRLINE = "* { stroke-width: 0.001px !important; }\n"
TOLERANCE_PX = 2.0
ALLOWED_MISS = 0.01
SIZE_PX = 1000


def install(packages):
    missing = [p for p in packages
               if subprocess.run(["dpkg-query", "-W", "-f=${Status}", p], capture_output=True,
                                 text=True).stdout.find("install ok installed") < 0]
    if missing:
        subprocess.run(["apt-get", "install", "-y", "-q", "--no-install-recommends"] + missing,
                       check=True, stdout=subprocess.DEVNULL)


def sample(folder, count):
    files = []
    for root, _, names in os.walk(folder):
        for n in names:
            path = os.path.join(root, n)
            if n.endswith(".svg") and not os.path.islink(path):
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


def compare(svg, seg, work):
    """(verdict, detail): 'match', 'mismatch' or 'unrendered'."""
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
    edge = hair & ~(np.roll(hair, 1, 0) & np.roll(hair, -1, 0) & np.roll(hair, 1, 1) &
                    np.roll(hair, -1, 1))
    covered_miss = 0.0
    if edge.any():
        covered_miss = 1.0 - dilate(ours, TOLERANCE_PX)[edge].mean()
    detail = "cut where nothing shows: %.1f%%, shown but not cut: %.1f%%" % (
        100 * shown_miss, 100 * covered_miss)
    if shown_miss <= ALLOWED_MISS and covered_miss <= ALLOWED_MISS:
        return "match", detail
    return "mismatch", detail


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.normpath(os.path.join(here, "..", ".."))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--install", action="store_true", help="install the themes and tools")
    parser.add_argument("--per-theme", type=int, default=100)
    parser.add_argument("--brevanto", default=os.path.join(root, "build/release/cli/brevanto"))
    args = parser.parse_args()
    if args.install:
        install(TOOLS + list(THEMES))
    settings = os.path.join(root, "examples", "CNC.ini")
    counts = {"files": 0, "refused": 0, "nothing to cut": 0, "unrendered": 0, "match": 0,
              "mismatch": 0}
    with tempfile.TemporaryDirectory() as work:
        open(os.path.join(work, "plain.css"), "w").write(HIDDEN_CONTENT)
        open(os.path.join(work, "thin.css"), "w").write(HIDDEN_CONTENT + HAIRLINE)
        seg = os.path.join(work, "out.seg")
        for theme, folder in THEMES.items():
            if not os.path.isdir(folder):
                print("skipped: %s is not installed (--install)" % theme)
                continue
            for svg in sample(folder, args.per_theme):
                counts["files"] += 1
                if os.path.exists(seg):
                    os.remove(seg)
                run = subprocess.run([args.brevanto, "-q", "--no-flip", "--settings", settings,
                                      "--dump-segments", seg, "-o", os.devnull, svg],
                                     capture_output=True, text=True, timeout=300)
                if run.returncode != 0 and "no outlines to cut" in run.stderr:
                    counts["nothing to cut"] += 1
                    continue
                if run.returncode != 0:
                    counts["refused"] += 1
                    print("refused  %s: %s" % (svg, run.stderr.strip().splitlines()[-1]))
                    continue
                verdict, detail = compare(svg, seg, work)
                counts[verdict] += 1
                if verdict != "match":
                    print("%-8s %s: %s" % (verdict, svg, detail))
    print(", ".join("%s %d" % kv for kv in counts.items()))
    return 0 if counts["refused"] == 0 and counts["mismatch"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
