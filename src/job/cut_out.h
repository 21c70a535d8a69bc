#pragma once

#include <vector>

#include "brevanto/host.h"
#include "geometry/path_element.h"
#include "settings/settings.h"
#include "toolpath/entry_plan.h"

namespace brevanto {

// The cut-out stage, between the joining and the writer, when CutOrder or
// ToolOffset asks for it: the closed shapes nested into parts and holes, each
// closed shape replaced by its toolpath beside the line (ToolOffset), and the
// shapes put in cutting order (CutOrder). Open shapes are never offset.
// Every written shape keeps its key, except a stretch of toolpath that would
// otherwise follow another with the same key (the writer would join the two
// with a cutting move): it takes a key above all others. Fills the nesting
// (the counts, each shape's depth, the shape each written one cuts), rapid
// lengths and misfits of the report. With `entries`, tells per written shape
// whether it is a part, a hole or a line, on which side its waste lies and,
// for leads, where the tool fits.
void cutOut(std::vector<PathElement>& elements, const JobSettings& settings, JobReport& report,
            std::vector<ShapeEntry>* entries = nullptr);

}  // namespace brevanto
