#pragma once

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

  // The shape made of `records`: taken in, joined and written. Sets
  // `counts` to the shape's counts (elements after the intake and each
  // joining stage, the applications of each).
  void write(std::span<const Segment> records, JobReport& counts);

 private:
  const JobSettings& settings_;
  const JobOptions& options_;
  GcodeWriter& writer_;
  BlockStyle style_;
  JobReport& report_;
  std::ostringstream aside_;  // one try's text, kept for its capacity
};

}  // namespace brevanto
