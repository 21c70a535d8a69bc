#pragma once

#include <cstdint>
#include <vector>

#include "brevanto/host.h"
#include "job/job.h"

namespace brevanto::test {

// The list a job hands to its writer: intake, then both joining stages, at
// the given "Prezision" (0: the defaults). `report` collects the counts.
inline std::vector<PathElement> joinedElements(const std::vector<Segment>& segments,
                                               JobReport* report = nullptr,
                                               double precision = 0.0) {
  JobReport local;
  JobReport& r = report != nullptr ? *report : local;
  const auto last = static_cast<int32_t>(segments.size()) - 1;
  std::vector<PathElement> elements = intake(segments.data(), &last, r);
  JobSettings settings;
  settings.precision = precision;
  joinElements(elements, settings, r);
  return elements;
}

}  // namespace brevanto::test
