// The brevanto command on a generated drawing of 100,000 cubic curves (1,000
// closed shapes of 100 curves each).
//
// First the share of each stage, timed in this process (this thread's CPU
// time): reading the drawing, the library's job, putting the program in
// place, reading it back into moves, the summary, the fidelity figure and
// the preview. Then, when given the path of another build of the command
// (an earlier commit, say), both commands on the same drawing, alternately,
// a few times each, with the CPU time of each run (user + system, from
// wait4); the figures are printed, never judged.
//
//   build/release/bench/brevanto_cli_bench [curves] [BASELINE_COMMAND]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "io/input_file.h"
#include "io/output_file.h"
#include "report/fidelity.h"
#include "report/job_summary.h"
#include "report/program_moves.h"
#include "report/toolpath_preview.h"
#include "settings_choice.h"
#include "svg/svg_import.h"

namespace {

using namespace brevanto;
using namespace brevanto::cli;

double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Wavy rings: each shape a closed chain of cubics around its own centre.
std::string generateDrawing(int curves) {
  const int perShape = 100;
  std::string svg =
      R"(<svg xmlns="http://www.w3.org/2000/svg" width="1000mm" height="1000mm" viewBox="0 0 1000 1000">)"
      "\n<g fill=\"none\" stroke=\"#000\">\n";
  char buffer[160];
  for (int shape = 0; shape * perShape < curves; ++shape) {
    const double cx = 15.0 + (shape % 32) * 30.0;
    const double cy = 15.0 + (shape / 32) * 30.0;
    svg += "<path d=\"";
    const int n = std::min(perShape, curves - shape * perShape);
    for (int i = 0; i <= n; ++i) {
      const double a = 2.0 * M_PI * i / n;
      const double r = 12.0 + ((i % 2) != 0 ? 1.5 : 0.0);
      const double x = cx + r * std::cos(a), y = cy + r * std::sin(a);
      if (i == 0) {
        std::snprintf(buffer, sizeof buffer, "M%.3f %.3f", x, y);
      } else {
        const double b = 2.0 * M_PI * (i - 0.5) / n;
        std::snprintf(buffer, sizeof buffer, "C%.3f %.3f %.3f %.3f %.3f %.3f",
                      cx + 14.0 * std::cos(b - 0.01), cy + 14.0 * std::sin(b - 0.01),
                      cx + 14.0 * std::cos(b + 0.01), cy + 14.0 * std::sin(b + 0.01), x, y);
      }
      svg += buffer;
    }
    svg += "Z\"/>\n";
  }
  svg += "</g>\n</svg>\n";
  return svg;
}

// The stages of one run, as the command runs them.
int timeStages(const std::string& drawingPath, const std::string& dir) {
  std::string error;
  const auto choice = chooseSettings(std::nullopt, {}, error);
  if (!choice) {
    std::fprintf(stderr, "settings: %s\n", error.c_str());
    return 1;
  }
  std::vector<std::pair<const char*, double>> stages;
  double t = threadSeconds();
  auto lap = [&](const char* name) {
    const double now = threadSeconds();
    stages.emplace_back(name, now - t);
    t = now;
  };
  std::string text;
  if (!readRegularFile(drawingPath, size_t{1} << 30, text, error)) return 1;
  const ImportResult drawing = importSvg(text, {});
  if (!drawing.ok()) {
    std::fprintf(stderr, "import failed: %s\n", drawing.error.c_str());
    return 1;
  }
  lap("reading the drawing");
  std::ostringstream stream;
  const JobReport report =
      runJob(drawing.segments, {.settings = choice->source(), .program = &stream});
  if (!report.ok()) {
    std::fprintf(stderr, "job failed: %s\n", report.error.c_str());
    return 1;
  }
  const std::string program = std::move(stream).str();
  lap("the job (sp's stages)");
  if (!replaceFile(dir + "/drawing.tap", program, error)) return 1;
  lap("putting the program in place");
  const auto moves = readProgramMoves(program);
  lap("reading the program's moves");
  auto rows = summarize({drawing.shapes,
                         static_cast<int32_t>(drawing.segments.size()),
                         drawing.skippedCount(),
                         "",
                         "",
                         0,
                         {}},
                        report, moves);
  lap("summary");
  const Deviation deviation = measureDeviation(drawing.segments, moves);
  rows.push_back({"largest deviation", describeDeviation(deviation)});
  lap("fidelity figure");
  if (!replaceFile(dir + "/preview.svg", renderPreview(drawing.segments, moves, rows), error)) {
    return 1;
  }
  lap("preview");
  double total = 0.0;
  for (const auto& stage : stages) total += stage.second;
  std::printf("%zu segments, %d elements, program %zu bytes, drawing %zu bytes\n",
              drawing.segments.size(), report.elementsAfterLineJoining, program.size(),
              text.size());
  for (const auto& [name, seconds] : stages) {
    std::printf("  %-30s %8.3f s CPU  %5.1f %%\n", name, seconds, 100.0 * seconds / total);
  }
  std::printf("  %-30s %8.3f s CPU\n  largest deviation: %s\n", "total", total,
              describeDeviation(deviation).c_str());
  return 0;
}

// CPU seconds (user + system) of one run of `command` on the drawing, its
// summary on standard error going to `log`.
double commandSeconds(const std::string& command, const std::string& drawing,
                      const std::string& program, const std::string& log, const char* tolerance) {
  const pid_t child = fork();
  if (child == 0) {
    if (std::freopen(log.c_str(), "w", stderr) == nullptr) _exit(127);
    const std::string preview = program + ".svg";
    execl(command.c_str(), command.c_str(), "--preview", preview.c_str(), "--tolerance", tolerance,
          "-o", program.c_str(), drawing.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return -1.0;
  }
  auto seconds = [](const timeval& v) { return static_cast<double>(v.tv_sec) + v.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string deviationLine(const std::string& log) {
  std::ifstream in(log);
  std::string line;
  while (std::getline(in, line)) {
    if (line.find("largest deviation") != std::string::npos) return line;
  }
  return "(none)";
}

// Runs of one command with one tolerance, timed side by side.
struct Contender {
  const char* name;
  std::string command;
  const char* tolerance;
};

void compareCommands(const std::string& baseline, const std::string& drawing,
                     const std::string& dir) {
  constexpr int kRuns = 3;
  const Contender contenders[] = {{"this command", BREVANTO_CLI_EXECUTABLE, "0.05"},
                                  {"baseline", baseline, "0.05"},
                                  {"this, 0.01", BREVANTO_CLI_EXECUTABLE, "0.01"},
                                  {"this, none", BREVANTO_CLI_EXECUTABLE, "none"},
                                  {"baseline, 0.01", baseline, "0.01"},
                                  {"baseline, none", baseline, "none"}};
  const size_t n = std::size(contenders);
  std::vector<double> best(n, 1e300);
  for (int run = 0; run < kRuns; ++run) {
    for (size_t c = 0; c < n; ++c) {
      const double s =
          commandSeconds(contenders[c].command, drawing, dir + "/run" + std::to_string(c) + ".tap",
                         dir + "/log" + std::to_string(c), contenders[c].tolerance);
      if (s < 0) {
        std::printf("%s (%s) failed\n", contenders[c].name, contenders[c].command.c_str());
        return;
      }
      best[c] = std::min(best[c], s);
    }
  }
  std::printf("\nwhole command with a preview, best of %d runs each, CPU time (user + system):\n",
              kRuns);
  for (size_t c = 0; c < n; ++c) {
    std::printf("  %-15s --tolerance %-5s %8.3f s   %s\n", contenders[c].name,
                contenders[c].tolerance, best[c],
                deviationLine(dir + "/log" + std::to_string(c)).c_str());
  }
  std::printf("  this / baseline, default tolerance: %.3f\n", best[0] / best[1]);
  std::printf("  this: --tolerance 0.01 / none:      %.3f\n", best[2] / best[3]);
  std::printf("  baseline: --tolerance 0.01 / none:  %.3f\n", best[4] / best[5]);
}

}  // namespace

int main(int argc, char** argv) {
  const int curves = argc > 1 ? std::atoi(argv[1]) : 100000;
  const std::string baseline = argc > 2 ? argv[2] : "";
  const auto dir =
      std::filesystem::temp_directory_path() / ("brevanto-cli-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string drawingPath = (dir / "drawing.svg").string();
  { std::ofstream(drawingPath, std::ios::binary) << generateDrawing(curves); }
  std::printf("%d curves\n", curves);
  int status = timeStages(drawingPath, dir.string());
  if (status == 0 && !baseline.empty()) compareCommands(baseline, drawingPath, dir.string());
  std::filesystem::remove_all(dir);
  return status;
}
