#include "job/shape_refinement.h"

#include <algorithm>
#include <cmath>

#include "gcode/program_writer.h"
#include "geometry/curve_flattening.h"
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

// Whether some record's curve strays further than `limit` from the arcs it
// is sampled into.
bool flatteningStrays(std::span<const Segment> records, double limit) {
  return std::any_of(records.begin(), records.end(),
                     [limit](const Segment& s) { return flatteningStray(s) > limit; });
}

std::vector<PathElement> intakeOf(std::span<const Segment> records, JobReport& counts) {
  const auto last = static_cast<int32_t>(records.size()) - 1;
  return intake(records.data(), &last, counts);
}

}  // namespace

ShapeRefinement::ShapeRefinement(const JobSettings& settings, const JobOptions& options,
                                 GcodeWriter& writer, BlockStyle style, JobReport& report)
    : settings_(settings), options_(options), writer_(writer), style_(style), report_(report) {}

void ShapeRefinement::write(std::span<const Segment> records, JobReport& counts) {
  JobSettings trial = settings_;
  // A precision of 0 (or not a number) is the joining passes' default, 3.
  const double userPrecision = settings_.precision > 0.0 ? settings_.precision : 3.0;
  std::vector<Segment> pieces;  // the records with their curves cut, once they are
  const auto current = [&] { return pieces.empty() ? records : std::span<const Segment>(pieces); };
  int precisionSteps = 0, splitRounds = 0;
  // Where the arcs the curves are sampled into stray further than the
  // tolerance themselves, no precision brings the shape within it, and a try
  // would only be made again: its curves are cut in two at once, each half
  // sampled as densely as the whole was.
  while (splitRounds < kSplitRounds && flatteningStrays(current(), options_.tolerance)) {
    pieces = splitCurves(current());
    ++splitRounds;
  }
  JobReport intakeCounts;
  std::vector<PathElement> elements = intakeOf(current(), intakeCounts);
  const int32_t taken = intakeCounts.elementsAfterIntake;
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
    const bool lastTry = precisionSteps == kPrecisionRefinements && !canSplit;
    // A try that strays further than the tolerance is made again whatever
    // its exact figure, so it is measured only until it is known to stray;
    // a try that keeps the tolerance is measured whole (its figure is the
    // shape's), and so is the last one that can be made.
    const double stray =
        options_.shapeCheck->stray(recorder.blocks, lastTry ? HUGE_VAL : options_.tolerance);
    if (stray <= options_.tolerance || lastTry) {
      writer_.writeComposed(aside_.view());
      writer_.lineNumber = aside.lineNumber;
      if (options_.observer != nullptr) {
        options_.observer->shapeBegins();
        for (const WrittenBlock& b : recorder.blocks) options_.observer->block(b);
      }
      counts = tryCounts;
      counts.elementsAfterIntake = taken;
      counts.elementsAfterLineJoining = static_cast<int32_t>(elements.size());
      report_.largestStray = std::max(report_.largestStray, stray);
      if (precisionSteps > 0 || splitRounds > 0) {
        ++report_.shapesRefined;
        if (precisionSteps > 0 &&
            (report_.finestPrecision == 0.0 || trial.precision < report_.finestPrecision)) {
          report_.finestPrecision = trial.precision;
        }
        report_.mostSplitRounds = std::max(report_.mostSplitRounds, splitRounds);
      }
      return;
    }
    // Finer joining first: joining at the user's precision may merge arcs
    // that are alike enough for the precision but not for the tolerance.
    // Then the curves cut in two (again).
    if (precisionSteps == kPrecisionRefinements) {
      pieces = splitCurves(current());
      ++splitRounds;
    } else {
      trial.precision = (precisionSteps == 0 ? userPrecision : trial.precision) / 4.0;
      ++precisionSteps;
    }
    JobReport ignored;
    elements = intakeOf(current(), ignored);
  }
}

}  // namespace brevanto
