#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "report/program_moves.h"

namespace brevanto::cli {

// What the command knows of the drawing before the job runs.
struct DrawingFacts {
  int32_t shapes = 0;
  int32_t segments = 0;
  int32_t skippedElements = -1;  // -1: not applicable (a .seg file)
  std::string skippedDetail;     // "text 2, image 1"
};

// One line of the summary: "label: value".
struct SummaryRow {
  std::string label;
  std::string value;
};

// Rapid moves have no feed in the program; the estimate assumes this rate.
inline constexpr double kAssumedRapidFeed = 5000.0;  // mm/min

// The figures of one run, in the order they are shown. Adding a figure is
// adding one row here.
std::vector<SummaryRow> summarize(const DrawingFacts& drawing, const JobReport& report,
                                  const std::vector<ProgramMove>& moves);

// "  label .......... value" lines, one per row.
std::string formatSummary(const std::vector<SummaryRow>& rows);

}  // namespace brevanto::cli
