#include "gcode/program_writer.h"

#include <cmath>
#include <string>
#include <string_view>

#include "geometry/closed_shape.h"

namespace brevanto {
namespace {

// The cutting moves of one pass over one shape. Only the first block of the
// pass and the first half of every full circle carry the feed; the depth is
// modal from the plunge.
void writeCuts(const PathElement* shape, int32_t count, const CncSettings& settings,
               GcodeWriter& writer) {
  const std::string feed = formatFixed(settings.cutFeed, 4);
  for (int32_t m = 0; m < count; ++m) {
    const PathElement& e = shape[m];
    const bool arc = e.radius > 0.0;  // a NaN radius is cut as a straight move
    const std::string_view gWord = !arc ? "G01" : e.clockwise == 1 ? "G02" : "G03";
    double radius = e.radius;
    bool withFeed = m == 0;
    if (arc && isFullCircle(e)) {
      writer.beginBlock();
      writer.addBlockText(gWord);
      writer.addBlockNumber('X', e.endX + 2.0 * e.radius);
      writer.addBlockNumber('Y', e.endY);
      writer.addBlockNumber('R', radius);
      writer.addBlockWord('F', feed);
      writer.endBlock();
      withFeed = false;
    } else if (arc && sweepsMoreThanHalf(e)) {
      radius = -e.radius;
    }
    writer.beginBlock();
    writer.addBlockText(gWord);
    writer.addBlockNumber('X', e.endX);
    writer.addBlockNumber('Y', e.endY);
    if (arc) writer.addBlockNumber('R', radius);
    if (withFeed) writer.addBlockWord('F', feed);
    writer.endBlock();
  }
}

// One shape: marker, rapid approach, then pass after pass down to the total
// depth. A closed shape keeps the tool down between its passes; an open one
// is retracted and brought back to its start before every further pass.
void writeShape(const PathElement* shape, int32_t count, const CncSettings& s,
                GcodeWriter& writer) {
  writer.writeBlock({.comment = "NEXT SHAPE"});

  const PathElement& first = shape[0];
  const PathElement& last = shape[count - 1];
  const float startX = roundToHundredths(first.startX);
  const float startY = roundToHundredths(first.startY);
  const std::string x = formatFixed4(first.startX);
  const std::string y = formatFixed4(first.startY);
  writer.writeBlock({.gWord = "G00", .x = x, .y = y, .z = formatFixed(s.safeZ, 4)});

  bool closed = false;
  // loadSettings makes sure this ends within kMostPasses passes.
  for (int32_t pass = 1;; ++pass) {
    float depth = static_cast<float>(pass) * s.passDepth;
    if (s.finalDepth >= depth) depth = s.finalDepth;
    if (s.passDepth == 0.0F) depth = s.finalDepth;  // no pass depth: one pass, all the way

    if (!closed && pass > 1) writer.writeBlock({.gWord = "G00", .x = x, .y = y});
    writePlunge(static_cast<double>(depth), s, writer);
    writeCuts(shape, count, s, writer);

    if (roundToHundredths(last.endX) == startX && roundToHundredths(last.endY) == startY) {
      closed = true;
    }
    if (!closed || depth == s.finalDepth) writeRetract(s, writer);
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

std::string toolChangeLine(const CncSettings& settings) {
  return "T" + formatInt(settings.toolNumber) + "M6 ( DIA. " +
         formatFixed(settings.toolDiameter, 4) + "mm )";
}

int32_t writeHeader(const CncSettings& settings, GcodeWriter& writer) {
  writer.writeLine("(Created with Brevanto)");
  writer.writeLine("G0 G49 G40  G17 G80 G50 G90");
  writer.writeLine(toolChangeLine(settings));
  writer.writeLine("G21 (mm)");
  writer.writeLine("M03 S20000.0000");
  writer.writeLine("M08");
  writer.writeLine("G64");
  writer.writeLine("G00 Z80.0000");
  return 0;
}

int32_t writeFooter(GcodeWriter& writer) {
  writer.writeBlock({.comment = "HOME POSITION"});
  writer.writeLine("G00 X10.0000 Y300.0000 Z80.0000 M5");
  writer.writeLine("M30");
  return 0;
}

void writePlunge(double z, const CncSettings& settings, GcodeWriter& writer) {
  writer.writeBlock(
      {.gWord = "G01", .z = formatFixed4(z), .f = formatFixed(settings.plungeFeed, 1)});
}

void writeRetract(const CncSettings& settings, GcodeWriter& writer) {
  writer.writeBlock({.gWord = "G00", .z = formatFixed(settings.safeZ, 4)});
}

int32_t writeProgram(const PathElement* elements, int32_t count, const CncSettings& settings,
                     GcodeWriter& writer) {
  if (elements == nullptr || count < 0) count = 0;
  const std::vector<int32_t> counts = shapeCounts(elements, count);
  writeHeader(settings, writer);
  const PathElement* shape = elements;
  for (const int32_t shapeCount : counts) {
    writeShape(shape, shapeCount, settings, writer);
    shape += shapeCount;
  }
  writeFooter(writer);
  return 0;
}

}  // namespace brevanto
