#include "report/fidelity.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#include "report/drawing_pieces.h"
#include "report/piece_tree.h"

namespace brevanto::cli {
namespace {

// Points along each side are measured at this spacing or finer; a very
// large drawing gets at most about kMostProbes of them, and a drawing of
// few long pieces about kProbesPerPiece a piece, so the check stays n log n
// however fine or large it is drawn.
constexpr double kFinestSpacing = 0.01;
constexpr double kMostProbes = 1.0e6;
constexpr double kProbesPerPiece = 100.0;
// Boxes and pieces measured per point, on average, before the check is cut
// short. A drawing of ordinary density needs a few dozen.
constexpr size_t kMeasuresPerProbe = 100;

// The cutting moves of each shape: lines and arcs as the program writes
// them, its rounding and its straight runs included, and the point where a
// plunge goes in (a shape shorter than the output's resolution is cut by its
// plunge alone). Rapid moves cut nothing.
bool cutsPath(const ProgramMove& m) {
  const bool cut = m.kind != ProgramMove::Kind::Rapid && m.shape > 0 && m.fromKnown &&
                   finitePoint({m.fromX, m.fromY}) && finitePoint({m.toX, m.toY}) &&
                   ((m.fromX != m.toX || m.fromY != m.toY) || m.curved() || m.isPlunge());
  return cut && (!m.curved() || std::isfinite(m.radius));
}

// What makes two cutting moves the same path (kind, ends and circle), as one
// number: a 64-bit hash of those, which two different moves share with a
// chance of one in 2^64.
uint64_t pathKey(const Piece& p) {
  const double fields[] = {static_cast<double>(p.kind),
                           p.p[0].x,
                           p.p[0].y,
                           p.p[1].x,
                           p.p[1].y,
                           p.centre.x,
                           p.centre.y,
                           p.sweep,
                           p.radius,
                           p.endRadius};
  // Each field's bits mixed in whole (the finaliser of splitmix64 after
  // each): a byte at a time costs eight times the multiplications.
  uint64_t hash = 0x9E3779B97F4A7C15ULL;
  for (const double f : fields) {
    uint64_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    hash = (hash ^ bits) + 0x9E3779B97F4A7C15ULL;
    hash = (hash ^ (hash >> 30)) * 0xBF58476D1CE4E5B9ULL;
    hash = (hash ^ (hash >> 27)) * 0x94D049BB133111EBULL;
    hash ^= hash >> 31;
  }
  return hash;
}

double totalLength(const std::vector<Piece>& pieces) {
  double total = 0.0;
  for (const Piece& p : pieces) total += p.lengthBound();
  return total;
}

// The farthest any point of `from` lies from the pieces of `to`: points at
// `spacing` along every piece, then, around the farthest of them, a closer
// look between its neighbours (the distance is smooth there, and the sampled
// maximum can sit up to half a spacing from the true one).
// With `radius` (by the piece's shape, 1 for the first), a point's figure is
// how far its distance strays from its shape's radius, which needs the exact
// nearest distance. Once the largest exceeds `stop` the measure ends there.
void farthest(std::span<const Piece> from, const PieceTree& to, double spacing, bool pathStrays,
              Deviation& worst, size_t& measures, std::span<const double> radius = {},
              double stop = HUGE_VAL) {
  size_t hint = 0;
  const size_t budget = kMeasuresPerProbe * static_cast<size_t>(kMostProbes);
  const Piece* worstPiece = nullptr;
  double worstT = 0.0, worstStep = 0.0;
  // Measures the point p of the piece; `d` is set to its distance, or to a
  // larger one no larger than the largest so far.
  auto measure = [&](const Piece& piece, PlanePoint p, double& d) {
    const auto k = static_cast<size_t>(piece.shape) - 1;
    const double r = k < radius.size() ? radius[k] : 0.0;
    d = r > 0.0 ? std::fabs(to.nearest(p, hint, 0.0, measures) - r)
                : to.nearest(p, hint, worst.measured ? worst.distance : 0.0, measures);
    if (!worst.measured || d > worst.distance) {
      worst = {true, worst.whole, d, p.x, p.y, piece.shape, pathStrays, r > 0.0};
      return true;
    }
    return false;
  };
  // A piece that starts where the one before ended shares that point: it
  // is measured once.
  PlanePoint lastEnd{std::nan(""), 0.0};
  // The distance to the drawing changes no faster than the point moves: a
  // point within (largest so far - last measured) of the last measured one
  // cannot be farther than the largest, and is not measured. The margin
  // keeps rounding from mattering.
  constexpr double kMargin = 1e-9;
  PlanePoint measuredAt{std::nan(""), 0.0};
  double measuredDistance = HUGE_VAL;
  for (const Piece& piece : from) {
    if (measures > budget) {
      worst.whole = false;
      break;
    }
    const double n = std::clamp(std::ceil(piece.lengthBound() / spacing), 1.0, 1.0e6);
    const PlanePoint start = piece.at(0.0);
    const double first = start.x == lastEnd.x && start.y == lastEnd.y ? 1.0 : 0.0;
    lastEnd = piece.at(1.0);
    for (double i = first; i <= n && measures <= budget; ++i) {
      const PlanePoint p = piece.at(i / n);
      const double slack = worst.distance - measuredDistance - kMargin;
      if (worst.measured && slack > 0.0) {
        const double dx = p.x - measuredAt.x, dy = p.y - measuredAt.y;
        if (dx * dx + dy * dy < slack * slack) continue;
      }
      measuredAt = p;
      if (measure(piece, p, measuredDistance)) {
        if (worst.distance > stop) return;
        worstPiece = &piece;
        worstT = i / n;
        worstStep = 1.0 / n;
      }
    }
  }
  // Zoom in: sixteen steps between the neighbours, four times over.
  for (int round = 0; worstPiece != nullptr && round < 4; ++round) {
    const double low = std::max(0.0, worstT - worstStep), high = std::min(1.0, worstT + worstStep);
    for (int k = 0; k <= 16; ++k) {
      const double t = low + (high - low) * k / 16.0;
      double d = 0.0;
      if (measure(*worstPiece, worstPiece->at(t), d)) worstT = t;
    }
    worstStep = (high - low) / 16.0;
  }
}

}  // namespace

DrawingIndex::DrawingIndex(std::span<const Segment> segments) {
  std::vector<Piece> drawing = drawingPieces(segments);
  // The path follows the drawing: its length is about the drawing's, and the
  // spacing is fixed before the first move is read. Long pieces share the
  // probes, so a drawing scaled up a thousandfold costs no more to check.
  const double length = 2.0 * totalLength(drawing);
  const double probes =
      std::min(kMostProbes, kProbesPerPiece * static_cast<double>(drawing.size()));
  spacing = std::max(kFinestSpacing, probes > 0.0 ? length / probes : 0.0);
  tree = std::make_unique<PieceTree>(std::move(drawing));
  // The tree's pieces by shape (a counting sort).
  const std::vector<Piece>& pieces = tree->pieces();
  int32_t shapes = 0;
  for (const Piece& piece : pieces) shapes = std::max(shapes, piece.shape);
  shapeStarts.assign(static_cast<size_t>(shapes) + 2, 0);
  for (const Piece& piece : pieces) ++shapeStarts[static_cast<size_t>(piece.shape) + 1];
  for (size_t i = 1; i < shapeStarts.size(); ++i) shapeStarts[i] += shapeStarts[i - 1];
  byShape.resize(pieces.size());
  std::vector<uint32_t> next(shapeStarts.begin(), shapeStarts.end() - 1);
  for (size_t i = 0; i < pieces.size(); ++i) {
    byShape[next[static_cast<size_t>(pieces[i].shape)]++] = static_cast<uint32_t>(i);
  }
}

DrawingIndex::~DrawingIndex() = default;

int32_t DrawingIndex::shapes() const {
  return static_cast<int32_t>(shapeStarts.size()) - 2;
}

std::vector<Piece> DrawingIndex::shapePieces(int32_t shape) const {
  std::vector<Piece> own;
  const std::vector<Piece>& pieces = tree->pieces();
  const auto k = static_cast<size_t>(shape);
  for (uint32_t i = shapeStarts[k]; i < shapeStarts[k + 1]; ++i) own.push_back(pieces[byShape[i]]);
  return own;
}

namespace {

// The fields pathKey mixes, compared as they are.
bool samePath(const Piece& a, const Piece& b) {
  return a.kind == b.kind && a.p[0].x == b.p[0].x && a.p[0].y == b.p[0].y && a.p[1].x == b.p[1].x &&
         a.p[1].y == b.p[1].y && a.centre.x == b.centre.x && a.centre.y == b.centre.y &&
         a.sweep == b.sweep && a.radius == b.radius && a.endRadius == b.endRadius;
}

}  // namespace

bool LaterPassFilter::keep(const ProgramMove& move, const Piece& piece) {
  if (move.shape != shape_) {
    firstPass_.clear();
    firstKeys_.clear();
    shape_ = move.shape;
    pass_ = 0;
  }
  if (move.pass != pass_) {
    pass_ = move.pass;
    at_ = 0;
  }
  if (move.pass <= 1) {
    firstPass_.push_back(piece);
    return true;
  }
  // A later pass mostly repeats the first move for move: the move at the
  // same place is asked first, and every move of the first pass only when
  // that differs (their keys sorted once, at the first such move).
  const size_t at = at_++;
  if (at < firstPass_.size() && samePath(firstPass_[at], piece)) return false;
  if (firstKeys_.empty()) {
    for (const Piece& p : firstPass_) firstKeys_.push_back(pathKey(p));
    std::sort(firstKeys_.begin(), firstKeys_.end());
  }
  return !std::binary_search(firstKeys_.begin(), firstKeys_.end(), pathKey(piece));
}

void DeviationMeter::add(const ProgramMove& move) {
  if (!cutsPath(move)) return;
  if (shapesInOrder_ && !path_.empty() && move.shape != path_.back().shape) finishShape();
  const Piece piece = Piece::move(move);
  if (laterPasses_.keep(move, piece)) path_.push_back(piece);
}

void DeviationMeter::fold(int32_t shape, const Deviation& d) {
  if (!path_.empty()) finishShape();
  if (shape != shapesMeasured_ + 1 || shape > drawing_.shapes()) shapesMatch_ = false;
  shapesMeasured_ = shape;
  // A shape that cut nothing is left to the measure of the whole program.
  if (!d.measured) {
    shapesMatch_ = false;
    return;
  }
  const bool whole = worst_.whole && d.whole;
  if (!worst_.measured || d.distance > worst_.distance) worst_ = d;
  worst_.whole = whole;
}

// The path of one shape against the whole drawing, and the drawing's shape of
// the same number against that path: what the shape was to cut.
void DeviationMeter::finishShape() {
  const int32_t shape = path_.front().shape;
  farthest(path_, *drawing_.tree, drawing_.spacing, true, worst_, measures_);
  if (shape != shapesMeasured_ + 1 || shape > drawing_.shapes()) {
    shapesMatch_ = false;
  } else {
    const std::vector<Piece> own = drawing_.shapePieces(shape);
    farthest(own, PieceTree(std::move(path_), true), drawing_.spacing, false, worst_, measures_);
  }
  shapesMeasured_ = shape;
  path_.clear();
}

Deviation DeviationMeter::measureShape(std::span<const ProgramMove> moves, double enough) {
  std::vector<Piece> path;
  LaterPassFilter laterPasses;
  for (const ProgramMove& m : moves) {
    if (!cutsPath(m)) continue;
    const Piece piece = Piece::move(m);
    if (laterPasses.keep(m, piece)) path.push_back(piece);
  }
  Deviation worst;
  if (path.empty() || drawing_.tree->empty()) return worst;
  // A point nearer than the figure of the shapes before cannot raise it,
  // and a try is made again only where it strays beyond `enough`: the
  // shape's own figure need be exact only above the lower of the two (below
  // it, it is given as that, which neither raises the figure nor fails).
  if (worst_.measured) {
    worst = worst_;
    worst.distance = std::min(worst_.distance, enough);
  }
  const int32_t shape = path.front().shape;
  farthest(path, *drawing_.tree, drawing_.spacing, true, worst, measures_, {}, enough);
  if (shape >= 1 && shape <= drawing_.shapes() && !(worst.distance > enough)) {
    const std::vector<Piece> own = drawing_.shapePieces(shape);
    farthest(own, PieceTree(std::move(path), true), drawing_.spacing, false, worst, measures_, {},
             enough);
  }
  return worst;
}

namespace {

// A program that cuts nothing of a drawing that has length is as far from it
// as a program can be.
Deviation nothingCut(const std::vector<Piece>& drawing) {
  Deviation worst;
  if (totalLength(drawing) > 0.0) {
    const Piece& first = drawing.front();
    worst = {true, true, HUGE_VAL, first.p[0].x, first.p[0].y, first.shape, false};
  }
  return worst;
}

}  // namespace

Deviation DeviationMeter::finishOffset(const PathOffsets& offsets) {
  // Each numbered shape's flag in `flags` (1 for the first).
  const auto marked = [](const std::vector<bool>& flags, int32_t shape) {
    const auto k = static_cast<size_t>(shape) - 1;
    return k < flags.size() && flags[k];
  };
  std::vector<Piece> onLine, beside, outlines, cut;
  for (const Piece& p : path_) {
    const auto k = static_cast<size_t>(p.shape) - 1;
    const double r = k < offsets.radius.size() ? offsets.radius[k] : 0.0;
    if (std::isnan(r)) continue;
    (r > 0.0 ? beside : onLine).push_back(p);
  }
  path_.clear();
  for (const Piece& p : drawing_.tree->pieces()) {
    if (marked(offsets.outline, p.shape)) outlines.push_back(p);
    if (offsets.bothWays && marked(offsets.cut, p.shape)) cut.push_back(p);
  }
  if (onLine.empty() && beside.empty()) {
    // A shape where the tool fits nowhere is left uncut and said so: the
    // figure measures only the path there is.
    return offsets.bothWays && !cut.empty() ? nothingCut(cut) : Deviation{};
  }
  farthest(onLine, *drawing_.tree, drawing_.spacing, true, worst_, measures_);
  if (!outlines.empty()) {
    farthest(beside, PieceTree(std::move(outlines)), drawing_.spacing, true, worst_, measures_,
             offsets.radius);
  }
  if (!cut.empty()) {
    onLine.insert(onLine.end(), beside.begin(), beside.end());
    farthest(cut, PieceTree(std::move(onLine)), drawing_.spacing, false, worst_, measures_);
  }
  return worst_;
}

Deviation DeviationMeter::finish(const PathOffsets* offsets) {
  if (drawing_.tree->empty()) return {};
  if (!shapesInOrder_) {
    if (offsets != nullptr) return finishOffset(*offsets);
    if (path_.empty()) return nothingCut(drawing_.tree->pieces());
    farthest(path_, *drawing_.tree, drawing_.spacing, true, worst_, measures_);
    farthest(drawing_.tree->pieces(), PieceTree(std::move(path_)), drawing_.spacing, false, worst_,
             measures_);
    path_.clear();
    return worst_;
  }
  if (!path_.empty()) finishShape();
  // Every shape of the drawing, in order, had a path of its own: else the
  // figure says nothing of the shapes left without one.
  if (shapesMeasured_ != drawing_.shapes()) shapesMatch_ = false;
  return worst_;
}

Deviation measureDeviation(std::span<const Segment> segments, std::span<const ProgramMove> moves) {
  const DrawingIndex drawing(segments);
  DeviationMeter meter(drawing, false);
  for (const ProgramMove& m : moves) meter.add(m);
  return meter.finish();
}

std::string describeDeviation(const Deviation& d) {
  if (!d.measured) return "none: nothing to compare";
  char text[200];
  if (std::isinf(d.distance)) {
    std::snprintf(text, sizeof text, "none of the drawing is cut (shape %d begins at (%.4f, %.4f))",
                  static_cast<int>(d.shape), d.x, d.y);
    return text;
  }
  std::snprintf(text, sizeof text, "%s%.4f mm at (%.4f, %.4f) in shape %d, where %s",
                d.whole ? "" : "at least ", d.distance, d.x, d.y, static_cast<int>(d.shape),
                !d.pathStrays ? "the drawing is not cut"
                : d.besideRadius
                    ? "the path's distance from the drawing strays from the tool radius"
                    : "the path strays from the drawing");
  if (!d.whole) {
    return std::string(text) + " (the drawing is too dense to check whole in reasonable time)";
  }
  return text;
}

}  // namespace brevanto::cli
