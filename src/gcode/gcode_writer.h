#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "gcode/number_format.h"

namespace brevanto {

// The content of one block: the value texts of its words without their
// letters, in the order they are written. An empty text leaves the word out.
struct BlockWords {
  std::string gWord{};    // "G00", "G01", "G02" or "G03", written as is
  std::string x{};        // "X" + text
  std::string y{};        // "Y" + text
  std::string z{};        // "Z" + text
  std::string r{};        // "R" + text
  std::string f{};        // "F" + text
  std::string comment{};  // "( " + text + " ) "
  std::string rawText{};  // a raw line; only kept in a block without a G word (see writeBlock)
};

// How blocks are composed beyond their words.
struct BlockStyle {
  bool numbered = true;    // "N<number> " in front of every block
  int32_t digitLimit = 0;  // more significant digits than this are refused (0: any)
};

// The block composer of one program: writes lines to its stream, every line
// ended by CR LF whatever the platform, and numbers its blocks N10, N20, ...
// A job owns one; nothing of it outlives the job.
class GcodeWriter {
 public:
  // `flushEachLine`: every line is in the file before the next is composed
  // (the library's own program file); otherwise the stream buffers.
  explicit GcodeWriter(std::ostream& out, bool flushEachLine = false, BlockStyle style = {})
      : out_(out), flushEachLine_(flushEachLine), style_(style) {}

  int32_t lineNumber = 10;  // the number after "N" of the next numbered block
  int32_t lineStep = 10;    // added to lineNumber after each numbered block

  // Writes `text` and a line end, without a number.
  void writeLine(std::string_view text);

  // Writes lines composed by another writer of this program (their ends
  // included), as they are.
  void writeComposed(std::string_view lines) { writeEndedLine(lines); }

  // Writes one numbered block: "N<lineNumber> " and the words present, each
  // followed by one space, in the fixed order G X Y Z R F comment; then
  // advances lineNumber by lineStep. A block without any word writes nothing
  // and uses no number. With a digit limit, a number that would lose a
  // digit throws JobError(BREVANTO_DIALECT_REFUSED) naming the word.
  void writeBlock(const BlockWords& words);

  // The same block composed word by word in one kept buffer, for loops that
  // write many blocks: no text per word is made. beginBlock starts the line
  // with the block number; endBlock writes it like writeBlock does, or drops
  // it, without using the number, when no word was added.
  void beginBlock();
  void addBlockText(std::string_view text);               // text + " ", e.g. a G word
  void addBlockWord(char letter, std::string_view text);  // letter + text + " "; nothing if empty
  // letter + formatFixed4(value) + " "; returns the number as a reader gets
  // it back (fixed4Value).
  double addBlockNumber(char letter, double value);
  void endBlock();

 private:
  void writeEndedLine(std::string_view text);
  void checkDigits(char letter, size_t from) const;

  std::ostream& out_;
  bool flushEachLine_;
  BlockStyle style_;
  std::string blockText_;         // the block being composed, kept for its capacity
  size_t blockNumberLength_ = 0;  // length of its "N<number> " start
};

}  // namespace brevanto
