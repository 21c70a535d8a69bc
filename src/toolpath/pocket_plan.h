#pragma once

#include "geometry/pocket_rings.h"
#include "geometry/tool_clearance.h"
#include "settings/settings.h"
#include "toolpath/entry_plan.h"
#include "toolpath/pass_writer.h"
#include "toolpath/tool_move.h"

namespace brevanto {

// The rings one pass in depth clears, and the area the tool's centre may
// take while it moves among them (at the first ring's distance from the
// outlines).
struct PocketPass {
  const PocketRings* rings = nullptr;
  const ToolClearance* reach = nullptr;
};

// All moves of one pocket after its marker: pass after pass in depth, each
// the rings from the innermost out (every ring of a piece of the area after
// the rings inside it, so the tool always cuts into the open middle), in the
// sense Direction asks (climb, the default: the area's outside counter-
// clockwise), each ring started at its point nearest the tool and reached by
// a straight move at depth where that move keeps within `reach`; elsewhere
// the tool is lifted and enters again. Entries: a helix (RampAngle) where
// its circle fits, else a ramp along the ring, a straight plunge with
// RampAngle=90. The last pass clears `last`, every other `rough`.
void planPocket(const PocketPass& rough, const PocketPass& last, const JobSettings& settings,
                Rounding written, MoveSink& sink, EntryTally& tally);

}  // namespace brevanto
