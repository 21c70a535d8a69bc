#pragma once

#include <optional>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "operations.h"
#include "report/fidelity.h"
#include "report/job_summary.h"

namespace brevanto::cli {

// What the fidelity figure can measure of a job: the paths that follow the
// drawing's lines, on them or a tool radius beside them. A pocket's rings and
// a fill's lines clear the area inside the line instead, and are left out;
// a job of nothing else is not measured, and the tolerance is not applied.
struct FigureScope {
  bool measured = true;
  std::string notMeasured;  // the row's text when not measured
  std::string notApplied;   // the tolerance row's text then
  std::string leftOut;      // added to the figure: the operations left out of it
};

FigureScope figureScope(const JobSettings& base, const std::vector<ChosenOperation>& operations);

// The summary's "largest deviation" and "tolerance" rows. `tolerance` is the
// one the program was made to (none: as the job made it), `given` the
// option's text.
std::vector<SummaryRow> deviationRows(const FigureScope& scope, const Deviation& deviation,
                                      std::optional<double> tolerance, const std::string& given);

}  // namespace brevanto::cli
