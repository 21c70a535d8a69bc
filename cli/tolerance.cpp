#include "tolerance.h"

#include <cstdlib>
#include <ostream>
#include <sstream>
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

// The program's moves as the job states them, block by block: the summary,
// the fidelity figure and the preview take them as the text says them,
// without reading the text back.
//
// It is also the job's check of each shape before the shape is written, for
// a tolerance: the shape's moves as they would be written, measured against
// the drawing the way the figure measures them.
class MoveTaker final : public ProgramObserver, public ShapeCheck {
 public:
  MoveTaker(MadeProgram& made, DeviationMeter& meter, bool keepMoves, bool perShape)
      : made_(made), meter_(meter), keepMoves_(keepMoves), perShape_(perShape) {}
  // A shape the job checked first (stray) comes with its figure: it is not
  // measured twice.
  void shapeBegins() override {
    reader_.shapeBegins();
    measured_ = checked_;
    checked_ = false;
    if (measured_) meter_.fold(reader_.shape(), checkedDeviation_);
  }
  void homeBegins() override {
    reader_.homeBegins();
    measured_ = false;
  }
  // The moves are read in the drawing's coordinates: the figure measures
  // them against the drawing, and the preview draws them over it.
  void originMoved(double dx, double dy) override { shift_ = {dx, dy}; }
  void block(const WrittenBlock& written) override {
    WrittenBlock block = written;
    if (block.hasX) block.x -= shift_.x;
    if (block.hasY) block.y -= shift_.y;
    if (!reader_.apply(block, move_)) return;
    const double cutting = made_.totals.cutting;
    const double minutes = made_.totals.minutes;
    made_.totals.add(move_);
    if (perShape_ && move_.shape > 0) {
      const auto shape = static_cast<size_t>(move_.shape);
      if (made_.shapes.size() < shape) made_.shapes.resize(shape);
      made_.shapes[shape - 1].cutting += made_.totals.cutting - cutting;
      made_.shapes[shape - 1].minutes += made_.totals.minutes - minutes;
    }
    if (!measured_) meter_.add(move_);
    if (keepMoves_) made_.moves.push_back(move_);
  }
  double stray(std::span<const WrittenBlock> blocks) override {
    ProgramMoveReader reader = reader_;
    reader.shapeBegins();
    tried_.clear();
    ProgramMove move;
    for (const WrittenBlock& b : blocks) {
      if (reader.apply(b, move)) tried_.push_back(move);
    }
    const Deviation d = meter_.measureShape(tried_);
    checkedDeviation_ = d;
    checked_ = true;
    // A figure cut short cannot tell where to refine.
    return d.measured && d.whole ? d.distance : 0.0;
  }

 private:
  MadeProgram& made_;
  DeviationMeter& meter_;
  bool keepMoves_;
  bool perShape_;
  ProgramMoveReader reader_;
  ProgramMove move_;
  std::vector<ProgramMove> tried_;
  bool checked_ = false;   // the last try was measured, and is the one to come
  bool measured_ = false;  // the shape being told was measured as a try
  Deviation checkedDeviation_;
  struct {
    double x = 0.0, y = 0.0;
  } shift_;
};

MadeProgram run(const std::vector<Segment>& segments, const JobSettings& settings,
                const DrawingIndex& drawing, std::span<const Segment> drawn,
                const ProgramTarget& target, std::optional<double> tolerance) {
  MadeProgram made;
  if (!target.file->restart()) {
    made.report.result = BREVANTO_OUTPUT_FAILED;
    return made;
  }
  DeviationMeter meter(drawing, target.shapesInOrder);
  MoveTaker taker(made, meter, target.keepMoves, !target.operations.empty());
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
  made.deviation = meter.finish();
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
  if (made.report.refinedInJob) {
    const JobReport& r = made.report;
    if (r.shapesRefined > 0) {
      made.changes.push_back(
          std::to_string(r.shapesRefined) + " shape(s) made again: joined at Prezision=" +
          exactText(r.finestPrecision) + " at the finest (from " +
          exactText(settings.precision > 0.0 ? settings.precision : 3.0) + ")" +
          (r.mostSplitRounds > 0
               ? ", curves cut in two up to " + std::to_string(r.mostSplitRounds) + " time(s)"
               : ""));
    }
    return made;
  }
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
