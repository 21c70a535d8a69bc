#include "gcode/gcode_sink.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "gcode/number_format.h"

namespace brevanto {
namespace {

// A number text of the program as a reader gets it back.
double valueOf(const std::string& text) {
  double value = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// "M03 S20000.0000": the spindle's start, with the speed as the programs
// have always stated it.
std::string spindleLine(const JobSettings& settings) {
  return "M03 S" + formatFixed4(static_cast<double>(settings.spindleSpeed));
}

constexpr std::string_view kMotionWords[] = {"G00", "G01", "G02", "G03"};

// A laser's S value to a tenth, without trailing zeros ("800", "333.3"):
// grbl reads at most eight digits, and no diode resolves finer.
std::string powerText(double value) {
  std::string text = formatFixed4(std::round(value * 10.0) / 10.0);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

}  // namespace

// The centre a controller finds for an R-format arc from `from` to `to` (both
// as written) with the radius `radius` as written (negative: the long way
// round). Centre-format dialects write this very centre, so that every
// dialect cuts the same path as the R word would.
//
// The centre lies on the perpendicular bisector of the chord, at the distance
// h = sqrt(r^2 - (c/2)^2) from the chord's middle M (c the chord length; a
// radius too short to reach leaves h = 0, the half circle). Travelling from
// `from` to `to` counter-clockwise the short way, the centre is on the left
// of the chord, along the normal n = (-dy, dx) / c; clockwise, on the right;
// the long way round swaps the sides: centre = M + side * h * n.
Point2 centreOfRadiusArc(Point2 from, Point2 to, double radius, bool clockwise) {
  const double dx = to.x - from.x;
  const double dy = to.y - from.y;
  const double chord = std::sqrt(dx * dx + dy * dy);
  const Point2 middle{(from.x + to.x) * 0.5, (from.y + to.y) * 0.5};
  if (chord == 0.0) return middle;
  const double r = std::fabs(radius);
  const double h = std::sqrt(std::max(0.0, r * r - chord * chord * 0.25));
  const double side = (clockwise ? -1.0 : 1.0) * (radius < 0.0 ? -1.0 : 1.0);
  return {middle.x - side * h * dy / chord, middle.y + side * h * dx / chord};
}

GcodeSink::GcodeSink(const JobSettings& settings, GcodeWriter& writer, ProgramObserver* observer)
    : settings_(&settings),
      rules_(dialectRules(settings.dialect)),
      writer_(writer),
      observer_(observer) {
  setFeeds();
}

void GcodeSink::setFeeds() {
  plungeFeed_ = formatFixed(settings_->plungeFeed, 1);
  cutFeed_ = formatFixed(settings_->cutFeed, 4);
  if (observer_ != nullptr) {
    plungeFeedValue_ = valueOf(plungeFeed_);
    cutFeedValue_ = valueOf(cutFeed_);
  }
}

void GcodeSink::restartSpindle() {
  writer_.writeLine(spindleLine(*settings_));
  if (settings_->coolant) writer_.writeLine("M08");
}

bool GcodeSink::useSettings(const JobSettings& next) {
  const JobSettings& now = *settings_;
  if (next.laser()) {
    // A laser has no tool or spindle to change (and no Z to go up on): its
    // operations differ in power and feed, which the moves state, and in
    // air assist.
    if (next.airAssist != now.airAssist) writer_.writeLine(next.airAssist ? "M8" : "M9");
    settings_ = &next;
    setFeeds();
    return false;
  }
  const bool newTool = next.toolNumber != now.toolNumber || next.toolDiameter != now.toolDiameter;
  const bool restart =
      newTool || next.spindleSpeed != now.spindleSpeed || next.coolant != now.coolant;
  settings_ = &next;
  setFeeds();
  if (!restart) return false;
  std::string line;
  rawMove(line, {.motion = 0, .hasZ = true, .z = clearanceHeight(rules_, now)});
  writer_.writeLine(line);
  if (newTool) {
    if (rules_.pausesForTool) {
      // No tool changer: the spindle stops, the tool goes where the operator
      // can reach it, and the program waits until the next one is mounted
      // and Z zeroed on it again.
      writer_.writeLine("M5");
      if (const std::optional<Point2> park = parkPlace(rules_, now)) {
        rawMove(line, {.motion = 0, .hasX = true, .hasY = true, .x = park->x, .y = park->y});
        writer_.writeLine(line);
      }
      writer_.writeLine(toolChangeText(rules_, next.toolNumber, next.toolDiameter));
      writer_.writeLine("M0 (MOUNT T" + formatInt(next.toolNumber) + " DIA. " +
                        formatFixed(next.toolDiameter, 4) + "mm, ZERO Z, RESUME)");
    } else {
      writer_.writeLine(toolChangeText(rules_, next.toolNumber, next.toolDiameter));
      if (rules_.lengthOffset) writer_.writeLine("G43 H" + formatInt(next.toolNumber));
    }
  }
  restartSpindle();
  return newTool;
}

void GcodeSink::beginShape() {
  writer_.writeBlock({.comment = "NEXT SHAPE"});
  // A shape may be composed apart from the one before it (refinement): the
  // beam is taken to be on until this shape's first rapid switches it off.
  beamOn_ = settings_->laser() && !rules_.beamOff.empty();
  if (observer_ != nullptr) observer_->shapeBegins();
}

void GcodeSink::number(char letter, double value, bool& has, double& written) {
  // The number as a reader gets it back comes with the text.
  written = writer_.addBlockNumber(letter, value);
  has = true;
}

void GcodeSink::feedWord(const ToolMove& move) {
  if (move.feed == ToolMove::Feed::Kept) return;
  const bool plunge = move.feed == ToolMove::Feed::Plunge;
  writer_.addBlockWord('F', plunge ? plungeFeed_ : cutFeed_);
  block_.hasF = true;
  block_.f = plunge ? plungeFeedValue_ : cutFeedValue_;
}

void GcodeSink::powerWords(const ToolMove& move) {
  if (!move.hasPower) return;
  if (!rules_.beamOn.empty() && !beamOn_) {
    writer_.addBlockText(rules_.beamOn);
    beamOn_ = true;
  }
  const std::string text = powerText(move.power);
  writer_.addBlockWord('S', text);
  block_.hasS = true;
  if (observer_ != nullptr) block_.s = valueOf(text);
}

void GcodeSink::move(const ToolMove& move) {
  if (move.kind == ToolMove::Kind::Rapid && beamOn_) {
    writer_.beginBlock();
    writer_.addBlockText(rules_.beamOff);
    writer_.endBlock();
    beamOn_ = false;
  }
  const auto motion = static_cast<int8_t>(move.kind);
  block_ = {.motion = motion};
  writer_.beginBlock();
  writer_.addBlockText(kMotionWords[static_cast<size_t>(motion)]);
  const Point2 from = at_;
  if (move.hasXY) {
    at_.x = writer_.addBlockNumber('X', move.x);
    at_.y = writer_.addBlockNumber('Y', move.y);
    block_.hasX = block_.hasY = true;
    block_.x = at_.x;
    block_.y = at_.y;
  }
  if (move.hasZ) number('Z', move.z, block_.hasZ, block_.z);
  if (move.isArc()) {
    if (rules_.arcForm == ArcForm::Centre) {
      const Point2 c = centreOfRadiusArc(from, at_, fixed4Value(move.radius),
                                         move.kind == ToolMove::Kind::ClockwiseArc);
      number('I', c.x - from.x, block_.hasIJ, block_.i);
      number('J', c.y - from.y, block_.hasIJ, block_.j);
    } else {
      number('R', move.radius, block_.hasR, block_.r);
    }
  }
  feedWord(move);
  powerWords(move);
  writer_.endBlock();
  if (observer_ != nullptr) observer_->block(block_);
}

// A move written as an unnumbered line of the header or footer.
void GcodeSink::rawMove(std::string& line, const WrittenBlock& block) {
  line = "G00";
  const auto add = [&line](char letter, bool has, double value) {
    if (!has) return;
    line += ' ';
    line += letter;
    appendFixed4(line, value);
  };
  add('X', block.hasX, block.x);
  add('Y', block.hasY, block.y);
  add('Z', block.hasZ, block.z);
  WrittenBlock asWritten = block;
  asWritten.x = fixed4Value(block.x);
  asWritten.y = fixed4Value(block.y);
  asWritten.z = fixed4Value(block.z);
  if (observer_ != nullptr) observer_->block(asWritten);
}

void GcodeSink::writeHeader() {
  if (settings_->laser()) {
    writeLaserHeader();
    return;
  }
  writer_.writeLine("(Created with Brevanto)");
  writer_.writeLine(rules_.modalLine);
  writer_.writeLine(toolChangeText(rules_, settings_->toolNumber, settings_->toolDiameter));
  writer_.writeLine("G21 (mm)");
  restartSpindle();
  if (!rules_.blendLine.empty()) writer_.writeLine(rules_.blendLine);
  std::string line;
  rawMove(line, {.motion = 0, .hasZ = true, .z = clearanceHeight(rules_, *settings_)});
  writer_.writeLine(line);
}

void GcodeSink::writeFooter() {
  if (settings_->laser()) {
    writeLaserFooter();
    return;
  }
  writer_.writeBlock({.comment = "HOME POSITION"});
  if (observer_ != nullptr) observer_->homeBegins();
  std::string line;
  const std::optional<Point2> park = parkPlace(rules_, *settings_);
  rawMove(line, {.motion = 0,
                 .hasX = park.has_value(),
                 .hasY = park.has_value(),
                 .hasZ = true,
                 .x = park ? park->x : 0.0,
                 .y = park ? park->y : 0.0,
                 .z = clearanceHeight(rules_, *settings_)});
  line += ' ';
  line += rules_.parkWords;
  writer_.writeLine(line);
  writer_.writeLine(rules_.programEnd);
}

// A laser program's opening: none of the router's lines (no tool, spindle,
// coolant or clearance move); the beam's mode first where the dialect sets it
// once. grbl switches the beam off in G0 only in its laser mode ($32=1), so
// the program says so before anything else. The mode's S0 stands on a G0
// without axes, which moves nothing: no S word is ever alone on a line
// (grbl stops its planner for one).
void GcodeSink::writeLaserHeader() {
  const bool modeOnce = rules_.beamOn.empty();
  writer_.writeLine(modeOnce ? "(needs grbl's laser mode $32=1: G0 moves with the beam off)"
                             : "(laser: the power is the spindle speed, M3 S when burning)");
  writer_.writeLine("(Created with Brevanto)");
  writer_.writeLine(rules_.modalLine);
  writer_.writeLine("G21 (mm)");
  if (settings_->airAssist) writer_.writeLine("M8");
  if (settings_->hasFocusZ) {
    std::string line;
    rawMove(line, {.motion = 0, .hasZ = true, .z = static_cast<double>(settings_->focusZ)});
    writer_.writeLine(line);
  }
  if (modeOnce) {
    writer_.writeLine(settings_->laserMode == LaserMode::Dynamic ? "G00 M4 S0" : "G00 M3 S0");
  }
}

void GcodeSink::writeLaserFooter() {
  if (observer_ != nullptr) observer_->homeBegins();
  writer_.writeLine("M5");
  if (settings_->airAssist) writer_.writeLine("M9");
  writer_.writeLine(rules_.programEnd);
}

}  // namespace brevanto
