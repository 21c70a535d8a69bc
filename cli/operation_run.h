#pragma once

#include <string>
#include <vector>

#include "brevanto/host.h"
#include "operations.h"
#include "report/job_summary.h"

namespace brevanto::cli {

// The shape keys of the segments, each once, in the order they first come.
std::vector<int32_t> shapeKeys(const std::vector<Segment>& segments);

// The segments of the shapes some operation selected, in drawing order.
std::vector<Segment> selectedOnly(const std::vector<Segment>& segments,
                                  const std::vector<ChosenOperation>& operations);

// The operations as the job takes them.
std::vector<JobOperation> jobOperations(const std::vector<ChosenOperation>& operations);

// "2 shapes (3, 7)": shapes named by key, the first few.
std::string notCutText(const std::vector<int32_t>& keys);

// One summary row per operation: its shapes, kind, depth, tool and feed.
std::vector<SummaryRow> operationRows(const std::vector<ChosenOperation>& operations,
                                      const JobReport& report);

}  // namespace brevanto::cli
