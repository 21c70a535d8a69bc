#include "tolerance.h"

#include <cmath>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "io/line_sink.h"

namespace brevanto::cli {
namespace {

// Precision tries: the user's, then a quarter of it, of that, and so on:
// a drawing of large flat curves may need a precision a hundred times finer
// before joining stops merging arcs that part from the curves by tenths.
constexpr int kPrecisionRefinements = 4;
// Then the curves are cut in two this many times at most (each time doubling
// their number), as long as the drawing stays below kMostSplitCurves curves.
constexpr int kSplitRounds = 3;
constexpr size_t kMostSplitCurves = 4000000;

// Later passes of a shape mostly retrace its first one in the plane, only
// deeper: a view from above (the preview) would draw them over it again. A
// cutting move of a later pass that repeats in X and Y the move at the same
// place of the first pass is told apart here, so that it need not be kept.
class PlanRepeats {
 public:
  bool repeats(const ProgramMove& m) {
    if (m.shape != shape_) {
      shape_ = m.shape;
      pass_ = 0;
      first_.clear();
    }
    if (m.kind == ProgramMove::Kind::Rapid || m.shape == 0) return false;
    if (m.pass != pass_) {
      pass_ = m.pass;
      at_ = 0;
    }
    if (m.pass <= 1) {
      first_.push_back(m);
      return false;
    }
    const bool same = at_ < first_.size() && samePlan(first_[at_], m);
    ++at_;
    return same;
  }

 private:
  static bool samePlan(const ProgramMove& a, const ProgramMove& b) {
    return a.kind == b.kind && a.fromKnown && b.fromKnown && a.fromX == b.fromX &&
           a.fromY == b.fromY && a.toX == b.toX && a.toY == b.toY && a.centreX == b.centreX &&
           a.centreY == b.centreY && a.radius == b.radius && a.endRadius == b.endRadius &&
           a.startAngle == b.startAngle && a.sweep == b.sweep && a.power == b.power;
  }

  int32_t shape_ = -1;
  int32_t pass_ = 0;
  size_t at_ = 0;
  std::vector<ProgramMove> first_;
};

// The program's moves as the job states them, block by block: the summary,
// the fidelity figure and the preview take them as the text says them,
// without reading the text back.
//
// It is also the job's check of each shape before the shape is written, for
// a tolerance: the shape's moves as they would be written, measured against
// the drawing the way the figure measures them.
class MoveTaker final : public ProgramObserver, public ShapeCheck {
 public:
  MoveTaker(MadeProgram& made, DeviationMeter& meter, bool keepMoves)
      : made_(made), meter_(meter), keepMoves_(keepMoves) {}
  // A shape the job checked first (stray) comes with its figure and its
  // moves: its blocks are those of the try, and are not read or measured
  // twice.
  void shapeBegins() override {
    replayed_ = checked_;
    checked_ = false;
    if (!replayed_) {
      reader_.shapeBegins();
      return;
    }
    reader_ = triedReader_;
    meter_.fold(reader_.shape(), checkedDeviation_);
    for (const ProgramMove& move : tried_) take(move);
  }
  void homeBegins() override {
    reader_.homeBegins();
    replayed_ = false;
  }
  // The moves are read in the drawing's coordinates: the figure measures
  // them against the drawing, and the preview draws them over it.
  void originMoved(double dx, double dy) override { shift_ = {dx, dy}; }
  void block(const WrittenBlock& written) override {
    if (replayed_ || !reader_.apply(shifted(written), move_)) return;
    take(move_);
    meter_.add(move_);
  }
  double stray(std::span<const WrittenBlock> blocks, double enough) override {
    triedReader_ = reader_;
    triedReader_.shapeBegins();
    tried_.clear();
    ProgramMove move;
    for (const WrittenBlock& b : blocks) {
      if (triedReader_.apply(shifted(b), move)) tried_.push_back(move);
    }
    const Deviation d = meter_.measureShape(tried_, enough);
    checkedDeviation_ = d;
    checked_ = true;
    // A figure cut short cannot tell where to refine.
    return d.measured && d.whole ? d.distance : 0.0;
  }
  // A shape as cut on its line before the job's later stages: measured as
  // the drawing's shape of that number, and forgotten.
  double strayOnLine(int32_t shape, std::span<const WrittenBlock> blocks, double enough) override {
    ProgramMoveReader reader;
    reader.shapeBegins();
    aside_.clear();
    ProgramMove move;
    for (const WrittenBlock& b : blocks) {
      if (!reader.apply(b, move)) continue;
      move.shape = shape;
      aside_.push_back(move);
    }
    const Deviation d = meter_.measureShape(aside_, enough);
    return d.measured && d.whole ? d.distance : 0.0;
  }

