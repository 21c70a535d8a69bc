// Makes a program for the interpreter tests, through the exported sp():
//   make_program SEGMENTS.seg SETTINGS.ini PROGRAM.tap
#include <cstdio>
#include <string>
#include <vector>

#include "brevanto/brevanto.h"
#include "platform/output_location.h"
#include "platform/settings_file.h"
#include "platform/settings_store.h"
#include "support/seg_file.h"

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
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "usage: %s SEGMENTS.seg SETTINGS.ini PROGRAM.tap\n", argv[0]);
  return 2;
}
