#pragma once

#include <cstdint>
#include <vector>

#include "brevanto/host.h"
#include "geometry/path_element.h"

namespace brevanto {

// 3c./4. A job's operations (JobOptions::operations) over the joined list:
// each shape goes to the first operation that selects it and is cut with
// that operation's settings (its own nesting, tool offset and cut order
// among the operation's shapes), operation after operation, with a tool
// change where the tool changes. Every list is checked writable before the
// program is opened. Returns the index of the last element written.
int32_t writeOperations(const std::vector<PathElement>& elements, const JobSettings& base,
                        const JobOptions& options, JobReport& report);

}  // namespace brevanto
