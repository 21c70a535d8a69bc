#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

namespace brevanto {

// How the program file is opened: created or truncated, and in text mode on
// Windows, where the C runtime turns "\n" into CR LF; elsewhere in binary
// mode, and writeLine writes the CR LF itself.
#ifdef _WIN32
inline constexpr std::ios::openmode kProgramFileMode = std::ios::out | std::ios::trunc;
#else
inline constexpr std::ios::openmode kProgramFileMode =
    std::ios::out | std::ios::trunc | std::ios::binary;
#endif

// The process-wide output state: the program file being written and the
// numbering of its blocks. Every run of the program writer reloads it.
struct GcodeWriter {
  std::ofstream outputStream;    // opened and closed by the program writer
  int32_t lineNumber = 0;        // the number after "N" of the next numbered block
  int32_t lineStep = 0;          // added to lineNumber after each numbered block
  std::string toolChangeLine;    // composed by loadSettings, e.g. "T1M6 ( DIA. 3.0000mm )"
  std::string blockText;         // the block being composed, kept for its capacity
  size_t blockNumberLength = 0;  // length of its "N<number> " start
};

extern GcodeWriter gcodeWriter;

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

// Fixed-point text with exactly 4 decimals, rounded to nearest: 12.5 ->
// "12.5000", -0.00001 -> "-0.0000". Never an exponent, a plus sign or
// grouping, and the same digits whatever locale the process runs in.
std::string formatFixed4(double value);

// The 32-bit value widened to 64 bits, with `decimals` decimals (a negative
// count means 6, as in the standard streams): 3.175F, 4 -> "3.1750".
std::string formatFixed(float value, int32_t decimals);

// Plain decimal: 10 -> "10", -4 -> "-4".
std::string formatInt(int32_t value);

// Writes `text` and a line end (CR LF in the file on every platform) to the
// output stream and flushes it. Writes nothing when the stream is not open.
void writeLine(const std::string& text);

// Writes one numbered block: "N<lineNumber> " and the words present, each
// followed by one space, in the fixed order G X Y Z R F comment; then
// advances lineNumber by lineStep. A block without any word writes nothing
// and uses no number.
void writeBlock(BlockWords words);

// The same block composed word by word in writeBlock's buffer, for loops
// that write many blocks: no text per word is made. beginBlock starts the
// line with the block number; endBlock writes it like writeBlock does, or
// drops it, without using the number, when no word was added.
void beginBlock();
void addBlockText(std::string_view text);               // text + " ", e.g. a G word
void addBlockWord(char letter, std::string_view text);  // letter + text + " "; nothing if empty
void addBlockNumber(char letter, double value);         // letter + formatFixed4(value) + " "
void endBlock();

}  // namespace brevanto
