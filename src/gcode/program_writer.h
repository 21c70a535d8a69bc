#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brevanto/program_observer.h"
#include "gcode/gcode_writer.h"
#include "geometry/path_element.h"
#include "settings/settings.h"
#include "toolpath/tool_move.h"

namespace brevanto {

// Writes the complete G-code program for `count` elements through `writer`:
// header, every shape with its depth passes, footer; `observer` (if any) is
// told every block as written. Returns 0.
int32_t writeProgram(const PathElement* elements, int32_t count, const JobSettings& settings,
                     GcodeWriter& writer, ProgramObserver* observer = nullptr);

// The moves of one shape of `count` (at least one) elements: marker, rapid
// approach, then pass after pass down to the total depth. A closed shape
// keeps the tool down between its passes; an open one is retracted and
// brought back to its start before every further pass. Every move is one a
// controller runs as the element means it, once rounded to the program's
// digits.
void planShape(const PathElement* shape, int32_t count, const JobSettings& settings,
               MoveSink& sink);

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
