// Pockets (Kind=pocket) on generated sheets of 1,000 shapes of 20 curves
// each: a wavy outline of 16 lines round an island of 4 arcs, 24 mm across,
// cleared 3 mm deep in two passes with a 3 mm tool and helix entries. The
// counter `cpu_s` is this thread's CPU time for the whole job (the program
// discarded); the aim is under 2 s.
#include <benchmark/benchmark.h>

#include <cmath>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "bench_support.h"
#include "brevanto/host.h"

namespace {

using brevanto::bench::arcSegment;

constexpr double kPi = 3.141592653589793;

std::vector<Segment> makeSheet(int count) {
  std::vector<Segment> out;
  int32_t shape = 1;
  for (int i = 0; i < count; ++i) {
    const double cx = (i % 40) * 30.0, cy = (i / 40) * 30.0;
    const auto at = [&](int k) {
      const double a = 2.0 * kPi * k / 16.0, r = k % 2 == 0 ? 12.0 : 10.0;
      return std::pair{cx + r * std::cos(a), cy + r * std::sin(a)};
    };
    for (int k = 0; k < 16; ++k) {
      const auto [x0, y0] = at(k);
      const auto [x1, y1] = at(k + 1);
      out.push_back(brevanto::bench::lineSegment(x0, y0, x1, y1, shape));
    }
    ++shape;
    for (int k = 0; k < 4; ++k)
      out.push_back(arcSegment(cx, cy, 3.0, kPi + k * kPi / 2.0, kPi + (k + 1) * kPi / 2.0, shape));
    ++shape;
  }
  return out;
}

std::string settingFor(std::string_view name) {
  if (name == "txtFeedZ") return "200";
  if (name == "txtMaxZ") return "1.5";
  if (name == "txtDepth") return "3";
  if (name == "txtSaveZ") return "5";
  if (name == "txtFeedCut") return "800";
  if (name == "txtWZNummer") return "1";
  if (name == "txtWZDia") return "3";
  if (name == "Kind") return "pocket";
  if (name == "RampAngle") return "3";
  return "";
}

void BM_Pockets(benchmark::State& state) {
  const std::vector<Segment> drawing = makeSheet(static_cast<int>(state.range(0)));
  brevanto::bench::Spent spent;
  brevanto::JobReport report;
  for (auto _ : state) {
    brevanto::bench::NullBuffer sink;
    std::ostream program(&sink);
    brevanto::JobOptions options;
    options.settings = settingFor;
    options.program = &program;
    brevanto::bench::timeInto(spent, [&] { report = brevanto::runJob(drawing, options); });
  }
  if (!report.ok()) state.SkipWithError(report.error.c_str());
  state.counters["cpu_s"] = spent.cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Pockets)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
