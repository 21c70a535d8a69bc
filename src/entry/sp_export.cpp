// The exported entry. Whatever happens inside, no C++ exception may cross
// this boundary: unwinding into a VBA host takes the drawing application (and
// the user's unsaved work) down with it.
#include <cstring>
#include <new>
#include <stdexcept>

#include "brevanto/brevanto.h"
#include "entry/job.h"
#include "output/program_writer.h"
#include "platform/process_lock.h"

namespace brevanto {
namespace {

// A fixed buffer, so that recording an out-of-memory failure cannot fail.
char lastError[512] = "";

void recordError(const char* message) {
  std::strncpy(lastError, message, sizeof lastError - 1);
  lastError[sizeof lastError - 1] = '\0';
}

}  // namespace

int32_t runGuardedJob(const Segment* segments, const int32_t* lastIndex, JobReport* report) {
  ProcessLock lock;
  lastError[0] = '\0';
  try {
    return runJob(segments, lastIndex, report);
  } catch (const OutputOpenError& e) {
    recordError(e.what());
    return BREVANTO_OUTPUT_FAILED;
  } catch (const std::invalid_argument& e) {  // a setting that is not a number
    recordError(e.what());
    return BREVANTO_SETTINGS_REFUSED;
  } catch (const std::out_of_range& e) {  // a setting out of range
    recordError(e.what());
    return BREVANTO_SETTINGS_REFUSED;
  } catch (const std::bad_alloc&) {
    recordError("out of memory");
    return BREVANTO_OUT_OF_MEMORY;
  } catch (const std::length_error&) {
    recordError("out of memory: the drawing has too many path elements");
    return BREVANTO_OUT_OF_MEMORY;
  } catch (const std::exception& e) {
    recordError(e.what());
    return BREVANTO_OUT_OF_MEMORY;
  } catch (...) {
    recordError("unexpected failure");
    return BREVANTO_OUT_OF_MEMORY;
  }
}

const char* lastJobError() {
  return lastError;
}

}  // namespace brevanto

extern "C" BREVANTO_API int32_t BREVANTO_CALL sp(const Segment* segments,
                                                 const int32_t* lastIndex) {
  return brevanto::runGuardedJob(segments, lastIndex, nullptr);
}

extern "C" BREVANTO_API const char* BREVANTO_CALL spLastError(void) {
  return brevanto::lastJobError();
}
