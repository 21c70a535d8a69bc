#include "output/settings.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>

#include "geometry/int_conversion.h"
#include "output/gcode_writer.h"
#include "platform/classic_number.h"
#include "platform/settings_store.h"

namespace brevanto {

CncSettings cncSettings;

namespace {

// The number at the start of the text, read as strtod reads it in the "C"
// locale: leading white space skipped, the rest after the number ignored.
double parseSettingNumber(std::string_view name) {
  const std::string text = readSettingText(name);
  char* end = nullptr;
  errno = 0;
  const double value = strtodClassic(text.c_str(), &end);
  if (end == text.c_str()) throw std::invalid_argument("invalid stof argument");
  if (errno == ERANGE) throw std::out_of_range("stof argument out of range");
  return value;
}

// Narrowed to the float the field holds. A value that is not finite there
// ("nan", "inf", "1e39") is refused: an infinite total depth never ends the
// pass loop.
float readSettingFloat(std::string_view name) {
  const auto value = static_cast<float>(parseSettingNumber(name));
  if (std::isnan(value)) throw std::invalid_argument("invalid stof argument");
  if (std::isinf(value)) throw std::out_of_range("stof argument out of range");
  return value;
}

std::string shortestText(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// The pass loop cuts pass p at p * passDepth (single precision) and stops at
// the first pass at or below the total depth. The products only fall as p
// grows, so looking at pass kMostPasses tells whether the loop ends in time.
// A pass depth of 0 is cut as one pass at the total depth.
void checkPassCount(float passDepth, float finalDepth) {
  if (passDepth == 0.0F) return;
  if (static_cast<float>(kMostPasses) * passDepth <= finalDepth) return;
  throw std::invalid_argument("txtMaxZ: a pass depth of " + shortestText(-passDepth) +
                              " needs more than " + std::to_string(kMostPasses) +
                              " passes to reach the total depth of " + shortestText(-finalDepth) +
                              " (txtDepth)");
}

}  // namespace

void loadSettings() {
  CncSettings& s = cncSettings;
  s.plungeFeed = std::fabs(readSettingFloat("txtFeedZ"));
  s.passDepth = std::fabs(readSettingFloat("txtMaxZ")) * -1.0F;
  s.finalDepth = std::fabs(readSettingFloat("txtDepth")) * -1.0F;
  checkPassCount(s.passDepth, s.finalDepth);
  s.safeZ = readSettingFloat("txtSaveZ");
  s.cutFeed = std::fabs(readSettingFloat("txtFeedCut"));
  s.toolNumber = truncateToInt32(std::fabs(readSettingFloat("txtWZNummer")));
  s.toolDiameter = std::fabs(readSettingFloat("txtWZDia"));

  gcodeWriter.toolChangeLine =
      "T" + formatInt(s.toolNumber) + "M6 ( DIA. " + formatFixed(s.toolDiameter, 4) + "mm )";
  gcodeWriter.lineNumber = 10;
  gcodeWriter.lineStep = 10;
}

double readPrecision() {
  const std::string text = readSettingText("Prezision");
  return strtodClassic(text.c_str(), nullptr);
}

}  // namespace brevanto
