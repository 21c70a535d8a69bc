#pragma once

#include <cstddef>
#include <vector>

#include "brevanto/host.h"
#include "geometry/path_element.h"
#include "settings/settings.h"
#include "toolpath/entry_plan.h"
#include "toolpath/tool_move.h"

namespace brevanto {

// A pocket crosses at most this many rings from its outline to its middle:
// a finer StepOver over a wider pocket is refused, naming it, before
// anything is written.
inline constexpr size_t kMostPocketRings = 20000;
// All pockets together offset at most about this many curves (each loop's
// curves, once per ring across it), which bounds the job's time.
inline constexpr double kMostPocketWork = 2e7;

// Refuses a pocket job whose settings make no rings (a tool of no diameter),
// whose widest region would need more than kMostPocketRings of them, or whose
// rings would offset more than kMostPocketWork curves.
void checkPockets(const std::vector<PathElement>& elements, const JobSettings& settings);

// The moves of a pocket job's shapes, in drawing order: every closed shape
// at an even depth of the nesting the cut-out uses (outermost, or an island
// in a hole) is cleared with the holes directly inside it left standing;
// holes make nothing of their own; open shapes are cut along their line.
// Returns the number of shapes written (each begun with a marker). With
// `left`, tells per pocket how much of its area the tool cannot reach, and
// where.
size_t planPockets(const std::vector<PathElement>& elements, const JobSettings& settings,
                   MoveSink& sink, EntryTally& tally,
                   std::vector<JobReport::PocketLeft>* left = nullptr);

}  // namespace brevanto
