#include "settings/settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string>
#include <string_view>

#include "base/job_error.h"
#include "geometry/int_conversion.h"
#include "settings/setting_number.h"

namespace brevanto {
namespace {

[[noreturn]] void refuse(const std::string& message) {
  throw JobError(BREVANTO_SETTINGS_REFUSED, message);
}

// Settings are C strings in every store: nothing after a NUL byte counts.
std::string readText(const SettingsSource& source, std::string_view name) {
  std::string text = source(name);
  if (const auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  return text;
}

// The number at the start of the setting's text (see readSettingNumber),
// narrowed to the float the field holds. A text that does not start with a
// number, a range error of the reading, and a value that is not finite as a
// float ("nan", "inf", "1e39") are refused with the setting's name and text:
// an infinite total depth never ends the pass loop.
float readSettingFloat(const SettingsSource& source, std::string_view name) {
  const std::string text = readText(source, name);
  const SettingNumber number = readSettingNumber(text);
  const auto value = static_cast<float>(number.value);
  const std::string quoted = std::string(name) + ": \"" + text + "\" is ";
  if (number.length == 0 || std::isnan(value)) refuse(quoted + "not a number");
  if (number.outOfRange || std::isinf(value)) {
    refuse(quoted + (std::fabs(number.value) < 1.0 ? "out of range (too close to 0)"
                                                   : "out of range (too large)"));
  }
  return value;
}

std::string shortestText(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// The index of a choice's value in its list, 0 when the text is empty or
// blank; case and blanks around the value do not count.
size_t readChoice(const SettingsSource& source, const SettingInfo& setting) {
  const std::string text = readText(source, setting.name);
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t from = 0, to = text.size();
  while (from < to && blank(text[from])) ++from;
  while (to > from && blank(text[to - 1])) --to;
  const std::string_view value(text.data() + from, to - from);
  if (value.empty()) return 0;
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  std::string known;
  for (size_t i = 0; i < setting.choices.size(); ++i) {
    const std::string_view name = setting.choices[i];
    if (std::equal(value.begin(), value.end(), name.begin(), name.end(),
                   [&lower](char a, char b) { return lower(a) == b; })) {
      return i;
    }
    known += (i == 0 ? "" : ", ") + std::string(name);
  }
  // The dialect's refusal has read this way since it was the only choice:
  // the whole text as stored, and the values after "use one of".
  if (&setting == findSetting("Dialect")) {
    refuse("Dialect: \"" + text + "\" is not a known dialect; use one of " + known);
  }
  refuse(std::string(setting.name) + ": \"" + std::string(value) + "\" is not one of its values (" +
         known + ")");
}

// A text setting without the blanks around it.
std::string readTrimmedText(const SettingsSource& source, std::string_view name) {
  const std::string text = readText(source, name);
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

size_t readChoice(const SettingsSource& source, std::string_view name) {
  return readChoice(source, *findSetting(name));
}

bool isBlank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// A source that answers the one text already read: each setting is asked of
// the store once a job.
SettingsSource answering(const std::string& text) {
  return [&text](std::string_view) { return text; };
}

// A number of the laser settings: blank is its built-in value; otherwise the
// number its text starts with, as every machining value, held to the range
// of its row (these settings have no older reading to keep).
float readRangedFloat(const std::string& text, std::string_view name) {
  const SettingInfo& row = *findSetting(name);
  if (isBlank(text)) return static_cast<float>(readSettingNumber(std::string(row.builtIn)).value);
  const float value = readSettingFloat(answering(text), name);
  const double size = row.signIgnored ? std::fabs(value) : value;
  if (!(row.leastIncluded ? size >= row.least : size > row.least) || !(size <= row.most) ||
      (row.type == SettingType::Whole && size != std::floor(size))) {
    refuse(std::string(name) + ": \"" + text + "\" is not " + std::string(row.range));
  }
  return value;
}

float readRangedFloat(const SettingsSource& source, std::string_view name) {
  return readRangedFloat(readText(source, name), name);
}

// "Tabs": a count, or "auto" for one per TabSpacing.
int32_t readTabCount(const SettingsSource& source) {
  const SettingInfo& row = *findSetting("Tabs");
  const std::string text = readText(source, row.name);
  const auto first = text.find_first_not_of(" \t\r\n");
  const auto last = text.find_last_not_of(" \t\r\n");
  if (first != std::string::npos && last - first == 3) {
    std::string word = text.substr(first, 4);
    for (char& c : word) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (word == row.choices[0]) return kTabsBySpacing;
  }
  // The text once read: each setting is asked of the store once.
  return truncateToInt32(readRangedFloat(text, row.name));
}

// The settings of the tabs, the ramp and the leads, in the table's order.
void loadEntrySettings(const SettingsSource& source, JobSettings& s) {
  s.tabs = readTabCount(source);
  s.tabSpacing = readRangedFloat(source, "TabSpacing");
  s.tabWidth = readRangedFloat(source, "TabWidth");
  s.tabHeight = readRangedFloat(source, "TabHeight");
  s.tabsOnHoles = readRangedFloat(source, "TabsOnHoles") >= 1.0F;
  s.tabShape = static_cast<TabShape>(readChoice(source, "TabShape"));
  s.tabAngle = readRangedFloat(source, "TabAngle");
  s.rampAngle = readRangedFloat(source, "RampAngle");
  s.leadIn = readRangedFloat(source, "LeadIn");
}

// Machine, Kind and the laser's values. A blank Kind is the machine's own;
// a laser kind makes a laser program whatever the machine, and picks grbl
// when no dialect is named.
void readLaserSettings(const SettingsSource& source, bool dialectGiven, JobSettings& s) {
  s.machine = static_cast<Machine>(readChoice(source, "Machine"));
  const std::string kind = readText(source, "Kind");
  s.kind = !isBlank(kind) ? static_cast<OperationKind>(readChoice(answering(kind), "Kind"))
           : s.machine == Machine::Laser ? OperationKind::LaserCut
                                         : OperationKind::Profile;
  if (s.machine == Machine::Laser &&
      (s.kind == OperationKind::Profile || s.kind == OperationKind::Pocket)) {
    refuse("Kind: " + std::string(kKindNames[static_cast<size_t>(s.kind)]) +
           " cuts in depth with a router; with Machine=laser use laser-cut or "
           "laser-fill");
  }
  s.power = readRangedFloat(source, "Power");
  s.laserMax = readRangedFloat(source, "LaserMax");
  s.laserMode = static_cast<LaserMode>(readChoice(source, "LaserMode"));
  s.passes = truncateToInt32(readRangedFloat(source, "Passes"));
  s.airAssist = readChoice(source, "AirAssist") == 1;
  const std::string focus = readText(source, "FocusZ");
  s.hasFocusZ = !isBlank(focus);
  s.focusZ = readRangedFloat(focus, "FocusZ");
  s.lineInterval = readRangedFloat(source, "LineInterval");
  s.fillAngle = readRangedFloat(source, "FillAngle");
  s.bidirectional = readChoice(source, "Bidirectional") == 0;
  s.overscan = readRangedFloat(source, "Overscan");
  if (s.laser() && !dialectGiven) s.dialect = Dialect::Grbl;
}

// The laser's words exist in grbl and LinuxCNC; the classic controllers
// would take S for a spindle speed and run the beam through every rapid.
void checkLaserDialect(const JobSettings& s) {
  if (s.laser() && s.dialect == Dialect::Classic) {
    refuse(
        "Dialect: classic has no laser words (the beam would burn through every rapid "
        "move); write laser programs with Dialect=grbl or Dialect=linuxcnc");
  }
}

// A number of the machine's own settings, empty meaning `empty`: a value a
// registry that predates the setting lacks is its default.
double readOptionalNumber(const SettingsSource& source, std::string_view name, double empty) {
  const std::string text = readText(source, name);
  if (isBlank(text)) return empty;
  const SettingNumber number = readSettingNumber(text);
  if (number.length == 0 || !std::isfinite(number.value) || number.outOfRange) {
    refuse(std::string(name) + ": \"" + text + "\" is not a number");
  }
  return number.value;
}

// Park: empty for the dialect's own, "none", or X,Y.
void readPark(const SettingsSource& source, JobSettings& s) {
  const std::string text = readText(source, "Park");
  if (isBlank(text)) return;
  const size_t from = text.find_first_not_of(" \t");
  const size_t to = text.find_last_not_of(" \t\r\n");
  std::string word = text.substr(from, to - from + 1);
  for (char& c : word) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (word == "none") {
    s.park = ParkPlace::None;
    return;
  }
  const size_t comma = text.find(',');
  const SettingNumber x = readSettingNumber(text.substr(0, comma));
  const SettingNumber y =
      comma == std::string::npos ? SettingNumber{} : readSettingNumber(text.substr(comma + 1));
  const auto usable = [](const SettingNumber& n) {
    return n.length > 0 && std::isfinite(n.value) && !n.outOfRange && std::fabs(n.value) <= 10000.0;
  };
  if (!usable(x) || !usable(y)) {
    refuse("Park: \"" + text + "\" is not X,Y (each within 10000 mm of 0) or none");
  }
  s.park = ParkPlace::At;
  s.parkX = x.value;
  s.parkY = y.value;
}

// The machine's own numbers; ClearanceZ is held to txtSaveZ, which is read
// before it.
void readMachineNumbers(const SettingsSource& source, JobSettings& s) {
  const double spindle = readOptionalNumber(source, "Spindle", 20000.0);
  if (!(spindle >= 1.0 && spindle <= 100000.0)) {
    refuse("Spindle: " + exactText(spindle) + " is not a speed from 1 to 100000 rpm");
  }
  s.spindleSpeed = static_cast<int32_t>(spindle);
  s.coolant = readChoice(source, "Coolant") == 0;
  s.clearanceZ = readOptionalNumber(source, "ClearanceZ", 0.0);
  readPark(source, s);
}

}  // namespace

// The pass loop cuts pass p at p * passDepth (single precision) and stops at
// the first pass at or below the total depth. The products only fall as p
// grows, so looking at pass kMostPasses tells whether the loop ends in time.
// A pass depth of 0 is cut as one pass at the total depth.
void checkPassCount(float passDepth, float finalDepth) {
  if (passDepth == 0.0F) return;
  if (static_cast<float>(kMostPasses) * passDepth <= finalDepth) return;
  refuse("txtMaxZ: a pass depth of " + shortestText(-passDepth) + " needs more than " +
         std::to_string(kMostPasses) + " passes to reach the total depth of " +
         shortestText(-finalDepth) + " (txtDepth)");
}

JobSettings loadSettings(const SettingsSource& source) {
  JobSettings s;
  s.plungeFeed = std::fabs(readSettingFloat(source, "txtFeedZ"));
  s.passDepth = std::fabs(readSettingFloat(source, "txtMaxZ")) * -1.0F;
  s.finalDepth = std::fabs(readSettingFloat(source, "txtDepth")) * -1.0F;
  checkPassCount(s.passDepth, s.finalDepth);
  s.safeZ = readSettingFloat(source, "txtSaveZ");
  s.cutFeed = std::fabs(readSettingFloat(source, "txtFeedCut"));
  s.toolNumber = truncateToInt32(std::fabs(readSettingFloat(source, "txtWZNummer")));
  s.toolDiameter = std::fabs(readSettingFloat(source, "txtWZDia"));
  s.precision = readPrecision(source);
  const std::string dialect = readText(source, "Dialect");
  s.dialect = static_cast<Dialect>(readChoice(answering(dialect), "Dialect"));
  s.cutOrder = static_cast<CutOrder>(readChoice(source, "CutOrder"));
  s.toolOffset = static_cast<ToolOffset>(readChoice(source, "ToolOffset"));
  loadEntrySettings(source, s);
  readLaserSettings(source, !isBlank(dialect), s);
  checkLaserDialect(s);
  readMachineNumbers(source, s);
  checkMachineNumbers(s);
  s.origin = static_cast<WorkOrigin>(readChoice(source, "Origin"));
  s.direction = static_cast<CutDirection>(readChoice(source, "Direction"));
  s.textFont = readTrimmedText(source, "TextFont");
  s.pocketStrategy = static_cast<PocketStrategy>(readChoice(source, "PocketStrategy"));
  s.stepOver = readRangedFloat(source, "StepOver");
  s.finishAllowance = readRangedFloat(source, "FinishAllowance");
  return s;
}

const JobSettings& checkedSettings(const JobSettings& s) {
  const struct {
    float value;
    const char* name;
    int sign;  // -1: at most 0, 1: at least 0, 0: either
  } values[] = {{s.plungeFeed, "txtFeedZ", 1},  {s.passDepth, "txtMaxZ", -1},
                {s.finalDepth, "txtDepth", -1}, {s.safeZ, "txtSaveZ", 0},
                {s.cutFeed, "txtFeedCut", 1},   {s.toolDiameter, "txtWZDia", 1}};
  for (const auto& v : values) {
    if (!std::isfinite(v.value) || (v.sign < 0 && v.value > 0.0F) ||
        (v.sign > 0 && v.value < 0.0F)) {
      refuse(std::string(v.name) + ": " + shortestText(v.value) + " is not a value it can hold");
    }
  }
  if (s.toolNumber < 0) refuse("txtWZNummer: " + std::to_string(s.toolNumber) + " is negative");
  if (static_cast<size_t>(s.dialect) >= std::size(kDialectNames) ||
      static_cast<size_t>(s.cutOrder) >= std::size(kCutOrderNames) ||
      static_cast<size_t>(s.toolOffset) >= std::size(kToolOffsetNames) ||
      static_cast<size_t>(s.origin) >= std::size(kWorkOriginNames) ||
      static_cast<size_t>(s.direction) >= std::size(kCutDirectionNames)) {
    refuse("Dialect, CutOrder, ToolOffset, Origin or Direction: not one of its values");
  }
  checkPassCount(s.passDepth, s.finalDepth);
  const struct {
    double value;
    const char* name;
  } entry[] = {{s.tabs == kTabsBySpacing ? 0.0 : s.tabs, "Tabs"},
               {s.tabSpacing, "TabSpacing"},
               {s.tabWidth, "TabWidth"},
               {s.tabHeight, "TabHeight"},
               {s.tabAngle, "TabAngle"},
               {s.rampAngle, "RampAngle"},
               {s.leadIn, "LeadIn"},
               {s.power, "Power"},
               {s.laserMax, "LaserMax"},
               {static_cast<double>(s.passes), "Passes"},
               {s.focusZ, "FocusZ"},
               {s.lineInterval, "LineInterval"},
               {s.fillAngle, "FillAngle"},
               {s.overscan, "Overscan"},
               {s.stepOver, "StepOver"},
               {s.finishAllowance, "FinishAllowance"}};
  // Each held to its row's range, as the strict reading holds its text (a
  // value that is not a number fails every comparison).
  for (const auto& v : entry) {
    const SettingInfo& row = *findSetting(v.name);
    const double size = row.signIgnored ? std::fabs(v.value) : v.value;
    if (!(row.leastIncluded ? size >= row.least : size > row.least) || !(size <= row.most)) {
      refuse(std::string(v.name) + ": " + exactText(v.value) + " is not " + std::string(row.range));
    }
  }
  if (static_cast<size_t>(s.tabShape) >= std::size(kTabShapeNames)) {
    refuse("TabShape: not one of its values");
  }
  if (static_cast<size_t>(s.machine) >= std::size(kMachineNames) ||
      static_cast<size_t>(s.kind) >= std::size(kKindNames) ||
      static_cast<size_t>(s.laserMode) >= std::size(kLaserModeNames) ||
      static_cast<size_t>(s.pocketStrategy) >= std::size(kPocketStrategyNames)) {
    refuse("Machine, Kind, LaserMode or PocketStrategy: not one of its values");
  }
  checkLaserDialect(s);
  checkMachineNumbers(s);
  return s;
}

void checkMachineNumbers(const JobSettings& s) {
  if (s.spindleSpeed < 1 || s.spindleSpeed > 100000) {
    refuse("Spindle: " + std::to_string(s.spindleSpeed) + " is not a speed from 1 to 100000 rpm");
  }
  if (s.clearanceZ != 0.0 &&
      !(s.clearanceZ >= static_cast<double>(s.safeZ) && s.clearanceZ <= 1000.0)) {
    refuse("ClearanceZ: " + exactText(s.clearanceZ) + " must be at least txtSaveZ (" +
           shortestText(s.safeZ) +
           ") and at most 1000: the first and last moves go no lower than the safe height");
  }
  const bool parkFits = std::isfinite(s.parkX) && std::isfinite(s.parkY) &&
                        std::fabs(s.parkX) <= 10000.0 && std::fabs(s.parkY) <= 10000.0;
  if (static_cast<size_t>(s.park) > static_cast<size_t>(ParkPlace::At) || !parkFits) {
    refuse("Park: not a place within 10000 mm of the origin");
  }
}

double readPrecision(const SettingsSource& source) {
  return readSettingNumber(readText(source, "Prezision")).value;
}

}  // namespace brevanto
