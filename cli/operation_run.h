#pragma once

#include <optional>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "drawing_input.h"
#include "operations.h"
#include "report/job_summary.h"

namespace brevanto::cli {

// What the operations selected of the drawing for this run.
struct OperationSelection {
  std::vector<Segment> segments;     // the selected shapes' (empty without operations)
  std::vector<int32_t> notSelected;  // the keys no operation selected
};

struct SelectionRules {
  bool strict = false;  // a shape no operation selects refuses the drawing
  bool show = false;    // --show-settings: the operations and what they selected, on stdout
};

// Gives the drawing's shapes to the operations (and puts these in cutting
// order); nullopt with `error` when --strict finds a shape not selected, or
// when no shape is selected at all.
std::optional<OperationSelection> selectForRun(std::vector<ChosenOperation>& operations,
                                               const std::vector<OperationSection>& sections,
                                               const Drawing& drawing, SelectionRules rules,
                                               std::string& error);

// Whether the base settings or any operation cut beside the line.
bool anyOffset(const JobSettings& base, const std::vector<ChosenOperation>& operations);
// Whether the job cuts any shape as `kind`: an operation of that kind, or
// the base settings when there are no operations (with operations the base
// settings cut nothing of their own).
bool anyOfKind(const JobSettings& base, const std::vector<ChosenOperation>& operations,
               OperationKind kind);

// The settings the program as a whole is written with: the base settings,
// with the dialect the laser's operations chose (grbl when none is given)
// when they burn and the base settings alone would not.
JobSettings programSettings(const JobSettings& base,
                            const std::vector<ChosenOperation>& operations);

// The shape keys of the segments, each once, in the order they first come.
std::vector<int32_t> shapeKeys(const std::vector<Segment>& segments);

// The segments of the shapes some operation selected, in drawing order.
std::vector<Segment> selectedOnly(const std::vector<Segment>& segments,
                                  const std::vector<ChosenOperation>& operations);

// The operations as the job takes them.
std::vector<JobOperation> jobOperations(const std::vector<ChosenOperation>& operations);

// "2 shapes (3, 7)": shapes named by key, the first few.
std::string notCutText(const std::vector<int32_t>& keys);

// One summary row per operation (its shapes, kind, depth, tool and feed or
// power, passes and fill lines, its length and time),
// the tool changes, and the shapes not cut (said on standard error too, even
// with -q: part of the drawing is not cut).
std::vector<SummaryRow> operationRows(const std::vector<ChosenOperation>& operations,
                                      const JobReport& report, const MoveTotals& totals,
                                      const std::vector<int32_t>& notSelected);

}  // namespace brevanto::cli
