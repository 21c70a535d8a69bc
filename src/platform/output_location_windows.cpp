#include "platform/output_location.h"

namespace brevanto {

// The fixed place the machine controller's operators know; the folder is the
// user's to create.
std::string defaultProgramPath() {
  return "C:\\Brevanto\\Brevanto.tap";
}

}  // namespace brevanto
