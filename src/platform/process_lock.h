#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <mutex>
#endif

namespace brevanto {

// Serialises whole jobs within the process: the program file, the settings
// record and the block numbering are process-wide, so two overlapping calls
// would interleave their files.
class ProcessLock {
 public:
  ProcessLock();
  ~ProcessLock();
  ProcessLock(const ProcessLock&) = delete;
  ProcessLock& operator=(const ProcessLock&) = delete;
};

}  // namespace brevanto
