// Makes a program for the interpreter tests, through the library's job:
//   make_program SEGMENTS.seg SETTINGS.ini PROGRAM.tap [DIALECT]
// DIALECT, when given, stands for the settings file's "Dialect".
#include <cstdio>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "support/seg_file.h"

namespace {

int makeProgram(const std::vector<Segment>& segments, const std::string& ini,
                const std::string& program, const char* dialect) {
  brevanto::JobOptions options;
  options.settings = [ini, dialect](std::string_view name) {
    if (dialect != nullptr && name == "Dialect") return std::string(dialect);
    return brevanto::readSettingsFileValue(ini, name);
  };
  options.programPath = program;
  const brevanto::JobReport report = brevanto::runJob(segments, options);
  if (!report.ok()) {
    std::fprintf(stderr, "the job failed (%d): %s\n", report.result, report.error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 4 || argc == 5) {
      return makeProgram(brevanto::test::readSegFile(argv[1]), argv[2], argv[3],
                         argc == 5 ? argv[4] : nullptr);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "usage: %s SEGMENTS.seg SETTINGS.ini PROGRAM.tap [DIALECT]\n", argv[0]);
  return 2;
}
