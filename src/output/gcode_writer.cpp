#include "output/gcode_writer.h"

#include <charconv>
#include <limits>

namespace brevanto {

GcodeWriter gcodeWriter;

namespace {

// Enough for the integer digits of the largest double, a sign and a point.
constexpr int kIntegerRoom = std::numeric_limits<double>::max_exponent10 + 3;
// A double has at most 1074 significant decimals; more digits are all zeros.
constexpr int kMostDecimals = 1100;

// std::to_chars is locale-independent and exactly rounded, which gives the
// digits of the C locale's printf("%.*f") on every platform and compiler.
std::string fixedText(double value, int decimals) {
  if (decimals < 0) decimals = 6;
  if (decimals > kMostDecimals) decimals = kMostDecimals;
  std::string text(static_cast<size_t>(kIntegerRoom + decimals), '\0');
  const auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                    std::chars_format::fixed, decimals);
  text.resize(static_cast<size_t>(result.ptr - text.data()));
  return text;
}

}  // namespace

std::string formatFixed4(double value) {
  return fixedText(value, 4);
}

std::string formatFixed(float value, int32_t decimals) {
  return fixedText(static_cast<double>(value), decimals);
}

std::string formatInt(int32_t value) {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, result.ptr);
}

void writeLine(const std::string& text) {
  std::ofstream& out = gcodeWriter.outputStream;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
#ifdef _WIN32
  out.put('\n');  // the text-mode stream turns it into CR LF
#else
  out.write("\r\n", 2);  // binary stream: the program's line end is always CR LF
#endif
  out.flush();
}

void writeBlock(BlockWords words) {
  // A raw line survives only in a block without a G word: a G word starts the
  // line afresh.
  std::string line;
  if (!words.rawText.empty() && words.rawText.find("\r\n") != std::string::npos) {
    line = words.rawText;
  }
  if (!words.gWord.empty()) line = words.gWord + ' ';
  const struct {
    char letter;
    const std::string& text;
  } lettered[] = {{'X', words.x}, {'Y', words.y}, {'Z', words.z}, {'R', words.r}, {'F', words.f}};
  for (const auto& word : lettered) {
    if (word.text.empty()) continue;
    line += word.letter;
    line += word.text;
    line += ' ';
  }
  if (!words.comment.empty()) {
    line += "( ";
    line += words.comment;
    line += " ) ";
  }
  if (line.empty()) return;
  // Prepending by appending: GCC 12 at -O3 reports a false overlap in
  // std::string::insert at the front (-Wrestrict).
  std::string numbered = "N";
  numbered += formatInt(gcodeWriter.lineNumber);
  numbered += ' ';
  numbered += line;
  // Wraps instead of overflowing on a program of more than 200 million blocks.
  gcodeWriter.lineNumber = static_cast<int32_t>(static_cast<uint32_t>(gcodeWriter.lineNumber) +
                                                static_cast<uint32_t>(gcodeWriter.lineStep));
  writeLine(numbered);
}

}  // namespace brevanto
