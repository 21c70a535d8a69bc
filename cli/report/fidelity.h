#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "brevanto/brevanto.h"
#include "report/piece_tree.h"
#include "report/program_moves.h"

namespace brevanto::cli {

// How far the written program strays from the drawing, measured on the
// program as the machine runs it: the cutting moves of each shape's passes
// (later passes where they differ from the first) and its plunge points, as
// they were written (rounded numbers, arcs about the centre their R
// or I J words give, straight runs included) against the drawing's true
// curves (the cubic Beziers and lines of the Segment records). Both ways
// count: a point of the path far from every curve, and a point of a curve far
// from the path (a part of the drawing that is not cut). Exact to about
// kFidelityTolerance. The work is bounded: pieces piled so densely that
// bounding boxes cannot tell them apart (a million long lines criss-crossing
// a small square) cut the check short rather than make it take hours.
struct Deviation {
  bool measured = false;  // false when there was nothing to compare
  bool whole = true;      // false when the check was cut short: the figure is a least value
  double distance = 0.0;  // mm, the largest distance found
  double x = 0.0;         // where it occurs
  double y = 0.0;
  int32_t shape = 0;          // the program's shape there (1 for the first), or the drawing's
  bool pathStrays = true;     // true: the path is far from the drawing there;
                              // false: the drawing is far from the path
  bool besideRadius = false;  // the path there is a tool radius beside the drawing
};

// A program whose shapes are not all the drawing's cut on the line (a tool
// offset, or operations, each with its own tool and kind): per shape as
// written (ProgramMove::shape 1, 2...), the distance its path is to keep from
// the drawing's outlines (0: it is cut on the line; NaN: it clears an area,
// a pocket's rings or a fill's lines, and is left out), and per shape of the
// drawing (as DrawingIndex numbers them) whether it is such an outline (a
// closed shape cut beside; open lines are cut on the line, and a tool path
// may cross them).
// With `bothWays` (no path beside the line), the shapes of the drawing marked
// in `cut` are also measured against the path: a shape far from every path
// is not cut. Beside the line the drawing lies a radius from the path by
// design, and further where the tool does not fit into a corner: then only
// the path's distance counts.
struct PathOffsets {
  std::vector<double> radius;
  std::vector<bool> outline;
  bool bothWays = false;
  std::vector<bool> cut;
};

inline constexpr double kFidelityTolerance = 1e-4;  // mm

// The drawing's curves and lines in a tree, for the measures below; made once
// for all the programs of one drawing.
struct DrawingIndex {
  explicit DrawingIndex(std::span<const Segment> segments);
  ~DrawingIndex();
  DrawingIndex(const DrawingIndex&) = delete;
  DrawingIndex& operator=(const DrawingIndex&) = delete;
  [[nodiscard]] int32_t shapes() const;
  // The pieces of shape `shape` (1 for the first).
  [[nodiscard]] std::vector<Piece> shapePieces(int32_t shape) const;

  std::unique_ptr<PieceTree> tree;
  // Shape k's pieces: tree->pieces()[byShape[i]] for i in [shapeStarts[k], shapeStarts[k + 1]).
  std::vector<uint32_t> shapeStarts;
  std::vector<uint32_t> byShape;
  double spacing = 0.0;  // mm between measured points
};

// The measure of measureDeviation taken while the program is read, a move at
// a time. When the program's shapes are the drawing's, in order (no stage
// reorders or adds shapes), each shape is measured as soon as it is
// complete: its path against the whole drawing, the drawing's shape against
// its path. Then the meter holds one shape's path, however long the
// program. Otherwise (shapesInOrder false) the path is kept and measured
// whole at the end.
// Later passes mostly follow the first one deeper: only the moves that differ
// from every move of the shape's first pass are measured again (a closed
// shape's second pass starts where the first ended, which can change how a
// circle is entered).
class LaterPassFilter {
 public:
  // Whether `piece`, the cutting move `move`, is to be measured.
  bool keep(const ProgramMove& move, const Piece& piece);

 private:
  std::vector<Piece> firstPass_;     // the current shape's first pass
  std::vector<uint64_t> firstKeys_;  // its path keys, sorted, once a later move differs
  int32_t shape_ = 0;
  int32_t pass_ = 0;
  size_t at_ = 0;  // the place of the next move in its pass
};

class DeviationMeter {
 public:
  DeviationMeter(const DrawingIndex& drawing, bool shapesInOrder)
      : drawing_(drawing), shapesInOrder_(shapesInOrder) {}

  void add(const ProgramMove& move);
  // With `offsets` (shapesInOrder false), each point of a path that keeps a
  // radius is measured by how far its distance from the outlines strays from
  // the radius; the drawing against the path only as `offsets` says.
  Deviation finish(const PathOffsets* offsets = nullptr);
  // The figure of one shape's moves alone (a try the job may make again):
  // its path against the whole drawing, the drawing's shape of its number
  // against its path. The meter's own figure is left as it is. Once the
  // figure exceeds `enough` the measure stops: it is then a least one. A
  // figure no higher than the lower of `enough` and the meter's own is
  // given as that lower one: it decides nothing.
  Deviation measureShape(std::span<const ProgramMove> moves, double enough = HUGE_VAL);
  // Shape `shape` was measured already (measureShape): its figure is taken
  // as it is, and its moves are not added.
  void fold(int32_t shape, const Deviation& deviation);
  // After finish: false when the program's shapes turned out not to be the
  // drawing's one for one (a shape that cuts nothing, say): the figure is
  // then to be taken over the program whole.
  [[nodiscard]] bool shapesMatched() const { return shapesMatch_; }

 private:
  void finishShape();
  Deviation finishOffset(const PathOffsets& offsets);

  const DrawingIndex& drawing_;
  std::vector<Piece> path_;  // cutting moves not yet measured
  LaterPassFilter laterPasses_;
  bool shapesInOrder_;
  bool shapesMatch_ = true;
  int32_t shapesMeasured_ = 0;
  size_t measures_ = 0;
  Deviation worst_;
};

// `segments` are the records the program was made from, `moves` the program
// read back. Non-finite coordinates are left out.
Deviation measureDeviation(std::span<const Segment> segments, std::span<const ProgramMove> moves);

// "0.0148 mm at (-22.2780, 8.3070) in shape 1, where the path strays from the
// drawing" (or "... where the drawing is not cut"); "none: nothing to compare";
// for a program that cuts nothing of a drawing (an infinite distance), that.
std::string describeDeviation(const Deviation& deviation);

}  // namespace brevanto::cli
