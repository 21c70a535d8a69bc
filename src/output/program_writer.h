#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "geometry/path_element.h"

namespace brevanto {

// The program file could not be opened for writing; the message names it.
class OutputOpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writing or closing the program file failed (disk full, device gone): the
// file is incomplete and must not be run. Reported like a failed open.
class OutputWriteError : public OutputOpenError {
 public:
  using OutputOpenError::OutputOpenError;
};

// Writes the complete G-code program for `count` elements to the output file:
// header, every shape with its depth passes, footer. Loads the machining
// settings first (their failures leave as exceptions and the file is not
// touched); throws OutputOpenError when the file cannot be opened and
// OutputWriteError when it cannot be written. Returns 0.
int32_t writeProgram(const PathElement* elements, int32_t count);

// The element count of each shape, in list order. A shape is a run of
// adjacent elements with equal shapeKey, whatever the keys are: a list whose
// keys skip values, start high, fall back or go negative is written run by
// run, and nothing outside the list is read.
std::vector<int32_t> shapeCounts(const PathElement* elements, int32_t count);

// The eight opening lines, tool change included. Returns 0.
int32_t writeHeader();

// The numbered "HOME POSITION" comment and the two closing lines. Returns 0.
int32_t writeFooter();

// The plunge to depth `z` at the plunge feed: "G01 Z<z> F<feed>".
void writePlunge(double z);

// The retract to the safe height: "G00 Z<safeZ>".
void writeRetract();

}  // namespace brevanto