 private:
  WrittenBlock shifted(const WrittenBlock& written) const {
    WrittenBlock block = written;
    if (block.hasX) block.x -= shift_.x;
    if (block.hasY) block.y -= shift_.y;
    return block;
  }
  void take(const ProgramMove& move) {
    made_.totals.add(move);
    if (keepMoves_ && !planRepeats_.repeats(move)) made_.moves.push_back(move);
  }

  MadeProgram& made_;
  DeviationMeter& meter_;
  bool keepMoves_;
  PlanRepeats planRepeats_;
  ProgramMoveReader reader_;
  ProgramMove move_;
  // The last try: its moves and the reader as it stands after them.
  std::vector<ProgramMove> tried_;
  ProgramMoveReader triedReader_;
  std::vector<ProgramMove> aside_;  // a shape measured on its line
  bool checked_ = false;            // the last try was measured, and is the one to come
  bool replayed_ = false;           // the shape being told is that try: its blocks are passed over
  Deviation checkedDeviation_;
  struct {
    double x = 0.0, y = 0.0;
  } shift_;
};

// Per shape as written, the distance its path keeps from the drawing: the
// tool radius for a closed shape, cut beside its outline; 0 for an open one,
// cut on its line. And which of the drawing's shapes are such outlines.
PathOffsets pathOffsets(const JobReport& report, const JobSettings& settings) {
  PathOffsets offsets;
  const double radius = settings.toolOffset == ToolOffset::None
                            ? 0.0
                            : static_cast<double>(settings.toolDiameter) * 0.5;
  for (const JobReport::ShapeNesting& shape : report.shapes) {
    offsets.outline.push_back(shape.depth >= 0);
  }
  for (const int32_t i : report.writtenShapes) {
    const auto k = static_cast<size_t>(i);
    offsets.radius.push_back(k < report.shapes.size() && report.shapes[k].depth >= 0 ? radius
                                                                                     : 0.0);
  }
  return offsets;
}

// With operations, each written shape's distance from its own operation's
// tool: an offset profile's path keeps its tool's radius from the outline, a
// profile on the line and an engraving keep none, and a pocket's or a fill's
// moves clear an area, which no distance from the outline describes (left
// out both ways). The drawing is to be cut where an operation that cuts on
// the line selected it; with any offset, only the path is measured.
PathOffsets operationOffsets(const JobReport& report, const std::vector<JobOperation>& operations,
                             std::span<const Segment> drawn) {
  const auto clearsArea = [](const JobOperation& op) {
    return op.settings.kind == OperationKind::Pocket ||
           op.settings.kind == OperationKind::LaserFill;
  };
  PathOffsets offsets;
  offsets.bothWays = true;
  std::unordered_map<int32_t, bool> cutOnLine;  // key -> its first operation cuts its line
  for (const JobOperation& op : operations) {
    if (!clearsArea(op) && op.settings.toolOffset != ToolOffset::None) offsets.bothWays = false;
    for (const int32_t key : op.shapeKeys) cutOnLine.emplace(key, !clearsArea(op));
  }
  std::unordered_set<int32_t> outlines;
  for (const JobReport::WrittenCut& cut : report.writtenCuts) {
    offsets.radius.push_back(cut.clearsArea ? std::nan("") : cut.beside);
    if (!cut.clearsArea && cut.beside > 0.0) outlines.insert(cut.drawnKey);
  }
  // The drawing's shapes are the runs of one key, as DrawingIndex numbers them.
  for (size_t i = 0; i < drawn.size(); ++i) {
    const int32_t key = drawn[i].shapeKey;
    if (i > 0 && key == drawn[i - 1].shapeKey) continue;
    const auto found = cutOnLine.find(key);
    offsets.cut.push_back(found != cutOnLine.end() && found->second);
    offsets.outline.push_back(outlines.contains(key));
  }
  return offsets;
}

MadeProgram run(const std::vector<Segment>& segments, const JobSettings& settings,
                const DrawingIndex& drawing, std::span<const Segment> drawn,
                const ProgramTarget& target, std::optional<double> tolerance) {
  MadeProgram made;
  made.totals.byShape = !target.operations.empty();  // for each operation's figures
  if (!target.file->restart()) {
    made.report.result = BREVANTO_OUTPUT_FAILED;
    return made;
  }
  if (target.keepMoves) {
    // A few moves per record, twice that for curves cut in two by the
    // tolerance (later passes that retrace the first are not kept): room
    // reserved and never written costs no memory, and growing a list of a
    // million moves would copy it and touch twice its pages.
    made.moves.reserve(segments.size() * 8 + 64);
  }
  DeviationMeter meter(drawing, target.shapesInOrder);
  MoveTaker taker(made, meter, target.keepMoves);
  LineSink sink(*target.file, nullptr);
  std::ostream stream(&sink);
  made.report = runJob(segments, {.typedSettings = settings,
                                  .program = &stream,
                                  .observer = &taker,
                                  .tolerance = tolerance.value_or(0.0),
                                  .shapeCheck = tolerance ? &taker : nullptr,
                                  .operations = target.operations});
  if (!sink.finish() && made.report.ok()) made.report.result = BREVANTO_OUTPUT_FAILED;
  if (!made.report.ok()) return made;
  if (!target.operations.empty()) {
    const PathOffsets offsets = operationOffsets(made.report, target.operations, drawn);
    made.deviation = meter.finish(&offsets);
  } else if (target.offsetPath) {
    const PathOffsets offsets = pathOffsets(made.report, settings);
    made.deviation = meter.finish(&offsets);
  } else {
    made.deviation = meter.finish();
  }
  if (!meter.shapesMatched()) {
    // Rare (a shape that cuts nothing): the program is read again and
    // measured whole.
    std::string program;
    if (target.file->readAll(program)) {
      made.deviation = measureDeviation(drawn, readProgramMoves(program));
    }
  }
  return made;
}

// A check cut short (a drawing too dense to measure whole) cannot tell where
// to refine, so it ends the tries; the caller says the figure is a least one.
bool within(const Deviation& d, double tolerance) {
  return !d.measured || !d.whole || d.distance <= tolerance;
}

// Figures of the summary: six digits, as the summary prints its others.
std::string number(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

}  // namespace

MadeProgram makeProgram(const std::vector<Segment>& segments, const JobSettings& settings,
                        std::optional<double> tolerance, const ProgramTarget& target) {
  const DrawingIndex drawing(segments);
  const auto run = [&](const std::vector<Segment>& pieces, const JobSettings& typed) {
    return cli::run(pieces, typed, drawing, segments, target, std::nullopt);
  };
  // The job refines the shapes that stray itself where it writes shape by
  // shape; otherwise (cut-out stages, a digit limit) the whole job is made
  // again below.
  MadeProgram made = cli::run(segments, settings, drawing, segments, target, tolerance);
  // Jobs with later stages refine each shape as cut on its line first; the
  // whole job is made again below only where the program still strays.
  {
    const JobReport& r = made.report;
    if (r.ok() && r.shapesRefined > 0) {
      std::string how;
      if (r.finestPrecision > 0.0) {
        how = "joined at Prezision=" + exactText(r.finestPrecision) + " at the finest (from " +
              exactText(settings.precision > 0.0 ? settings.precision : 3.0) + ")";
      }
      if (r.mostSplitRounds > 0) {
        how += (how.empty() ? "" : ", ") + std::string("curves cut in two up to ") +
               std::to_string(r.mostSplitRounds) + " time(s)";
      }
      made.changes.push_back(std::to_string(r.shapesRefined) + " shape(s) made again: " + how);
    }
  }
  if (made.report.refinedInJob) return made;
  if (!tolerance || !made.report.ok() || within(made.deviation, *tolerance)) return made;

  const double first = made.deviation.distance;
  // A precision of 0 (or not a number) means the default, 3. The finer
  // precisions go to the job as numbers, and the summary names them exactly:
  // a rounded figure would not reproduce the program.
  const double userPrecision = settings.precision > 0.0 ? settings.precision : 3.0;
  JobSettings finer = settings;
  finer.precision = userPrecision;
  for (int i = 0; i < kPrecisionRefinements && !within(made.deviation, *tolerance); ++i) {
    finer.precision /= 4.0;
    made = run(segments, finer);
    if (!made.report.ok()) return made;
  }
  const std::string precisionText = exactText(finer.precision);
  if (within(made.deviation, *tolerance)) {
    made.changes.push_back("joining at Prezision=" + exactText(userPrecision) + " strayed " +
                           number(first) + " mm; used Prezision=" + precisionText);
    return made;
  }

  std::vector<Segment> pieces = segments;
  int rounds = 0;
  while (rounds < kSplitRounds && !within(made.deviation, *tolerance) &&
         pieces.size() < kMostSplitCurves) {
    pieces = splitCurves(pieces);
    ++rounds;
    // Measured against the drawing itself, not its pieces.
    made = run(pieces, finer);
    if (!made.report.ok()) return made;
  }
  made.changes.push_back("Prezision=" + precisionText + " (from " + exactText(userPrecision) +
                         "), curves cut in two " + std::to_string(rounds) + " time(s)");
  return made;
}

}  // namespace brevanto::cli
