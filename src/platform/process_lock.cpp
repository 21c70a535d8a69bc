#include "platform/process_lock.h"

namespace brevanto {

#if defined(_WIN32)
// An SRW lock needs no construction, so it is usable before and after the
// C++ runtime's static objects, whatever the DLL's load order.
namespace {
SRWLOCK jobLock = SRWLOCK_INIT;
}
ProcessLock::ProcessLock() {
  AcquireSRWLockExclusive(&jobLock);
}
ProcessLock::~ProcessLock() {
  ReleaseSRWLockExclusive(&jobLock);
}
#else
namespace {
std::mutex jobLock;
}
ProcessLock::ProcessLock() {
  jobLock.lock();
}
ProcessLock::~ProcessLock() {
  jobLock.unlock();
}
#endif

}  // namespace brevanto
