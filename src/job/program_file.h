#pragma once

#include <fstream>
#include <string>

namespace brevanto {

// The program file of one job, written as bytes (the writer ends every line
// with CR LF itself). The program is written to a new file beside it and put
// in its place only when complete, so a job that fails or is killed half way
// leaves the earlier program whole. Where the system refuses that (Windows,
// while another program holds the file open) the new program is copied into
// the file, truncated first; a file that could not be written whole that way
// is cut to zero length, so no controller runs a program that stops half
// way. A device or pipe is written into directly; a read-only file is
// refused. Failures leave as a JobError(BREVANTO_OUTPUT_FAILED) naming the
// file. The folder is never created.
class ProgramFile {
 public:
  explicit ProgramFile(std::string path);
  ~ProgramFile();
  ProgramFile(const ProgramFile&) = delete;
  ProgramFile& operator=(const ProgramFile&) = delete;

  std::ofstream& stream() { return out_; }

  // Flushes and closes the file and puts it in place; reports it when it did
  // not reach the disk whole.
  void finish();

 private:
  void open(const std::string& path);
  void discard();
  void writeInPlace();

  std::string path_;     // as the caller named it, for messages
  std::string target_;   // where the program goes (a link's target)
  std::string staging_;  // the new file beside it; empty when written in place
  std::ofstream out_;
  bool finished_ = false;
};

}  // namespace brevanto
