#pragma once

#include <fstream>
#include <string>

namespace brevanto {

// The program file of one job: created or truncated when the job is ready to
// write, written as bytes (the writer ends every line with CR LF itself).
// A file that could not be written whole (disk full, device gone) is cut to
// zero length, so no controller can run a program that stops half way; the
// failure leaves as a JobError(BREVANTO_OUTPUT_FAILED) naming the file. The
// folder is never created.
class ProgramFile {
 public:
  explicit ProgramFile(std::string path);
  ~ProgramFile();
  ProgramFile(const ProgramFile&) = delete;
  ProgramFile& operator=(const ProgramFile&) = delete;

  std::ofstream& stream() { return out_; }

  // Flushes and closes the file; reports it when it did not reach the disk
  // whole.
  void finish();

 private:
  void discard();

  std::string path_;
  std::ofstream out_;
  bool finished_ = false;
};

}  // namespace brevanto
