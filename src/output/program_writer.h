#pragma once

#include <cstdint>
#include <stdexcept>

#include "geometry/path_element.h"

namespace brevanto {

// The program file could not be opened for writing.
class OutputOpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes the complete G-code program for `count` elements to the output file.
// Loads the machining settings first (their failures leave as exceptions and
// the file is not touched); throws OutputOpenError when the file cannot be
// opened. Returns 0.
int32_t writeProgram(const PathElement* elements, int32_t count);

}  // namespace brevanto
