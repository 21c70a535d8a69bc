// sp() on generated drawings of 1,000 to 100,000 curves and lines, measured
// against the floor that no implementation can beat: writing the same number
// of program lines (of the same average length) through the same per-line
// flush, with no geometry at all. The counters `sp_per_floor` (wall time) and
// `sp_per_floor_cpu` (this thread's CPU time) are the ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "bench_support.h"
#include "brevanto/host.h"

namespace {

using brevanto::bench::lineSegment;
using brevanto::bench::Spent;
using brevanto::bench::timeInto;

constexpr double kKappa = 0.5522847498307936;  // control distance of a quarter circle

// Quarter circle of radius r about (cx, cy) from angle a0 to a0 + 90 degrees
// (counter-clockwise), as one cubic.
Segment cornerSegment(double cx, double cy, double r, int quadrant, int32_t shape) {
  static constexpr int kCos[4] = {1, 0, -1, 0};
  static constexpr int kSin[4] = {0, 1, 0, -1};
  const int q0 = quadrant % 4, q1 = (quadrant + 1) % 4;
  const double k = kKappa * r;
  Segment s{};
  s.kind = 1;
  s.x0 = cx + r * kCos[q0];
  s.y0 = cy + r * kSin[q0];
  s.x1 = s.x0 - k * kSin[q0];
  s.y1 = s.y0 + k * kCos[q0];
  s.x3 = cx + r * kCos[q1];
  s.y3 = cy + r * kSin[q1];
  s.x2 = s.x3 + k * kSin[q1];
  s.y2 = s.y3 - k * kCos[q1];
  s.length = static_cast<float>(r * 3.141592653589793 / 2);
  s.shapeKey = shape;
  s.colour = 0x0000FF;
  return s;
}

// Rounded rectangles of ten segments each (four corner curves, six lines, the
// long sides in two collinear pieces), laid out on a grid: `count` segments.
std::vector<Segment> makeDrawing(int64_t count) {
  std::vector<Segment> out;
  out.reserve(static_cast<size_t>(count));
  constexpr double w = 20, h = 10, r = 2;
  for (int32_t shape = 1; static_cast<int64_t>(out.size()) + 10 <= count; ++shape) {
    const double x = (shape % 100) * 30.0, y = (shape / 100) * 20.0;
    out.push_back(lineSegment(x + r, y, x + w / 2, y, shape));
    out.push_back(lineSegment(x + w / 2, y, x + w - r, y, shape));
    out.push_back(cornerSegment(x + w - r, y + r, r, 3, shape));
    out.push_back(lineSegment(x + w, y + r, x + w, y + h - r, shape));
    out.push_back(cornerSegment(x + w - r, y + h - r, r, 0, shape));
    out.push_back(lineSegment(x + w - r, y + h, x + w / 2, y + h, shape));
    out.push_back(lineSegment(x + w / 2, y + h, x + r, y + h, shape));
    out.push_back(cornerSegment(x + r, y + h - r, r, 1, shape));
    out.push_back(lineSegment(x, y + h - r, x, y + r, shape));
    out.push_back(cornerSegment(x + r, y + r, r, 2, shape));
  }
  return out;
}

std::string settingFor(std::string_view name) {
  if (name == "txtFeedZ") return "200";
  if (name == "txtMaxZ") return "1";
  if (name == "txtDepth") return "2";
  if (name == "txtSaveZ") return "5";
  if (name == "txtFeedCut") return "800";
  if (name == "txtWZNummer") return "1";
  if (name == "txtWZDia") return "3";
  return "";  // Prezision: the default
}

struct ProgramFile {
  std::string path = (std::filesystem::temp_directory_path() / "brevanto-bench.tap").string();
  ~ProgramFile() {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
};

struct FileShape {
  int64_t lines = 0;
  int64_t bytes = 0;
};

FileShape measure(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  FileShape shape;
  for (std::istreambuf_iterator<char> it(in), end; it != end; ++it) {
    ++shape.bytes;
    if (*it == '\n') ++shape.lines;
  }
  return shape;
}

// The floor: `lines` lines of `lineText`, each written with its CR LF and
// flushed at once as the library's own program file is, into a stream opened
// the way the job opens it.
void writeFloor(const std::string& path, int64_t lines, const std::string& lineText) {
  std::ofstream out(path, std::ios::out | std::ios::trunc | std::ios::binary);
  for (int64_t i = 0; i < lines; ++i) {
    out.write(lineText.data(), static_cast<std::streamsize>(lineText.size()));
    out.write("\r\n", 2);
    out.flush();
  }
}

void BM_SpWithFloor(benchmark::State& state) {
  ProgramFile file;
  const std::vector<Segment> drawing = makeDrawing(state.range(0));
  brevanto::JobOptions options;
  options.settings = settingFor;
  options.programPath = file.path;
  int32_t result = 0;
  Spent spSpent;
  int64_t runs = 0;
  for (auto _ : state) {
    timeInto(spSpent, [&] { result = brevanto::runJob(drawing, options).result; });
    ++runs;
    benchmark::DoNotOptimize(result);
  }

  // The same number of lines and bytes as sp's program; until the program
  // writer exists (an empty file) one line per element written stands in.
  FileShape program = measure(file.path);
  if (program.lines == 0) program = {int64_t{result} + 1, (int64_t{result} + 1) * 32};
  const auto textLength = static_cast<size_t>(program.bytes / program.lines - 2);
  const std::string lineText(textLength > 0 ? textLength : 1, '0');
  Spent floorSpent;
  for (int64_t i = 0; i < runs; ++i) {
    timeInto(floorSpent, [&] { writeFloor(file.path, program.lines, lineText); });
  }

  state.counters["elements"] = result + 1;
  state.counters["program_lines"] = static_cast<double>(program.lines);
  const double perRun = 1000 / static_cast<double>(runs);
  state.counters["sp_ms"] = spSpent.wall * perRun;
  state.counters["floor_ms"] = floorSpent.wall * perRun;
  state.counters["sp_per_floor"] = spSpent.wall / floorSpent.wall;
  state.counters["sp_cpu_ms"] = spSpent.cpu * perRun;
  state.counters["floor_cpu_ms"] = floorSpent.cpu * perRun;
  state.counters["sp_per_floor_cpu"] = spSpent.cpu / floorSpent.cpu;
}
BENCHMARK(BM_SpWithFloor)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
