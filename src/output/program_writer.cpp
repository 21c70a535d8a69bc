#include "output/program_writer.h"

#include <cerrno>
#include <cmath>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "output/gcode_writer.h"
#include "output/settings.h"
#include "platform/output_location.h"

namespace brevanto {
namespace {

// Opens the process-wide output stream on the program file for one run and
// makes sure it is closed again, also when the run is left by an exception:
// a stream left open would make every later open fail.
class ProgramFile {
 public:
  explicit ProgramFile(std::string path) : path_(std::move(path)) {
    std::ofstream& out = gcodeWriter.outputStream;
    if (out.is_open()) out.close();
    out.clear();
    errno = 0;
    out.open(path_, kProgramFileMode);
    if (!out.is_open()) {
      const int reason = errno;
      out.clear();
      std::string message = "cannot open the program file \"" + path_ + "\" for writing";
      if (reason != 0) message += ": " + std::generic_category().message(reason);
      throw OutputOpenError(message);
    }
  }
  ~ProgramFile() {
    std::ofstream& out = gcodeWriter.outputStream;
    if (out.is_open()) out.close();
    out.clear();
  }
  ProgramFile(const ProgramFile&) = delete;
  ProgramFile& operator=(const ProgramFile&) = delete;

  // Flushes and closes the file; a program that did not reach the disk whole
  // is reported rather than passed off as written.
  void finish() {
    std::ofstream& out = gcodeWriter.outputStream;
    out.flush();
    out.close();
    const bool failed = out.fail();
    out.clear();
    if (failed) throw OutputWriteError("cannot write the program file \"" + path_ + "\"");
  }

 private:
  std::string path_;
};

// Two-decimal rounding of a start or end point: closure is judged by
// hundredths, not by distance.
float roundToHundredths(double value) {
  return static_cast<float>(std::floor(value * 100.0 + 0.5) / 100.0);
}

// The cutting moves of one pass over one shape. Only the first block of the
// pass and the first half of every full circle carry the feed; the depth is
// modal from the plunge.
void writeCuts(const PathElement* shape, int32_t count) {
  const std::string feed = formatFixed(cncSettings.cutFeed, 4);
  for (int32_t m = 0; m < count; ++m) {
    const PathElement& e = shape[m];
    const bool arc = e.radius > 0.0;  // a NaN radius is cut as a straight move
    const std::string_view gWord = !arc ? "G01" : e.clockwise == 1 ? "G02" : "G03";
    double radius = e.radius;
    bool withFeed = m == 0;
    if (arc && isFullCircle(e)) {
      beginBlock();
      addBlockText(gWord);
      addBlockNumber('X', e.endX + 2.0 * e.radius);
      addBlockNumber('Y', e.endY);
      addBlockNumber('R', radius);
      addBlockWord('F', feed);
      endBlock();
      withFeed = false;
    } else if (arc && sweepsMoreThanHalf(e)) {
      radius = -e.radius;
    }
    beginBlock();
    addBlockText(gWord);
    addBlockNumber('X', e.endX);
    addBlockNumber('Y', e.endY);
    if (arc) addBlockNumber('R', radius);
    if (withFeed) addBlockWord('F', feed);
    endBlock();
  }
}

// One shape: marker, rapid approach, then pass after pass down to the total
// depth. A closed shape keeps the tool down between its passes; an open one
// is retracted and brought back to its start before every further pass.
void writeShape(const PathElement* shape, int32_t count) {
  const CncSettings& s = cncSettings;
  writeBlock({.comment = "NEXT SHAPE"});

  const PathElement& first = shape[0];
  const PathElement& last = shape[count - 1];
  const float startX = roundToHundredths(first.startX);
  const float startY = roundToHundredths(first.startY);
  const std::string x = formatFixed4(first.startX);
  const std::string y = formatFixed4(first.startY);
  writeBlock({.gWord = "G00", .x = x, .y = y, .z = formatFixed(s.safeZ, 4)});

  bool closed = false;
  // loadSettings makes sure this ends within kMostPasses passes.
  for (int32_t pass = 1;; ++pass) {
    float depth = static_cast<float>(pass) * s.passDepth;
    if (s.finalDepth >= depth) depth = s.finalDepth;
    if (s.passDepth == 0.0F) depth = s.finalDepth;  // no pass depth: one pass, all the way

    if (!closed && pass > 1) writeBlock({.gWord = "G00", .x = x, .y = y});
    writePlunge(static_cast<double>(depth));
    writeCuts(shape, count);

    if (roundToHundredths(last.endX) == startX && roundToHundredths(last.endY) == startY) {
      closed = true;
    }
    if (!closed || depth == s.finalDepth) writeRetract();
    if (!(depth > s.finalDepth)) break;
  }
}

}  // namespace

std::vector<int32_t> shapeCounts(const PathElement* elements, int32_t count) {
  std::vector<int32_t> counts;
  for (int32_t i = 0; i < count; ++i) {
    if (i == 0 || elements[i].shapeKey != elements[i - 1].shapeKey) counts.push_back(0);
    ++counts.back();
  }
  return counts;
}

int32_t writeHeader() {
  writeLine("(Created with Brevanto)");
  writeLine("G0 G49 G40  G17 G80 G50 G90");
  writeLine(gcodeWriter.toolChangeLine);
  writeLine("G21 (mm)");
  writeLine("M03 S20000.0000");
  writeLine("M08");
  writeLine("G64");
  writeLine("G00 Z80.0000");
  return 0;
}

int32_t writeFooter() {
  writeBlock({.comment = "HOME POSITION"});
  writeLine("G00 X10.0000 Y300.0000 Z80.0000 M5");
  writeLine("M30");
  return 0;
}

void writePlunge(double z) {
  writeBlock({.gWord = "G01", .z = formatFixed4(z), .f = formatFixed(cncSettings.plungeFeed, 1)});
}

void writeRetract() {
  writeBlock({.gWord = "G00", .z = formatFixed(cncSettings.safeZ, 4)});
}

int32_t writeProgram(const PathElement* elements, int32_t count) {
  if (elements == nullptr || count < 0) count = 0;
  const std::vector<int32_t> counts = shapeCounts(elements, count);
  // The settings come first: a refused setting leaves an earlier file as it was.
  loadSettings();
  ProgramFile file(outputPath());
  writeHeader();
  const PathElement* shape = elements;
  for (const int32_t shapeCount : counts) {
    writeShape(shape, shapeCount);
    shape += shapeCount;
  }
  writeFooter();
  file.finish();
  return 0;
}

}  // namespace brevanto
