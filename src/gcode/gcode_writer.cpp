#include "gcode/gcode_writer.h"

#include <string>
#include <string_view>

#include "base/job_error.h"

namespace brevanto {
namespace {

// Every line of a program ends in CR LF, on every platform: the stream is
// written as bytes, never translated.
constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

void GcodeWriter::writeEndedLine(std::string_view text) {
  out_.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (flushEachLine_) out_.flush();
}

void GcodeWriter::writeLine(std::string_view text) {
  blockText_.assign(text);
  blockText_ += kLineEnd;
  writeEndedLine(blockText_);
}

void GcodeWriter::beginBlock() {
  blockText_.clear();
  if (style_.numbered) {
    blockText_ += 'N';
    appendInt(blockText_, lineNumber);
    blockText_ += ' ';
  }
  blockNumberLength_ = blockText_.size();
}

// A reader that keeps only the first `digitLimit` digits of a number (and
// ignores the rest without a word) would cut somewhere else than the program
// says; a number whose dropped digits are all zeros reads the same.
void GcodeWriter::checkDigits(char letter, size_t from) const {
  if (style_.digitLimit <= 0) return;
  int32_t digits = 0;
  for (size_t i = from; i < blockText_.size(); ++i) {
    const char c = blockText_[i];
    if (c < '0' || c > '9') continue;
    if (++digits > style_.digitLimit && c != '0') {
      const std::string word = blockText_.substr(from, blockText_.size() - from);
      // Only a coordinate is the drawing's: a feed or a height comes from a
      // setting, and the writer's caller names it.
      const bool coordinate = std::string_view("XYIJR").find(letter) != std::string_view::npos;
      throw JobError(BREVANTO_DIALECT_REFUSED,
                     std::string(1, letter) + word +
                         " has more digits than the controller reads (" +
                         std::to_string(style_.digitLimit) + "): it would " +
                         (coordinate ? "cut elsewhere. Move the drawing within 9999.9999 mm of "
                                       "the origin"
                                     : "be read as another number"));
    }
  }
}

void GcodeWriter::addBlockText(std::string_view text) {
  blockText_ += text;
  blockText_ += ' ';
}

void GcodeWriter::addBlockWord(char letter, std::string_view text) {
  if (text.empty()) return;
  blockText_ += letter;
  const size_t from = blockText_.size();
  blockText_ += text;
  checkDigits(letter, from);
  blockText_ += ' ';
}

double GcodeWriter::addBlockNumber(char letter, double value) {
  blockText_ += letter;
  const size_t from = blockText_.size();
  double written = 0.0;
  appendFixed4Value(blockText_, value, written);
  checkDigits(letter, from);
  blockText_ += ' ';
  return written;
}

void GcodeWriter::endBlock() {
  if (blockText_.size() == blockNumberLength_) return;  // no word: no number used
  // Wraps instead of overflowing on a program of more than 200 million blocks.
  lineNumber =
      static_cast<int32_t>(static_cast<uint32_t>(lineNumber) + static_cast<uint32_t>(lineStep));
  blockText_ += kLineEnd;
  writeEndedLine(blockText_);
}

void GcodeWriter::writeBlock(const BlockWords& words) {
  beginBlock();
  // A raw line survives only in a block without a G word: a G word starts the
  // line afresh.
  if (!words.gWord.empty()) {
    addBlockText(words.gWord);
  } else if (words.rawText.find("\r\n") != std::string::npos) {
    blockText_ += words.rawText;
  }
  addBlockWord('X', words.x);
  addBlockWord('Y', words.y);
  addBlockWord('Z', words.z);
  addBlockWord('R', words.r);
  addBlockWord('F', words.f);
  if (!words.comment.empty()) {
    blockText_ += "( ";
    blockText_ += words.comment;
    blockText_ += " ) ";
  }
  endBlock();
}

}  // namespace brevanto
