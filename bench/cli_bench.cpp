// Times the brevanto command's stages on a generated drawing of 100,000
// cubic curves (1,000 closed shapes of 100 curves each) and prints the share
// of each: reading the drawing (XML and SVG), the library's job (what sp
// runs, with the program writer timed once more on its own), and the
// command's own output (summary from the program, preview).
//
//   build/release/bench/brevanto_cli_bench [curves]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "gcode/program_writer.h"
#include "job/job.h"
#include "platform/output_location.h"
#include "platform/settings_store.h"
#include "report/job_summary.h"
#include "report/program_moves.h"
#include "report/toolpath_preview.h"
#include "settings_choice.h"
#include "svg/svg_import.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
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

// As the command reads its files: in one piece.
std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::string bytes(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace brevanto;
  using namespace brevanto::cli;
  const int curves = argc > 1 ? std::atoi(argv[1]) : 100000;
  const auto dir = std::filesystem::temp_directory_path() / "brevanto-cli-bench";
  std::filesystem::create_directories(dir);
  const std::string drawingPath = (dir / "drawing.svg").string();
  const std::string programPath = (dir / "drawing.tap").string();
  { std::ofstream(drawingPath, std::ios::binary) << generateDrawing(curves); }
  std::string error;
  installSettings(*chooseSettings(std::nullopt, {}, error));  // as the command does
  if (const auto builtIn = chooseSettings(std::nullopt, {}, error);
      builtIn && builtIn->base != SettingsChoice::Base::BuiltIn) {
    std::printf("(settings from %s)\n", builtIn->filePath.c_str());
  }
  setOutputPath(programPath);

  const auto t0 = Clock::now();
  const std::string text = readWholeFile(drawingPath);
  const ImportResult drawing = importSvg(text, {});
  const auto t1 = Clock::now();
  if (!drawing.ok()) {
    std::fprintf(stderr, "import failed: %s\n", drawing.error.c_str());
    return 1;
  }
  JobReport report;
  report.keepElements = true;
  const auto last = static_cast<int32_t>(drawing.segments.size()) - 1;
  const int32_t result = runGuardedJob(drawing.segments.data(), &last, &report);
  const auto t2 = Clock::now();
  if (result < -1) {
    std::fprintf(stderr, "job failed: %s\n", lastJobError());
    return 1;
  }
  const std::string program = readWholeFile(programPath);
  const auto moves = readProgramMoves(program);
  const auto rows = summarize(
      {drawing.shapes, static_cast<int32_t>(drawing.segments.size()), drawing.skippedCount(), ""},
      report, moves);
  std::ofstream(dir / "preview.svg", std::ios::binary)
      << renderPreview(drawing.segments, moves, rows);
  const auto t3 = Clock::now();
  // The program writer alone, on the same final elements.
  writeProgram(report.elements.data(), static_cast<int32_t>(report.elements.size()));
  const auto t4 = Clock::now();

  const double parse = seconds(t0, t1), job = seconds(t1, t2), output = seconds(t2, t3);
  const double total = parse + job + output;
  const double writer = seconds(t3, t4);
  std::printf("%d curves, %zu segments, %d elements, program %zu bytes, drawing %zu bytes\n",
              curves, drawing.segments.size(), report.elementsAfterLineJoining, program.size(),
              text.size());
  std::printf("reading the drawing   %8.3f s  %5.1f %%\n", parse, 100.0 * parse / total);
  std::printf("sp (job)              %8.3f s  %5.1f %%\n", job, 100.0 * job / total);
  std::printf("  of which writing the program about %.3f s (%.1f %% of all)\n", writer,
              100.0 * writer / total);
  std::printf("summary and preview   %8.3f s  %5.1f %%\n", output, 100.0 * output / total);
  std::printf("total                 %8.3f s\n", total);
  std::filesystem::remove_all(dir);
  return 0;
}
