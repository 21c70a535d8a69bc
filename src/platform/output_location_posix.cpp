#include <cstdlib>

#include "platform/output_location.h"

namespace brevanto {

std::string defaultProgramPath() {
  if (const char* dir = std::getenv("BREVANTO_OUTPUT_DIR"); dir != nullptr && *dir != '\0') {
    return std::string(dir) + "/Brevanto.tap";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/Brevanto/Brevanto.tap";
}

}  // namespace brevanto
