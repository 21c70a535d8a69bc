// What a dialect with a digit limit can write: the settings' own words and
// every point of a list, checked with the composer the program is written
// with, into nothing.
#include <sstream>
#include <string>

#include "base/job_error.h"
#include "gcode/number_format.h"
#include "gcode/program_writer.h"

namespace brevanto {

void checkSettingWords(const JobSettings& settings) {
  const BlockStyle style = blockStyle(settings);
  if (style.digitLimit <= 0) return;
  // The same composer the program is written with, into nothing: it refuses
  // the first number that would lose a digit, by the setting's name (the
  // drawing is not at fault there).
  std::ostringstream nowhere;
  GcodeWriter probe(nowhere, false, style);
  const struct {
    char letter;
    std::string text;
    const char* setting;
  } settingWords[] = {{'F', formatFixed(settings.cutFeed, 4), "txtFeedCut"},
                      {'F', formatFixed(settings.plungeFeed, 1), "txtFeedZ"},
                      {'Z', formatFixed(settings.safeZ, 4), "txtSaveZ"},
                      {'Z', formatFixed(settings.finalDepth, 4), "txtDepth"}};
  for (const auto& word : settingWords) {
    try {
      probe.beginBlock();
      probe.addBlockWord(word.letter, word.text);
    } catch (const JobError& e) {
      throw JobError(BREVANTO_DIALECT_REFUSED, std::string(word.setting) + ": " + e.what() +
                                                   "; give it with at most " +
                                                   std::to_string(style.digitLimit) + " digits");
    }
  }
}

void checkWritable(const PathElement* elements, int32_t count, const JobSettings& settings) {
  const BlockStyle style = blockStyle(settings);
  if (style.digitLimit <= 0) return;
  checkSettingWords(settings);
  std::ostringstream nowhere;
  GcodeWriter probe(nowhere, false, style);
  for (int32_t i = 0; i < count; ++i) {
    const PathElement& e = elements[i];
    probe.beginBlock();
    probe.addBlockNumber('X', e.startX);
    probe.addBlockNumber('Y', e.startY);
    probe.addBlockNumber('X', e.endX);
    probe.addBlockNumber('Y', e.endY);
    if (e.radius > 0.0 && isFullCircle(e)) probe.addBlockNumber('X', e.endX + 2.0 * e.radius);
  }
}

}  // namespace brevanto
