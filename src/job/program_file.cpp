#include "job/program_file.h"

#include <cerrno>
#include <system_error>
#include <utility>

#include "base/job_error.h"
#include "platform/file_replace.h"

namespace brevanto {

ProgramFile::ProgramFile(std::string path) : path_(std::move(path)) {
  const ProgramTarget target = inspectTarget(path_);
  target_ = target.path;
  if (target.kind == TargetKind::ReadOnly) {
    throw JobError(BREVANTO_OUTPUT_FAILED, "cannot write the program file \"" + path_ +
                                               "\": it is read-only; it is left as it was");
  }
  // A folder where no new file can be made may still hold a writable
  // program file: that one is written in place, as before.
  if (target.kind != TargetKind::Other) staging_ = createBeside(target_);
  open(staging_.empty() ? target_ : staging_);
}

void ProgramFile::open(const std::string& path) {
  errno = 0;
  out_.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!out_.is_open()) {
    const int reason = errno;
    if (!staging_.empty()) removeFile(staging_);
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
  if (!staging_.empty()) {
    removeFile(staging_);
    return;
  }
  std::ofstream truncate(target_, std::ios::out | std::ios::trunc | std::ios::binary);
}

void ProgramFile::finish() {
  out_.flush();
  out_.close();
  finished_ = true;
  if (out_.fail()) {
    discard();
    throw JobError(BREVANTO_OUTPUT_FAILED,
                   "cannot write the program file \"" + path_ + "\"; " +
                       (staging_.empty() ? "it is left empty" : "it is left as it was"));
  }
  if (!staging_.empty() && !replaceWith(staging_, target_)) writeInPlace();
}

// The new program, complete beside the file, copied into it.
void ProgramFile::writeInPlace() {
  std::ifstream in(staging_, std::ios::in | std::ios::binary);
  std::ofstream out(target_, std::ios::out | std::ios::trunc | std::ios::binary);
  if (in.is_open() && out.is_open()) out << in.rdbuf();
  const bool written = in.is_open() && out.is_open() && out.flush().good();
  in.close();
  out.close();
  removeFile(staging_);
  if (written && !out.fail()) return;
  std::ofstream truncate(target_, std::ios::out | std::ios::trunc | std::ios::binary);
  throw JobError(BREVANTO_OUTPUT_FAILED,
                 "cannot write the program file \"" + path_ + "\"; it is left empty");
}

}  // namespace brevanto
