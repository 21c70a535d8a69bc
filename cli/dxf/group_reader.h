#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brevanto::cli::dxf {

// One group of a DXF file: its code and its value as text. Binary files have
// their numbers turned into the shortest text that reads back to the same
// value, so everything after the reader sees one form.
struct Group {
  int32_t code = 0;
  std::string_view text;
  int64_t where = 0;  // line of the code (text files) or byte offset (binary files)
};

// Whether the bytes are a DXF file: the binary sentinel, or text whose first
// group is a comment (999) or the start of a section.
bool looksLikeDxf(std::string_view bytes);

// Reads the groups of a DXF file one at a time, text (LF or CR LF) or binary
// (R12's one-byte codes and the two-byte codes of later versions). Nothing
// is held beyond the current group, so a file of any size is read in
// constant memory.
class GroupReader {
 public:
  explicit GroupReader(std::string_view bytes);

  // The next group; false at the end of the bytes or on an error (then
  // error() says which, and errorWhere() where).
  bool next(Group& group);
  // Puts the last group back, so the next call returns it again.
  void unread() { replay_ = true; }

  [[nodiscard]] const std::string& error() const { return error_; }
  [[nodiscard]] int64_t errorWhere() const { return errorWhere_; }
  [[nodiscard]] bool binary() const { return binary_; }

 private:
  bool nextText(Group& group);
  bool nextBinary(Group& group);
  bool fail(int64_t where, const std::string& why);

  std::string_view bytes_;
  size_t pos_ = 0;
  int64_t line_ = 0;
  bool binary_ = false;
  bool wideCodes_ = false;  // binary with two-byte group codes (R13 on)
  bool replay_ = false;
  Group last_;
  std::string scratch_;  // a binary number's text
  std::string error_;
  int64_t errorWhere_ = 0;
};

// Reads a group's value as a number: a plain decimal (an optional sign,
// digits, a point, an exponent), surrounding blanks allowed.
bool parseNumber(std::string_view text, double& value);

}  // namespace brevanto::cli::dxf
