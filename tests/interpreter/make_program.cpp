// Makes a program for the interpreter tests, through the exported sp():
//   make_program SEGMENTS.seg SETTINGS.ini PROGRAM.tap
//   make_program --svg DRAWING.svg SETTINGS.ini SEGMENTS.seg PROGRAM.tap
// The second form (built with the command-line tool's SVG reader) also writes
// the drawing's Segment records, the curves the program is measured against.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "brevanto/brevanto.h"
#include "platform/output_location.h"
#include "platform/settings_file.h"
#include "platform/settings_store.h"
#include "support/seg_file.h"
#ifdef BREVANTO_WITH_SVG
#include "svg_import.h"
#endif

namespace {

int makeProgram(const std::vector<Segment>& segments, const std::string& ini,
                const std::string& program) {
  brevanto::setSettingsSource(
      [ini](std::string_view name) { return brevanto::readSettingsFileValue(ini, name); });
  brevanto::setOutputPath(program);
  const auto last = static_cast<int32_t>(segments.size()) - 1;
  const int32_t result = sp(segments.data(), &last);
  if (result < -1) {
    std::fprintf(stderr, "sp failed (%d): %s\n", result, spLastError());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 4) {
      return makeProgram(brevanto::test::readSegFile(argv[1]), argv[2], argv[3]);
    }
#ifdef BREVANTO_WITH_SVG
    if (argc == 6 && std::strcmp(argv[1], "--svg") == 0) {
      std::ifstream in(argv[2], std::ios::binary);
      const std::string text(std::istreambuf_iterator<char>(in), {});
      const brevanto::cli::ImportResult drawing = brevanto::cli::importSvg(text, {});
      if (!in || !drawing.ok()) {
        std::fprintf(stderr, "%s: cannot read the drawing: %s\n", argv[2], drawing.error.c_str());
        return 1;
      }
      brevanto::test::writeSegFile(argv[4], drawing.segments);
      return makeProgram(drawing.segments, argv[3], argv[5]);
    }
#endif
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "usage: %s SEGMENTS.seg SETTINGS.ini PROGRAM.tap\n", argv[0]);
  return 2;
}
