#include "usage_text.h"

#include "brevanto/host.h"
#include "io/input_file.h"
#include "settings_choice.h"

namespace brevanto::cli {
namespace {

std::string choicesText(const SettingInfo& s) {
  std::string text;
  for (const std::string_view c : s.choices) text += (text.empty() ? "" : ", ") + std::string(c);
  return "one of " + text;
}

std::string_view typeName(SettingType type) {
  switch (type) {
    case SettingType::Whole:
      return "whole number";
    case SettingType::Choice:
      return "choice";
    case SettingType::Place:
      return "X,Y or none";
    case SettingType::Text:
      return "text";
    case SettingType::Number:
      break;
  }
  return "number";
}

}  // namespace

std::string helpFooter(size_t largestDrawing) {
  std::string text =
      "Settings (NAME for --set, or a NAME=VALUE line of the settings file), their built-in "
      "values and what each may hold; a number is a plain decimal number with a decimal point "
      "(no comma, unit, hex, NaN or infinity):\n";
  for (const SettingInfo& s : kSettings) {
    text +=
        "  " + std::string(s.name) + "=" + std::string(s.builtIn) + "  " + std::string(s.meaning);
    if (!s.unit.empty()) text += ", " + std::string(s.unit);
    text += "; " + (s.type == SettingType::Choice ? choicesText(s) : std::string(s.range)) + "\n";
  }
  text += "\nDefault settings file: " + defaultSettingsFilePath() +
          " ($BREVANTO_SETTINGS overrides); with none, the built-in values (those of "
          "examples/CNC.ini). A settings file is a regular file of at most " +
          describeSize(kLargestSettingsFile) + "; its lines may stand under [" +
          std::string(kSettingsSection) +
          "], [operation NAME] sections hold operations (any other section is refused), '#' "
          "and ';' start comments, a UTF-8 byte-order "
          "mark is allowed. A line whose name is not a setting is reported (with --strict, "
          "refused: exit status 2). --show-settings prints the settings in effect as such a "
          "file.\n\n"
          "SVG: path, rect, circle, ellipse, line, polyline, polygon, groups, use, transforms, "
          "viewBox, clip paths, markers, <style> sheets, text (the outlines of the installed "
          "font fontconfig chooses, or TextFont's Hershey strokes); units mm, cm, in, pt, px (96 "
          "per inch, or --dpi). Each subpath is one shape; its colour is the stroke, else the "
          "fill. What shows nothing (no stroke or fill, opacity 0, hidden, clipped away), text "
          "along a path, vertical or right-to-left text, and images are left out and listed "
          "with the line of the first of each kind. A drawing is a "
          "regular file of at most 10000000 elements, counting what use references repeat, "
          "and of at most " +
          describeSize(largestDrawing) +
          ".\n\n"
          "Outputs: the program, the preview and the segment dump are each written whole to a "
          "new file beside their target and then renamed over it, so a failed run leaves an "
          "earlier file as it was (a device or pipe such as /dev/null is written into, once "
          "all is done, never replaced; a link has the file it names written; a read-only "
          "file is refused; Ctrl-C removes the unfinished new file); none may be the drawing "
          "or another output.\n\n"
          "Exit status: 0 success, 1 unreadable or invalid drawing (or, with --strict, content "
          "left out), 2 settings refused (also: with --offset, a tool that fits in no shape), 3 "
          "output not written, 4 the path strays further than "
          "--max-deviation, 64 wrong usage.\n";
  return text;
}

std::string settingsTableMarkdown() {
  std::string text =
      "| setting | type | unit | built in | range or choices | meaning |\n"
      "|---|---|---|---|---|---|\n";
  for (const SettingInfo& s : kSettings) {
    text += "| `" + std::string(s.name) + "` | " + std::string(typeName(s.type)) + " | " +
            std::string(s.unit) + " | `" + std::string(s.builtIn) + "` | " +
            (s.type == SettingType::Choice ? choicesText(s) : std::string(s.range)) + " | " +
            std::string(s.meaning) + " |\n";
  }
  return text;
}

}  // namespace brevanto::cli
