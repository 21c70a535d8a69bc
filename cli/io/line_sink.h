#pragma once

#include <functional>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "io/output_file.h"

namespace brevanto::cli {

// The stream buffer a program is written through: what is written goes to a
// file and, line by line, to a reader, so the program is checked as it is
// made and never held whole in memory. A line is handed on without its line
// feed; without a reader the bytes only go to the file.
class LineSink : public std::streambuf {
 public:
  using Line = std::function<void(std::string_view)>;
  LineSink(StagedFile& file, Line line);
  // Hands on what is still buffered, the last line too when it has no line
  // feed; false when the file could not take it.
  bool finish();

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool drain();

  StagedFile& file_;
  Line line_;
  std::vector<char> buffer_;
  std::string partial_;  // the start of a line that runs on past the buffer
};

}  // namespace brevanto::cli
