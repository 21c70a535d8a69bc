#include "job/program_file.h"

#include <cerrno>
#include <system_error>
#include <utility>

#include "base/job_error.h"

namespace brevanto {

ProgramFile::ProgramFile(std::string path) : path_(std::move(path)) {
  errno = 0;
  out_.open(path_, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!out_.is_open()) {
    const int reason = errno;
    std::string message = "cannot open the program file \"" + path_ + "\" for writing";
    if (reason != 0) message += ": " + std::generic_category().message(reason);
    throw JobError(BREVANTO_OUTPUT_FAILED, message);
  }
}

// A job left by a failure after the open (out of memory while writing) does
// not leave a program that stops half way either.
ProgramFile::~ProgramFile() {
  if (!finished_) discard();
}

void ProgramFile::discard() {
  out_.close();
  std::ofstream truncate(path_, std::ios::out | std::ios::trunc | std::ios::binary);
}

void ProgramFile::finish() {
  out_.flush();
  out_.close();
  finished_ = true;
  if (out_.fail()) {
    discard();
    throw JobError(BREVANTO_OUTPUT_FAILED,
                   "cannot write the program file \"" + path_ + "\"; it is left empty");
  }
}

}  // namespace brevanto
