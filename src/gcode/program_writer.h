#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "brevanto/program_observer.h"
#include "gcode/gcode_writer.h"
#include "geometry/path_element.h"
#include "settings/settings.h"
#include "toolpath/entry_plan.h"
#include "toolpath/tool_move.h"

namespace brevanto {

// Writes the complete G-code program for `count` elements through `writer`:
// header, every shape with its depth passes, footer; `observer` (if any) is
// told every block as written. `entries` tells, shape by shape, what the
// tabs and leads need to know (a shape without one is an open line); the
// tabs, ramps and leads made are added to `tally`. Returns 0.
int32_t writeProgram(const PathElement* elements, int32_t count, const JobSettings& settings,
                     GcodeWriter& writer, ProgramObserver* observer = nullptr,
                     std::span<const ShapeEntry> entries = {}, EntryTally* tally = nullptr);

// The moves of one shape of `count` (at least one) elements: marker, rapid
// approach, then pass after pass down to the total depth. A closed shape
// keeps the tool down between its passes; an open one is retracted and
// brought back to its start before every further pass. Every move is one a
// controller runs as the element means it, once rounded to the program's
// digits. With a ramp, tabs or leads for the shape (`entry`), the passes are
// planned on the path one pass cuts (planEntries), and what they made is
// added to `tally`. A laser's shapes (settings.laser()) are burnt instead: no
// Z, the beam's power on the first burning move after every rapid, `passes`
// times.
void planShape(const PathElement* shape, int32_t count, const JobSettings& settings, MoveSink& sink,
               const ShapeEntry& entry = {}, EntryTally* tally = nullptr);

// The S value of the laser's power: Power percent of LaserMax.
double laserPower(const JobSettings& settings);

// How the blocks of a program in the dialect of `settings` are composed.
BlockStyle blockStyle(const JobSettings& settings);

// Refuses, with JobError(BREVANTO_DIALECT_REFUSED), a list whose points the
// dialect cannot write exactly (grbl drops digits past its eighth), so that a
// program that would cut elsewhere is refused before any file is touched.
void checkWritable(const PathElement* elements, int32_t count, const JobSettings& settings);

// The part of checkWritable that depends on the settings alone: a feed,
// height or depth the dialect cannot write is refused by the setting's name.
// A job that streams checks this first, and each coordinate as its block is
// written (GcodeWriter refuses a number that would lose a digit).
void checkSettingWords(const JobSettings& settings);

// The element count of each shape, in list order. A shape is a run of
// adjacent elements with equal shapeKey, whatever the keys are: a list whose
// keys skip values, start high, fall back or go negative is written run by
// run, and nothing outside the list is read.
std::vector<int32_t> shapeCounts(const PathElement* elements, int32_t count);

// "T<tool>M6 ( DIA. <diameter>mm )": the tool change line of the header.
std::string toolChangeLine(const JobSettings& settings);

}  // namespace brevanto
