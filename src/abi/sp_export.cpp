// The exported entry. Whatever happens inside, no C++ exception may cross
// this boundary: unwinding into a VBA host takes the drawing application (and
// the user's unsaved work) down with it.
#include <algorithm>
#include <cstring>
#include <string>

#include "brevanto/brevanto.h"
#include "job/job.h"
#include "platform/process_lock.h"

namespace brevanto {
namespace {

// Each thread reads the message of its own last call, as with GetLastError:
// another thread's sp() cannot change the text while it is being read. A
// fixed buffer, so that recording an out-of-memory failure cannot fail.
thread_local char lastError[512] = "";

void recordError(const std::string& message) {
  const size_t n = std::min(message.size(), sizeof lastError - 1);
  std::memcpy(lastError, message.data(), n);
  lastError[n] = '\0';
}

}  // namespace
}  // namespace brevanto

extern "C" BREVANTO_API int32_t BREVANTO_CALL sp(const Segment* segments,
                                                 const int32_t* lastIndex) {
  using namespace brevanto;
  // The platform's settings store and its one fixed program file: calls are
  // serialised so that two of them never write that file at once.
  ProcessLock lock;
  try {
    const JobReport report = runGuardedJob(segments, lastIndex, JobOptions{});
    recordError(report.error);
    return report.result;
  } catch (...) {  // not even the failure's message could be made
    std::strcpy(lastError, "out of memory");
    return BREVANTO_OUT_OF_MEMORY;
  }
}

extern "C" BREVANTO_API const char* BREVANTO_CALL spLastError(void) {
  return brevanto::lastError;
}
