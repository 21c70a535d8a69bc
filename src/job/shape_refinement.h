#pragma once

#include <functional>
#include <span>
#include <sstream>
#include <vector>

#include "brevanto/host.h"
#include "gcode/gcode_sink.h"
#include "gcode/gcode_writer.h"
#include "geometry/path_element.h"
#include "settings/settings.h"

namespace brevanto {

// Writes a job's shapes one at a time, each made again finer where the
// host's check finds it strays further than the tolerance: joined at a
// quarter of the precision, then of that (up to kPrecisionRefinements
// times), then with its curves cut in two (up to kSplitRounds times in all):
// at once, before the first try, where the arcs its curves are sampled into
// stray further than the tolerance themselves. Each try of a shape is composed
// aside and measured; only the last is written, and only then told to the
// observer. The work per shape is bounded: a shape is made at most
// 1 + kPrecisionRefinements + kSplitRounds times.
class ShapeRefinement {
 public:
  static constexpr int kPrecisionRefinements = 4;
  static constexpr int kSplitRounds = 3;

  ShapeRefinement(const JobSettings& settings, const JobOptions& options, GcodeWriter& writer,
                  BlockStyle style, JobReport& report);

  // Measures a try: the shape's joined elements, with the settings of the
  // try (its precision): how far it strays, once beyond `enough` any
  // distance beyond it.
  using TryShape =
      std::function<double(const std::vector<PathElement>&, const JobSettings&, double enough)>;

  // The shape made of `records`, taken in and joined, tried finer until a
  // try keeps the tolerance or no more may be made: the elements of the try
  // kept. Sets `counts` to its counts (elements after the intake and each
  // joining stage, the applications of each).
  std::vector<PathElement> refine(std::span<const Segment> records, const TryShape& tryShape,
                                  JobReport& counts);

  // The shape made of `records`: refined, written and told to the observer.
  void write(std::span<const Segment> records, JobReport& counts);

  // For a job whose later stages move or offset the shapes: each shape of
  // the joined `elements` (made of `records`) measured as cut on its line
  // (ShapeCheck::strayOnLine), and one that strays refined in its place.
  void refineOnLine(std::span<const Segment> records, std::vector<PathElement>& elements,
                    JobReport& report);

 private:
  const JobSettings& settings_;
  const JobOptions& options_;
  GcodeWriter& writer_;
  BlockStyle style_;
  JobReport& report_;
  std::ostringstream aside_;  // one try's text, kept for its capacity
};

}  // namespace brevanto
