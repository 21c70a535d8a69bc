#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "brevanto/host.h"
#include "gcode/gcode_writer.h"
#include "geometry/path_element.h"
#include "settings/settings.h"
#include "toolpath/entry_plan.h"

namespace brevanto {

// 1. Intake: the records segments[0..*lastIndex] in array order, the bound
//    read through its pointer at every step as sp's caller passes it; a
//    negative bound or a null pointer reads nothing. Adds to `report`.
std::vector<PathElement> intake(const Segment* segments, const int32_t* lastIndex,
                                JobReport& report);

// 2./3. Arc joining, then line joining, each until it settles.
void joinElements(std::vector<PathElement>& elements, const JobSettings& settings,
                  JobReport& report);

// 4. Writes the program with `write`, to the host's stream or to the program
// file (written beside it and put in place when complete).
void writeOut(const JobSettings& settings, const JobOptions& options,
              const std::function<void(GcodeWriter&)>& write);

// Tabs go on parts (or holes) and leads into the waste: both need the
// nesting of the closed shapes.
bool needsNesting(const JobSettings& settings);

// The tabs, ramps and leads a program was given, into the host's report.
void reportEntries(const EntryTally& tally, JobReport& report);

// The whole job of sp() with the given options; never throws. The result and
// message land in the report.
JobReport runGuardedJob(const Segment* segments, const int32_t* lastIndex,
                        const JobOptions& options);

}  // namespace brevanto
