// The cut-out stage through the job: settings, nesting counts, the offset
// toolpath's elements and order, the places where the tool does not fit. How
// far the interpreted toolpath lies from the drawing is measured with LinuxCNC
// (tests/interpreter/measure_offset.py).
#include "job/cut_out.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/path_element.h"
#include "geometry/point2.h"
#include "settings/settings.h"
#include "support/job_stages.h"
#include "support/segments.h"
#include "support/settings_source.h"

namespace brevanto {
namespace {

using test::line;

constexpr double kPi = 3.141592653589793;

// Closed polygon through `pts`, one shape.
void polygon(std::vector<Segment>& d, const std::vector<Point2>& pts, int32_t key) {
  for (size_t i = 0; i < pts.size(); ++i) {
    const Point2 a = pts[i], b = pts[(i + 1) % pts.size()];
    d.push_back(
        line(a.x, a.y, b.x, b.y, static_cast<float>(std::hypot(b.x - a.x, b.y - a.y)), key));
  }
}

void square(std::vector<Segment>& d, double x0, double y0, double x1, double y1, int32_t key) {
  polygon(d, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, key);
}

// A circle as eight cubics from its leftmost point; the joining makes it a
// full circle.
void circle(std::vector<Segment>& d, double cx, double cy, double r, int32_t key) {
  const double step = kPi / 4.0;
  const double h = 4.0 / 3.0 * std::tan(step / 4.0) * r;
  for (int i = 0; i < 8; ++i) {
    const double a0 = kPi + i * step, a1 = a0 + step;
    const Point2 p0{cx + r * std::cos(a0), cy + r * std::sin(a0)};
    const Point2 p3{cx + r * std::cos(a1), cy + r * std::sin(a1)};
    d.push_back(test::curve(p0.x, p0.y, p0.x - h * std::sin(a0), p0.y + h * std::cos(a0),
                            p3.x + h * std::sin(a1), p3.y - h * std::cos(a1), p3.x, p3.y,
                            static_cast<float>(r * step), key));
  }
}

struct CutOutRun {
  std::vector<PathElement> elements;
  JobReport report;
  std::vector<std::vector<PathElement>> shapes() const {
    std::vector<std::vector<PathElement>> out;
    for (size_t i = 0; i < elements.size(); ++i) {
      if (i == 0 || elements[i].shapeKey != elements[i - 1].shapeKey) out.emplace_back();
      out.back().push_back(elements[i]);
    }
    return out;
  }
};

CutOutRun cutOutOf(const std::vector<Segment>& drawing, CutOrder order, ToolOffset offset,
                   float toolDiameter, double precision = 0.0) {
  CutOutRun run;
  run.elements = test::joinedElements(drawing, &run.report, precision);
  JobSettings settings;
  settings.toolDiameter = toolDiameter;
  settings.cutOrder = order;
  settings.toolOffset = offset;
  cutOut(run.elements, settings, run.report);
  return run;
}

TEST(CutOutSettings, ChoicesAndRefusals) {
  const struct {
    const char* cutOrder;
    const char* toolOffset;
    CutOrder order;
    ToolOffset offset;
    const char* refusal;  // nullptr: accepted
  } cases[] = {
      {"", "", CutOrder::Drawing, ToolOffset::None, nullptr},
      {"drawing", "none", CutOrder::Drawing, ToolOffset::None, nullptr},
      {" Inside-First\r", "OUTSIDE ", CutOrder::InsideFirst, ToolOffset::Outside, nullptr},
      {"inside-first", "inside", CutOrder::InsideFirst, ToolOffset::Inside, nullptr},
      {"nearest",
       "",
       {},
       {},
       "CutOrder: \"nearest\" is not one of its values (drawing, inside-first)"},
      {"", "left", {}, {}, "ToolOffset: \"left\" is not one of its values (none, outside, inside)"},
  };
  for (const auto& c : cases) {
    test::SettingsMap values = test::workedExampleSettings();
    values["CutOrder"] = c.cutOrder;
    values["ToolOffset"] = c.toolOffset;
    test::SettingsTable table(values);
    if (c.refusal == nullptr) {
      const JobSettings s = loadSettings(table.source());
      EXPECT_EQ(s.cutOrder, c.order) << c.cutOrder;
      EXPECT_EQ(s.toolOffset, c.offset) << c.toolOffset;
      continue;
    }
    std::ostringstream program;
    const JobReport r = runJob({}, {.settings = table.source(), .program = &program});
    EXPECT_EQ(r.result, BREVANTO_SETTINGS_REFUSED);
    EXPECT_EQ(r.error, c.refusal);
    EXPECT_TRUE(program.str().empty());
  }
}

TEST(CutOutNesting, CountsPartsHolesOpenLinesAndCrossings) {
  const struct {
    const char* name;
    std::vector<Segment> drawing;
    int32_t parts, holes, open, crossing;
  } cases[] = {
      {"plate with a hole",
       [] {
         std::vector<Segment> d;
         square(d, 0, 0, 100, 60, 1);
         circle(d, 50, 30, 10, 2);
         return d;
       }(),
       1, 1, 0, 0},
      {"part in a hole in a part, beside a line",
       [] {
         std::vector<Segment> d;
         square(d, 0, 0, 50, 50, 1);
         d.push_back(line(60, 0, 70, 0, 10, 2));
         square(d, 10, 10, 40, 40, 3);
         square(d, 20, 20, 30, 30, 4);
         return d;
       }(),
       2, 1, 1, 0},
      {"two crossing squares and one inside both",
       [] {
         std::vector<Segment> d;
         square(d, 0, 0, 20, 20, 1);
         square(d, 10, 10, 30, 30, 2);
         square(d, 14, 14, 16, 16, 3);
         return d;
       }(),
       2, 1, 0, 2},
      {"a hole straight above a vertex where the outline's lines meet within a rounding",
       [] {
         std::vector<Segment> d;
         polygon(d, {{30, 10}, {10, 30}, {30, 50}, {50, 30}, {30 + 1e-12, 10}}, 1);
         polygon(d, {{30, 20}, {40, 30}, {30, 40}, {20, 30}}, 2);
         return d;
       }(),
       1, 1, 0, 0},
      {"a stroke out and back encloses nothing",
       [] {
         std::vector<Segment> d;
         d.push_back(line(0, 0, 10, 0, 10, 1));
         d.push_back(line(10, 0, 0, 0, 10, 1));
         return d;
       }(),
       0, 0, 1, 0},
  };
  for (const auto& c : cases) {
    const CutOutRun r = cutOutOf(c.drawing, CutOrder::InsideFirst, ToolOffset::None, 3.0F);
    EXPECT_EQ(r.report.parts, c.parts) << c.name;
    EXPECT_EQ(r.report.holes, c.holes) << c.name;
    EXPECT_EQ(r.report.openShapes, c.open) << c.name;
    EXPECT_EQ(r.report.crossingShapes, c.crossing) << c.name;
  }
}

// The plate: the hole first, as a full circle 3 mm smaller, then the outline
// 3 mm outside with a corner arc of radius 3 about every corner, each shape
// with its own key.
TEST(CutOutOffset, PlateWithHoleOutsideInsideFirst) {
  std::vector<Segment> d;
  square(d, 0, 0, 100, 60, 1);
  circle(d, 50, 30, 10, 2);
  const CutOutRun r = cutOutOf(d, CutOrder::InsideFirst, ToolOffset::Outside, 6.0F);
  const auto shapes = r.shapes();
  ASSERT_EQ(shapes.size(), 2u);
  ASSERT_EQ(shapes[0].size(), 1u);
  const PathElement& hole = shapes[0][0];
  EXPECT_EQ(hole.shapeKey, 2);
  EXPECT_TRUE(isFullCircle(hole));
  EXPECT_NEAR(hole.radius, 7.0, 1e-4);
  EXPECT_NEAR(hole.centreX, 50.0, 1e-4);
  EXPECT_NEAR(hole.centreY, 30.0, 1e-4);
  int arcs = 0;
  for (const PathElement& e : shapes[1]) {
    EXPECT_EQ(e.shapeKey, 1);
    if (e.radius > 0.0) {
      ++arcs;
      EXPECT_NEAR(e.radius, 3.0, 1e-9);
      EXPECT_EQ(e.clockwise, 0);  // the square runs counter-clockwise
    }
  }
  EXPECT_EQ(arcs, 4);
  EXPECT_EQ(shapes[1].size(), 8u);
  EXPECT_TRUE(r.report.toolMisfits.empty());
}

// Closed outlines that cross themselves with lobes turning opposite ways
// (their signed areas cancel) enclose what a renderer fills: each lobe. The
// toolpath keeps the tool radius from the outline, outside every lobe for
// ToolOffset outside, inside one for inside.
TEST(CutOutOffset, SelfCrossingLobesAreFilled) {
  std::vector<Segment> eight;  // symmetric, drawn from its waist
  const double c[4][8] = {{50, 50, 65, 30, 90, 30, 90, 50},
                          {90, 50, 90, 70, 65, 70, 50, 50},
                          {50, 50, 35, 30, 10, 30, 10, 50},
                          {10, 50, 10, 70, 35, 70, 50, 50}};
  for (const auto& q : c) {
    eight.push_back(test::curve(q[0], q[1], q[2], q[3], q[4], q[5], q[6], q[7], 40.0F, 1));
  }
  std::vector<Segment> bowTie;
  polygon(bowTie, {{10, 10}, {90, 90}, {90, 10}, {10, 90}}, 1);
  const double radius = 3.0;
  for (const auto* drawing : {&eight, &bowTie}) {
    // The outline as a polygon of many points, for distance and winding.
    std::vector<Point2> outline;
    for (const Segment& g : *drawing) {
      for (int i = 0; i < 400; ++i) {
        const double t = i / 400.0, u = 1.0 - t;
        const double a = u * u * u, b = 3 * u * u * t, d = 3 * u * t * t, e = t * t * t;
        outline.push_back(g.kind == 1 ? Point2{a * g.x0 + b * g.x1 + d * g.x2 + e * g.x3,
                                               a * g.y0 + b * g.y1 + d * g.y2 + e * g.y3}
                                      : Point2{g.x0 + (g.x3 - g.x0) * t, g.y0 + (g.y3 - g.y0) * t});
      }
    }
    for (const ToolOffset mode : {ToolOffset::Outside, ToolOffset::Inside}) {
      SCOPED_TRACE(drawing == &eight ? "figure eight" : "bow-tie");
      const CutOutRun r = cutOutOf(*drawing, CutOrder::Drawing, mode, 2.0F * radius);
      EXPECT_EQ(r.report.parts, 1);
      EXPECT_EQ(r.report.openShapes, 0);
      ASSERT_FALSE(r.elements.empty());
      for (const PathElement& e : r.elements) {
        const Point2 p{e.endX, e.endY};
        double nearest = HUGE_VAL;
        int winding = 0;
        for (size_t i = 0; i < outline.size(); ++i) {
          const Point2 a = outline[i], b = outline[(i + 1) % outline.size()];
          nearest = std::min(nearest, std::hypot(p.x - a.x, p.y - a.y));
          const double side = (b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y);
          if (a.y <= p.y && b.y > p.y && side > 0) ++winding;
          if (a.y > p.y && b.y <= p.y && side < 0) --winding;
        }
        // The arcs the cubics become lie within a few hundredths of them.
        EXPECT_GT(nearest, radius - 0.06) << p.x << " " << p.y;
        EXPECT_EQ(winding != 0, mode == ToolOffset::Inside) << p.x << " " << p.y;
      }
    }
  }
}

// A concave corner that turns by a twentieth or a half of a degree (as
// between the arcs of a fitted curve; a fine precision keeps the lines
// apart) is trimmed where the neighbouring offsets cross: one closed
// toolpath, nothing reported.
TEST(CutOutOffset, SlightConcaveCornersJoin) {
  for (const double dip : {0.0125, 0.1}) {
    std::vector<Segment> d;
    polygon(d, {{0, 0}, {50, 0}, {50, 20}, {25, 20 - dip}, {0, 20}}, 1);
    for (const ToolOffset side : {ToolOffset::Outside, ToolOffset::Inside}) {
      const CutOutRun r = cutOutOf(d, CutOrder::Drawing, side, 6.0F, 0.01);
      EXPECT_EQ(r.shapes().size(), 1u) << dip;
      EXPECT_TRUE(r.report.toolMisfits.empty()) << dip;
    }
  }
}

// Where the tool does not fit, its path is left out and the place reported:
// a hole smaller than the tool vanishes, a notch narrower than the tool is
// bridged at its mouth, an opening narrower than the tool is not cut, and
// one with a narrow neck is cut as two shapes.
TEST(CutOutOffset, ReportsWhereTheToolDoesNotFit) {
  const struct {
    const char* name;
    std::vector<Segment> drawing;
    ToolOffset offset;
    size_t shapesLeft;
    Point2 near;  // a misfit within 5 mm of here
  } cases[] = {
      {"hole smaller than the tool",
       [] {
         std::vector<Segment> d;
         square(d, 0, 0, 40, 40, 1);
         circle(d, 20, 20, 2, 2);
         return d;
       }(),
       ToolOffset::Outside,
       1,
       {20, 20}},
      {"notch narrower than the tool",
       [] {
         std::vector<Segment> d;
         polygon(d, {{0, 0}, {60, 0}, {60, 40}, {32, 40}, {32, 20}, {28, 20}, {28, 40}, {0, 40}},
                 1);
         return d;
       }(),
       ToolOffset::Outside,
       1,
       {30, 30}},
      {"opening narrower than the tool",
       [] {
         std::vector<Segment> d;
         square(d, 0, 0, 30, 4, 1);
         return d;
       }(),
       ToolOffset::Inside,
       0,
       {15, 2}},
      {"opening whose neck is narrower than the tool: two stretches, two keys",
       [] {
         std::vector<Segment> d;
         polygon(d,
                 {{0, 0},
                  {20, 0},
                  {20, 8},
                  {30, 8},
                  {30, 0},
                  {50, 0},
                  {50, 20},
                  {30, 20},
                  {30, 12},
                  {20, 12},
                  {20, 20},
                  {0, 20}},
                 1);
         return d;
       }(),
       ToolOffset::Inside,
       2,
       {25, 10}},
  };
  for (const auto& c : cases) {
    const CutOutRun r = cutOutOf(c.drawing, CutOrder::Drawing, ToolOffset(c.offset), 6.0F);
    EXPECT_EQ(r.shapes().size(), c.shapesLeft) << c.name;
    // Every stretch written is one of the drawn shape's.
    EXPECT_EQ(r.report.writtenShapes, std::vector<int32_t>(c.shapesLeft, 0)) << c.name;
    ASSERT_FALSE(r.report.toolMisfits.empty()) << c.name;
    const ToolMisfit& m = r.report.toolMisfits.front();
    EXPECT_LT(std::hypot(m.x - c.near.x, m.y - c.near.y), 5.0)
        << c.name << " at " << m.x << ", " << m.y;
  }
}

// Inside first: the open line, then the inner square before the outer one,
// each closed square started at its corner nearest to the tool.
TEST(CutOutOrder, OpenShapesThenInnerBeforeOuterNearestStarts) {
  std::vector<Segment> d{line(60, 60, 45, 45, 30, 3)};
  square(d, 0, 0, 50, 50, 1);
  square(d, 10, 10, 40, 40, 2);
  const CutOutRun r = cutOutOf(d, CutOrder::InsideFirst, ToolOffset::None, 3.0F);
  const auto shapes = r.shapes();
  ASSERT_EQ(shapes.size(), 3u);
  EXPECT_EQ(shapes[0][0].shapeKey, 3);
  EXPECT_EQ(shapes[1][0].shapeKey, 2);
  EXPECT_EQ(shapes[1][0].startX, 40.0);  // nearest corner to (45, 45)
  EXPECT_EQ(shapes[1][0].startY, 40.0);
  EXPECT_EQ(shapes[2][0].shapeKey, 1);
  EXPECT_EQ(shapes[2][0].startX, 50.0);
  EXPECT_EQ(shapes[2][0].startY, 50.0);
  EXPECT_LT(r.report.rapidLengthAfter, r.report.rapidLengthBefore);
  // Each shape's key and depth in list order; what each written shape cuts.
  ASSERT_EQ(r.report.shapes.size(), 3u);
  EXPECT_EQ(r.report.shapes[0].shapeKey, 3);
  EXPECT_EQ(r.report.shapes[0].depth, -1);
  EXPECT_EQ(r.report.shapes[1].depth, 0);
  EXPECT_EQ(r.report.shapes[2].depth, 1);
  EXPECT_EQ(r.report.writtenShapes, (std::vector<int32_t>{0, 2, 1}));
}

// Any drawing of lines, curves and degenerate elements (a curve whose points
// share one y flattens to elements with no radius), in every mode: finite
// elements and a whole program.
TEST(CutOutRobustness, RandomDrawingsInEveryMode) {
  std::mt19937 rng(13);
  std::uniform_real_distribution<double> coord(-20.0, 20.0);
  for (int round = 0; round < 12; ++round) {
    std::vector<Segment> d;
    int32_t key = 1;
    for (int s = 0; s < 6; ++s, ++key) {
      const int n = 1 + static_cast<int>(rng() % 6);
      const Point2 first{coord(rng), coord(rng)};
      Point2 at = first;
      for (int i = 0; i < n; ++i) {
        // Closed most of the time; now and then a repeated point.
        const Point2 next = (i == n - 1 && rng() % 4 != 0) ? first
                            : rng() % 8 == 0               ? at
                                                           : Point2{coord(rng), coord(rng)};
        if (rng() % 7 == 0) {
          d.push_back(
              test::curve(at.x, at.y, at.x + 1, at.y, at.x + 2, at.y, at.x + 3, at.y, 3.0F, key));
          d.push_back(line(at.x + 3, at.y, next.x, next.y, 1.0F, key));
        } else if (rng() % 3 == 0) {
          d.push_back(test::curve(at.x, at.y, coord(rng), coord(rng), coord(rng), coord(rng),
                                  next.x, next.y, 5.0F, key));
        } else {
          d.push_back(line(at.x, at.y, next.x, next.y, 1.0F, key));
        }
        at = next;
      }
    }
    for (const CutOrder order : {CutOrder::Drawing, CutOrder::InsideFirst}) {
      for (const ToolOffset offset : {ToolOffset::None, ToolOffset::Outside, ToolOffset::Inside}) {
        const CutOutRun r = cutOutOf(d, order, offset, 2.0F);
        for (const PathElement& e : r.elements) {
          ASSERT_TRUE(std::isfinite(e.endX) && std::isfinite(e.endY)) << round;
          if (e.radius > 0.0) {
            ASSERT_TRUE(std::isfinite(e.radius)) << round;
          }
        }
        std::ostringstream program;
        test::SettingsMap values = test::workedExampleSettings();
        values["txtWZDia"] = "2";
        values["CutOrder"] = order == CutOrder::Drawing ? "drawing" : "inside-first";
        values["ToolOffset"] = offset == ToolOffset::None      ? "none"
                               : offset == ToolOffset::Outside ? "outside"
                                                               : "inside";
        test::SettingsTable table(values);
        const JobReport job = runJob(d, {.settings = table.source(), .program = &program});
        ASSERT_TRUE(job.ok()) << job.error;
        EXPECT_TRUE(program.str().ends_with("M30\r\n"));
      }
    }
  }
}

}  // namespace
}  // namespace brevanto
