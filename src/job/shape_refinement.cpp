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

std::vector<PathElement> ShapeRefinement::refine(std::span<const Segment> records,
                                                 const TryShape& tryShape, JobReport& counts) {
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
  for (;;) {
    JobReport tryCounts;
    joinElements(elements, trial, tryCounts);
    const bool canSplit = splitRounds < kSplitRounds;
    const bool lastTry = precisionSteps == kPrecisionRefinements && !canSplit;
    // A try that strays further than the tolerance is made again whatever
    // its exact figure, so it is measured only until it is known to stray;
    // a try that keeps the tolerance is measured whole (its figure is the
    // shape's), and so is the last one that can be made.
    const double stray = tryShape(elements, trial, lastTry ? HUGE_VAL : options_.tolerance);
    if (stray <= options_.tolerance || lastTry) {
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
      return elements;
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

void ShapeRefinement::write(std::span<const Segment> records, JobReport& counts) {
  BlockRecorder recorder;
  int32_t lineNumber = writer_.lineNumber;
  // Each try composed aside; the one kept is the last composed.
  const auto tryShape = [&](const std::vector<PathElement>& elements, const JobSettings& trial,
                            double enough) {
    aside_.str({});
    GcodeWriter aside(aside_, false, style_);
    aside.lineNumber = writer_.lineNumber;
    aside.lineStep = writer_.lineStep;
    recorder.blocks.clear();
    GcodeSink sink(trial, aside, &recorder);
    planShape(elements.data(), static_cast<int32_t>(elements.size()), trial, sink);
    lineNumber = aside.lineNumber;
    return options_.shapeCheck->stray(recorder.blocks, enough);
  };
  refine(records, tryShape, counts);
  writer_.writeComposed(aside_.view());
  writer_.lineNumber = lineNumber;
  if (options_.observer != nullptr) {
    options_.observer->shapeBegins();
    for (const WrittenBlock& b : recorder.blocks) options_.observer->block(b);
  }
}

void ShapeRefinement::refineOnLine(std::span<const Segment> records,
                                   std::vector<PathElement>& elements, JobReport& report) {
  std::vector<PathElement> out;
  out.reserve(elements.size());
  BlockRecorder recorder;
  std::ostringstream scratch;
  int32_t shape = 0;
  // Cut on its line as a plain profile: no offset, tabs, ramps or leads,
  // whatever the stages after make of it.
  const auto tryShape = [&](const std::vector<PathElement>& tried, const JobSettings& trial,
                            double enough) {
    scratch.str({});
    GcodeWriter writer(scratch, false, style_);
    recorder.blocks.clear();
    JobSettings onLine = trial;
    onLine.kind = OperationKind::Profile;
    onLine.toolOffset = ToolOffset::None;
    GcodeSink sink(onLine, writer, &recorder);
    planShape(tried.data(), static_cast<int32_t>(tried.size()), onLine, sink);
    return options_.shapeCheck->strayOnLine(shape, recorder.blocks, enough);
  };
  // Every record the job accepts gives at least one element, and joining
  // keeps a shape's elements together: the shapes of the records and of the
  // elements are the same runs of keys, in the same order.
  size_t r = 0, e = 0;
  while (r < records.size() && e < elements.size()) {
    size_t rEnd = r + 1, eEnd = e + 1;
    while (rEnd < records.size() && records[rEnd].shapeKey == records[r].shapeKey) ++rEnd;
    while (eEnd < elements.size() && elements[eEnd].shapeKey == elements[e].shapeKey) ++eEnd;
    ++shape;
    const std::vector<PathElement> joined(elements.begin() + static_cast<std::ptrdiff_t>(e),
                                          elements.begin() + static_cast<std::ptrdiff_t>(eEnd));
    JobReport counts;
    if (tryShape(joined, settings_, options_.tolerance) <= options_.tolerance) {
      out.insert(out.end(), joined.begin(), joined.end());
    } else {
      const std::vector<PathElement> refined =
          refine(records.subspan(r, rEnd - r), tryShape, counts);
      out.insert(out.end(), refined.begin(), refined.end());
    }
    r = rEnd;
    e = eEnd;
  }
  out.insert(out.end(), elements.begin() + static_cast<std::ptrdiff_t>(e), elements.end());
  elements = std::move(out);
  report.elementsAfterLineJoining = static_cast<int32_t>(elements.size());
}

}  // namespace brevanto
