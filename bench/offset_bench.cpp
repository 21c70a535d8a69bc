// The cut-out stage (nesting, tool-radius offset outside, inside-first order)
// on generated sheets of gears, each with a bore and four square windows, of
// about 1,000 to 100,000 path elements. The baseline is the same drawing
// through the same job without the stage, measured in the same run; the
// counters `cutout_per_plain` (wall time) and `cutout_per_plain_cpu` (this
// thread's CPU time) are the ratio, `us_per_element` shows the growth.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "bench_support.h"
#include "brevanto/host.h"

namespace {

using brevanto::bench::arcSegment;
using brevanto::bench::lineSegment;
using brevanto::bench::Spent;
using brevanto::bench::timeInto;

constexpr double kPi = 3.141592653589793;
constexpr int kTeeth = 12;
// Path elements of one gear after joining: three lines and a root arc per
// tooth, the bore, four windows of four lines.
constexpr int64_t kElementsPerGear = 4 * kTeeth + 1 + 16;

void addGear(std::vector<Segment>& out, double cx, double cy, int32_t& shape) {
  constexpr double root = 30.0, tip = 36.0;
  const double pitch = 2.0 * kPi / kTeeth;
  const auto at = [&](double a, double r) {
    return std::pair{cx + r * std::cos(a), cy + r * std::sin(a)};
  };
  for (int i = 0; i < kTeeth; ++i) {
    const double a = i * pitch;
    const auto p0 = at(a, root), p1 = at(a + 0.15 * pitch, tip), p2 = at(a + 0.45 * pitch, tip),
               p3 = at(a + 0.6 * pitch, root);
    out.push_back(lineSegment(p0.first, p0.second, p1.first, p1.second, shape));
    out.push_back(lineSegment(p1.first, p1.second, p2.first, p2.second, shape));
    out.push_back(lineSegment(p2.first, p2.second, p3.first, p3.second, shape));
    out.push_back(arcSegment(cx, cy, root, a + 0.6 * pitch, a + pitch, shape));
  }
  ++shape;
  for (int i = 0; i < 8; ++i) {
    const double a = kPi + i * kPi / 4.0;
    out.push_back(arcSegment(cx, cy, 6.0, a, a + kPi / 4.0, shape));
  }
  ++shape;
  for (int w = 0; w < 4; ++w) {
    const auto c = at(w * kPi / 2.0 + kPi / 4.0, 17.0);
    const double x0 = c.first - 3, y0 = c.second - 3, x1 = c.first + 3, y1 = c.second + 3;
    out.push_back(lineSegment(x0, y0, x1, y0, shape));
    out.push_back(lineSegment(x1, y0, x1, y1, shape));
    out.push_back(lineSegment(x1, y1, x0, y1, shape));
    out.push_back(lineSegment(x0, y1, x0, y0, shape));
    ++shape;
  }
}

std::vector<Segment> makeSheet(int64_t elements) {
  std::vector<Segment> out;
  const int64_t gears = std::max<int64_t>(1, elements / kElementsPerGear);
  const auto columns = static_cast<int64_t>(std::ceil(std::sqrt(static_cast<double>(gears))));
  int32_t shape = 1;
  for (int64_t g = 0; g < gears; ++g) {
    addGear(out, static_cast<double>(g % columns) * 80.0, static_cast<double>(g / columns) * 80.0,
            shape);
  }
  return out;
}

std::string settingFor(std::string_view name, bool cutOut) {
  if (name == "txtFeedZ") return "200";
  if (name == "txtMaxZ") return "2";
  if (name == "txtDepth") return "2";
  if (name == "txtSaveZ") return "5";
  if (name == "txtFeedCut") return "800";
  if (name == "txtWZNummer") return "1";
  if (name == "txtWZDia") return "3";
  if (name == "CutOrder") return cutOut ? "inside-first" : "";
  if (name == "ToolOffset") return cutOut ? "outside" : "";
  return "";  // Prezision: the default
}

brevanto::JobReport timed(Spent& spent, const std::vector<Segment>& drawing, bool cutOut) {
  brevanto::bench::NullBuffer sink;
  std::ostream program(&sink);
  brevanto::JobOptions options;
  options.settings = [cutOut](std::string_view name) { return settingFor(name, cutOut); };
  options.program = &program;
  brevanto::JobReport report;
  timeInto(spent, [&] { report = brevanto::runJob(drawing, options); });
  return report;
}

void BM_CutOutAgainstPlainJob(benchmark::State& state) {
  const std::vector<Segment> drawing = makeSheet(state.range(0));
  Spent plain, cutOut;
  brevanto::JobReport report;
  int64_t runs = 0;
  for (auto _ : state) {
    report = timed(cutOut, drawing, true);
    timed(plain, drawing, false);
    ++runs;
    benchmark::DoNotOptimize(report.result);
  }
  if (!report.ok()) state.SkipWithError(report.error.c_str());
  const double perRun = 1000 / static_cast<double>(runs);
  state.counters["elements"] = report.elementsAfterLineJoining;
  state.counters["parts"] = report.parts;
  state.counters["holes"] = report.holes;
  state.counters["plain_ms"] = plain.wall * perRun;
  state.counters["cutout_ms"] = cutOut.wall * perRun;
  state.counters["cutout_per_plain"] = cutOut.wall / plain.wall;
  state.counters["cutout_per_plain_cpu"] = cutOut.cpu / plain.cpu;
  state.counters["us_per_element"] =
      1000.0 * (cutOut.wall - plain.wall) * perRun / report.elementsAfterLineJoining;
}
BENCHMARK(BM_CutOutAgainstPlainJob)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
