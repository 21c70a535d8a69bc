#include "tolerance.h"

#include <cstdlib>
#include <ostream>
#include <sstream>
#include <utility>

#include "io/line_sink.h"

namespace brevanto::cli {
namespace {

// Precision tries: the user's, then a quarter of it, of that, and so on:
// a drawing of large flat curves may need a precision a hundred times finer
// before joining stops merging arcs that part from the curves by tenths.
constexpr int kPrecisionRefinements = 4;
// Then the curves are cut in two this many times at most (each time doubling
// their number), as long as the drawing stays below kMostSplitCurves curves.
constexpr int kSplitRounds = 3;
constexpr size_t kMostSplitCurves = 4000000;

MadeProgram run(const std::vector<Segment>& segments, const JobSettings& settings,
                const DrawingIndex& drawing, std::span<const Segment> drawn,
                const ProgramTarget& target) {
  MadeProgram made;
  if (!target.file->restart()) {
    made.report.result = BREVANTO_OUTPUT_FAILED;
    return made;
  }
  DeviationMeter meter(drawing, target.shapesInOrder);
  ProgramMoveReader reader;
  ProgramMove move;
  LineSink sink(*target.file, [&](std::string_view line) {
    if (!reader.read(line, move)) return;
    made.totals.add(move);
    meter.add(move);
    if (target.keepMoves) made.moves.push_back(move);
  });
  std::ostream stream(&sink);
  made.report = runJob(segments, {.typedSettings = settings, .program = &stream});
  if (!sink.finish() && made.report.ok()) made.report.result = BREVANTO_OUTPUT_FAILED;
  if (!made.report.ok()) return made;
  made.deviation = meter.finish();
  if (!meter.shapesMatched()) {
    // Rare (a shape that cuts nothing): the program is read again and
    // measured whole.
    std::string program;
    if (target.file->readAll(program)) {
      made.deviation = measureDeviation(drawn, readProgramMoves(program));
    }
  }
  return made;
}

// A check cut short (a drawing too dense to measure whole) cannot tell where
// to refine, so it ends the tries; the caller says the figure is a least one.
bool within(const Deviation& d, double tolerance) {
  return !d.measured || !d.whole || d.distance <= tolerance;
}

// Figures of the summary: six digits, as the summary prints its others.
std::string number(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

}  // namespace

std::pair<Segment, Segment> splitCurve(const Segment& s) {
  const auto mid = [](double a, double b) { return (a + b) * 0.5; };
  // Midpoints of the control polygon, of those, and of those: the point at
  // t = 1/2 and the control points of both halves.
  const double ax = mid(s.x0, s.x1), ay = mid(s.y0, s.y1);
  const double bx = mid(s.x1, s.x2), by = mid(s.y1, s.y2);
  const double cx = mid(s.x2, s.x3), cy = mid(s.y2, s.y3);
  const double dx = mid(ax, bx), dy = mid(ay, by);
  const double ex = mid(bx, cx), ey = mid(by, cy);
  const double mx = mid(dx, ex), my = mid(dy, ey);
  Segment first = s, second = s;
  first.x1 = ax, first.y1 = ay, first.x2 = dx, first.y2 = dy, first.x3 = mx, first.y3 = my;
  second.x0 = mx, second.y0 = my, second.x1 = ex, second.y1 = ey, second.x2 = cx, second.y2 = cy;
  return {first, second};
}

MadeProgram makeProgram(const std::vector<Segment>& segments, const JobSettings& settings,
                        std::optional<double> tolerance, const ProgramTarget& target) {
  const DrawingIndex drawing(segments);
  const auto run = [&](const std::vector<Segment>& pieces, const JobSettings& typed) {
    return cli::run(pieces, typed, drawing, segments, target);
  };
  MadeProgram made = run(segments, settings);
  if (!tolerance || !made.report.ok() || within(made.deviation, *tolerance)) return made;

  const double first = made.deviation.distance;
  // A precision of 0 (or not a number) means the default, 3. The finer
  // precisions go to the job as numbers, and the summary names them exactly:
  // a rounded figure would not reproduce the program.
  const double userPrecision = settings.precision > 0.0 ? settings.precision : 3.0;
  JobSettings finer = settings;
  finer.precision = userPrecision;
  for (int i = 0; i < kPrecisionRefinements && !within(made.deviation, *tolerance); ++i) {
    finer.precision /= 4.0;
    made = run(segments, finer);
    if (!made.report.ok()) return made;
  }
  const std::string precisionText = exactText(finer.precision);
  if (within(made.deviation, *tolerance)) {
    made.changes.push_back("joining at Prezision=" + exactText(userPrecision) + " strayed " +
                           number(first) + " mm; used Prezision=" + precisionText);
    return made;
  }

  std::vector<Segment> pieces = segments;
  int rounds = 0;
  while (rounds < kSplitRounds && !within(made.deviation, *tolerance) &&
         pieces.size() < kMostSplitCurves) {
    std::vector<Segment> halves;
    halves.reserve(pieces.size() * 2);
    for (const Segment& s : pieces) {
      if (s.kind != 1) {
        halves.push_back(s);
        continue;
      }
      const auto [a, b] = splitCurve(s);
      halves.push_back(a);
      halves.push_back(b);
    }
    pieces = std::move(halves);
    ++rounds;
    // Measured against the drawing itself, not its pieces.
    made = run(pieces, finer);
    if (!made.report.ok()) return made;
  }
  made.changes.push_back("Prezision=" + precisionText + " (from " + exactText(userPrecision) +
                         "), curves cut in two " + std::to_string(rounds) + " time(s)");
  return made;
}

}  // namespace brevanto::cli
