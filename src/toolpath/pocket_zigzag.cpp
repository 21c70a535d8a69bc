#include "toolpath/pocket_zigzag.h"

#include "toolpath/laser_fill.h"

namespace brevanto {
namespace {

// The outermost rings' arcs as chords no further than this (mm) from them:
// round an island a chord comes that much nearer to it.
constexpr double kChordTolerance = 0.0002;

}  // namespace

std::vector<Visit> zigzagVisits(const PocketPass& pass, const JobSettings& s) {
  std::vector<FillRing> area;
  for (const PocketRing& r : pass.rings->rings) {
    if (r.level == 0 && r.closed) area.push_back(ringOf(r.curves, kChordTolerance));
  }
  // The lines of the hatching: a step over apart, to and fro along X.
  JobSettings lines = s;
  lines.lineInterval = s.toolDiameter * s.stepOver / 100.0F;
  lines.fillAngle = 0.0F;
  lines.bidirectional = true;
  lines.overscan = 0.0F;
  std::vector<Visit> visits;
  Point2 at{};
  const auto add = [&](Visit v) {
    if (v.path.empty()) return;
    v.entry = visits.empty() || !linkClear(at, v.path.start(), *pass.reach);
    at = v.closed ? v.path.start() : v.path.pointAt(v.path.length());
    visits.push_back(std::move(v));
  };
  for (const FillRun& run : hatchRegion(area, lines)) {
    for (const FillLine& line : run) {
      Visit v{.path = {}, .closed = false, .entry = false, .helix = false, .helixPath = {}};
      v.path.addLine(line.from, line.to);
      add(std::move(v));
    }
  }
  const bool reverse = s.direction == CutDirection::Conventional;
  for (const PocketRing& r : pass.rings->rings) {
    if (r.level != 0 || r.curves.empty()) continue;
    add({.path = ringPath(r, at, reverse),
         .closed = r.closed,
         .entry = false,
         .helix = false,
         .helixPath = {}});
  }
  return visits;
}

}  // namespace brevanto
