#include "job/shape_refinement.h"

#include <algorithm>
#include <cmath>

#include "gcode/program_writer.h"
#include "job/job.h"

namespace brevanto {
namespace {

// The blocks of one try, kept until the try is chosen.
class BlockRecorder final : public ProgramObserver {
 public:
  void shapeBegins() override {}
  void homeBegins() override {}
  void block(const WrittenBlock& block) override { blocks.push_back(block); }
  std::vector<WrittenBlock> blocks;
};

}  // namespace

// How far a try must be measured: beyond this its exact figure decides
// nothing. A try that strays further than the tolerance is made again; its
// figure is then compared with the next try's only while the precision is
// being refined and that next try will not be cut (see below). The first
// try, and the last one that can be made, are measured whole.
double ShapeRefinement::decisive(int precisionSteps, bool canSplit, double lastStray) const {
  if (precisionSteps == 0 || (precisionSteps == kPrecisionRefinements && !canSplit)) {
    return HUGE_VAL;
  }
  // Between the first and the last precision, a try that strays more than
  // 0.9 times the one before sends the shape to be cut at once.
  return precisionSteps < kPrecisionRefinements ? std::max(options_.tolerance, 0.9 * lastStray)
                                                : options_.tolerance;
}

ShapeRefinement::ShapeRefinement(const JobSettings& settings, const JobOptions& options,
                                 GcodeWriter& writer, BlockStyle style, JobReport& report)
    : settings_(settings), options_(options), writer_(writer), style_(style), report_(report) {}

void ShapeRefinement::write(std::span<const Segment> records, std::vector<PathElement>& elements,
                            JobReport& counts) {
  JobSettings trial = settings_;
  // A precision of 0 (or not a number) is the joining passes' default, 3.
  const double userPrecision = settings_.precision > 0.0 ? settings_.precision : 3.0;
  std::vector<Segment> pieces;
  int precisionSteps = 0, splitRounds = 0;
  double lastStray = 0.0;
  BlockRecorder recorder;
  for (;;) {
    JobReport tryCounts;
    joinElements(elements, trial, tryCounts);
    aside_.str({});
    GcodeWriter aside(aside_, false, style_);
    aside.lineNumber = writer_.lineNumber;
    aside.lineStep = writer_.lineStep;
    recorder.blocks.clear();
    GcodeSink sink(trial, aside, &recorder);
    planShape(elements.data(), static_cast<int32_t>(elements.size()), trial, sink);
    const bool canSplit = splitRounds < kSplitRounds;
    const double stray =
        options_.shapeCheck->stray(recorder.blocks, decisive(precisionSteps, canSplit, lastStray));
    if (stray <= options_.tolerance || (precisionSteps == kPrecisionRefinements && !canSplit)) {
      writer_.writeComposed(aside_.view());
      writer_.lineNumber = aside.lineNumber;
      if (options_.observer != nullptr) {
        options_.observer->shapeBegins();
        for (const WrittenBlock& b : recorder.blocks) options_.observer->block(b);
      }
      counts = tryCounts;
      counts.elementsAfterLineJoining = static_cast<int32_t>(elements.size());
      report_.largestStray = std::max(report_.largestStray, stray);
      if (precisionSteps > 0) {
        ++report_.shapesRefined;
        if (report_.finestPrecision == 0.0 || trial.precision < report_.finestPrecision) {
          report_.finestPrecision = trial.precision;
        }
        report_.mostSplitRounds = std::max(report_.mostSplitRounds, splitRounds);
      }
      return;
    }
    // Finer joining first: joining at the user's precision may merge arcs
    // that are alike enough for the precision but not for the tolerance.
    // Then the curves cut in two, each half sampled as densely as the whole.
    // A finer precision that brought the shape no nearer is a sign that the
    // arcs stray from the curves themselves: the curves are cut at once.
    JobReport ignored;
    if (precisionSteps > 0 && precisionSteps < kPrecisionRefinements && stray > 0.9 * lastStray) {
      precisionSteps = kPrecisionRefinements;
    }
    lastStray = stray;
    if (precisionSteps < kPrecisionRefinements) {
      trial.precision = (precisionSteps == 0 ? userPrecision : trial.precision) / 4.0;
      ++precisionSteps;
    } else {
      pieces = splitCurves(pieces.empty() ? records : std::span<const Segment>(pieces));
      ++splitRounds;
    }
    const std::span<const Segment> source =
        pieces.empty() ? records : std::span<const Segment>(pieces);
    const auto last = static_cast<int32_t>(source.size()) - 1;
    elements = intake(source.data(), &last, ignored);
  }
}

}  // namespace brevanto
