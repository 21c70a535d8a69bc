#include "output/program_writer.h"

namespace brevanto {

// Placeholder until the program writer lands.
int32_t writeProgram(const PathElement* /*elements*/, int32_t /*count*/) { return 0; }

}  // namespace brevanto
