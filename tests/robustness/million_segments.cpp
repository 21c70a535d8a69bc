// One sp() call with a very large drawing: N segments (default one million),
// rounded rectangles of four lines and four curved corners each. Prints the
// element counts, the size of the element list in bytes, the program size and
// the wall time; run it under /usr/bin/time -v for the peak memory
// (million_segments.sh does).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "support/segments.h"

namespace {

// The library's path element record: ten doubles and four 32-bit fields. The
// peak memory is judged against the list of them the job holds.
constexpr double kPathElementBytes = 96.0;

std::vector<Segment> roundedRectangles(int32_t count) {
  using brevanto::test::curve;
  using brevanto::test::line;
  std::vector<Segment> segments;
  segments.reserve(static_cast<size_t>(count));
  constexpr double w = 8.0, h = 5.0, r = 1.0, k = 0.5523 * r;
  for (int32_t shape = 1; static_cast<int32_t>(segments.size()) < count; ++shape) {
    const double x = (shape % 500) * 12.0, y = (shape / 500) * 8.0;
    const Segment outline[8] = {
        line(x + r, y, x + w - r, y, 6.0F, shape),
        curve(x + w - r, y, x + w - r + k, y, x + w, y + r - k, x + w, y + r, 3.0F, shape),
        line(x + w, y + r, x + w, y + h - r, 3.0F, shape),
        curve(x + w, y + h - r, x + w, y + h - r + k, x + w - r + k, y + h, x + w - r, y + h, 3.0F,
              shape),
        line(x + w - r, y + h, x + r, y + h, 6.0F, shape),
        curve(x + r, y + h, x + r - k, y + h, x, y + h - r + k, x, y + h - r, 3.0F, shape),
        line(x, y + h - r, x, y + r, 3.0F, shape),
        curve(x, y + r, x, y + r - k, x + r - k, y, x + r, y, 3.0F, shape),
    };
    for (const Segment& s : outline) {
      if (static_cast<int32_t>(segments.size()) < count) segments.push_back(s);
    }
  }
  return segments;
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t count = argc > 1 ? static_cast<int32_t>(std::atol(argv[1])) : 1000000;
  char dir[] = "/tmp/brevanto-million-XXXXXX";
  if (mkdtemp(dir) == nullptr) return 2;
  const std::string program = std::string(dir) + "/Brevanto.tap";
  brevanto::JobOptions options;
  options.programPath = program;  // the library's own file, flushed line by line
  options.settings = [](std::string_view name) -> std::string {
    if (name == "txtFeedZ") return "100";
    if (name == "txtMaxZ" || name == "txtDepth") return "1.5";  // one pass
    if (name == "txtSaveZ") return "5";
    if (name == "txtFeedCut") return "800";
    if (name == "txtWZNummer") return "1";
    if (name == "txtWZDia") return "3";
    if (name == "Dialect" || name == "CutOrder" || name == "ToolOffset") return "";  // defaults
    if (name == "Prezision") return "3";  // as the example settings
    return "";                            // every other setting at its default
  };

  const std::vector<Segment> segments = roundedRectangles(count);
  const auto start = std::chrono::steady_clock::now();
  const brevanto::JobReport report = brevanto::runJob(segments, options);
  const int32_t result = report.result;
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;

  long long programBytes = -1;
  if (FILE* f = std::fopen(program.c_str(), "rb")) {
    std::fseek(f, 0, SEEK_END);
    programBytes = std::ftell(f);
    std::fclose(f);
  }
  std::remove(program.c_str());
  rmdir(dir);

  const double elementMiB =
      static_cast<double>(report.elementsAfterIntake) * kPathElementBytes / 1048576.0;
  std::printf("segments %d (%.1f MiB)\n", count,
              static_cast<double>(count) * sizeof(Segment) / 1048576.0);
  std::printf(
      "elements after intake %d (%.1f MiB), after arc joining %d (%d applications), "
      "after line joining %d (%d applications)\n",
      report.elementsAfterIntake, elementMiB, report.elementsAfterArcJoining,
      report.arcApplications, report.elementsAfterLineJoining, report.lineApplications);
  std::printf("element_list_mib %.1f\n", elementMiB);
  std::printf("program %lld bytes, result %d, %s\n", programBytes, result,
              result >= -1 ? "ok" : report.error.c_str());
  std::printf("seconds %.2f\n", seconds.count());
  return result == report.elementsAfterLineJoining - 1 ? 0 : 1;
}
