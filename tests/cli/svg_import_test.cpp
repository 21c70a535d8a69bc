#include "svg/svg_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace brevanto::cli {
namespace {

// A page of 100 x 100 mm whose user units are millimetres.
std::string page(const std::string& body, const std::string& extra = "") {
  return R"~(<svg xmlns="http://www.w3.org/2000/svg" width="100mm" height="100mm" viewBox="0 0 100 100" )~" +
         extra + ">\n" + body + "\n</svg>\n";
}

struct Expected {
  int kind;
  double x0, y0, x1, y1, x2, y2, x3, y3;
  double length;
  int shape;
};

constexpr double kTol = 1e-9;

// Arc length of a cubic by composite Simpson over |B'(t)|: an independent
// check of the measured lengths.
double integratedLength(const Expected& c) {
  auto speed = [&](double t) {
    const double u = 1 - t;
    const double dx =
        3 * u * u * (c.x1 - c.x0) + 6 * u * t * (c.x2 - c.x1) + 3 * t * t * (c.x3 - c.x2);
    const double dy =
        3 * u * u * (c.y1 - c.y0) + 6 * u * t * (c.y2 - c.y1) + 3 * t * t * (c.y3 - c.y2);
    return std::hypot(dx, dy);
  };
  const int n = 2000;
  double sum = speed(0) + speed(1);
  for (int i = 1; i < n; ++i) sum += speed(static_cast<double>(i) / n) * (i % 2 != 0 ? 4 : 2);
  return sum / (3.0 * n);
}

void expectSegments(const ImportResult& r, const std::vector<Expected>& want) {
  ASSERT_TRUE(r.ok()) << r.error;
  ASSERT_EQ(r.segments.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE("segment " + std::to_string(i));
    const Segment& s = r.segments[i];
    const Expected& w = want[i];
    EXPECT_EQ(s.kind, w.kind);
    EXPECT_NEAR(s.x0, w.x0, kTol);
    EXPECT_NEAR(s.y0, w.y0, kTol);
    EXPECT_NEAR(s.x3, w.x3, kTol);
    EXPECT_NEAR(s.y3, w.y3, kTol);
    if (w.kind == 1) {
      EXPECT_NEAR(s.x1, w.x1, kTol);
      EXPECT_NEAR(s.y1, w.y1, kTol);
      EXPECT_NEAR(s.x2, w.x2, kTol);
      EXPECT_NEAR(s.y2, w.y2, kTol);
    }
    // Curves: the length of the cubic itself, which is what gets cut.
    EXPECT_NEAR(s.length, w.kind == 1 ? integratedLength(w) : w.length, 0.001);
    EXPECT_EQ(s.shapeKey, w.shape);
  }
}

TEST(SvgImport, SquareIsFourLinesFlippedAboutThePage) {
  const auto r = importSvg(page(R"~(<path d="M 10 10 H 30 V 30 H 10 Z"/>)~"), {});
  // y up: SVG's y 10 is 90 on the machine.
  expectSegments(r, {{0, 10, 90, 0, 0, 0, 0, 30, 90, 20, 1},
                     {0, 30, 90, 0, 0, 0, 0, 30, 70, 20, 1},
                     {0, 30, 70, 0, 0, 0, 0, 10, 70, 20, 1},
                     {0, 10, 70, 0, 0, 0, 0, 10, 90, 20, 1}});
  EXPECT_EQ(r.shapes, 1);
  EXPECT_NEAR(r.pageHeightMm, 100.0, kTol);
}

TEST(SvgImport, NoFlipKeepsSvgCoordinates) {
  const auto r =
      importSvg(page(R"~(<line x1="1" y1="2" x2="4" y2="6" stroke="black"/>)~"), {.flipY = false});
  expectSegments(r, {{0, 1, 2, 0, 0, 0, 0, 4, 6, 5, 1}});
}

TEST(SvgImport, CircleIsFourQuarterCubics) {
  const auto r = importSvg(page(R"~(<circle cx="50" cy="50" r="10"/>)~"), {.flipY = false});
  const double k = 10.0 * 4.0 / 3.0 * (std::sqrt(2.0) - 1.0);  // quarter-circle handle length
  const double quarter = 2.0 * M_PI * 10.0 / 4.0;
  expectSegments(r, {{1, 60, 50, 60, 50 + k, 50 + k, 60, 50, 60, quarter, 1},
                     {1, 50, 60, 50 - k, 60, 40, 50 + k, 40, 50, quarter, 1},
                     {1, 40, 50, 40, 50 - k, 50 - k, 40, 50, 40, quarter, 1},
                     {1, 50, 40, 50 + k, 40, 60, 50 - k, 60, 50, quarter, 1}});
}

TEST(SvgImport, RoundedRectangleAlternatesLinesAndCorners) {
  const auto r =
      importSvg(page(R"~(<rect x="10" y="20" width="40" height="30" rx="5"/>)~"), {.flipY = false});
  const double k = 5.0 * 4.0 / 3.0 * (std::sqrt(2.0) - 1.0);
  const double corner = 2.0 * M_PI * 5.0 / 4.0;
  expectSegments(r, {{0, 15, 20, 0, 0, 0, 0, 45, 20, 30, 1},
                     {1, 45, 20, 45 + k, 20, 50, 25 - k, 50, 25, corner, 1},
                     {0, 50, 25, 0, 0, 0, 0, 50, 45, 20, 1},
                     {1, 50, 45, 50, 45 + k, 45 + k, 50, 45, 50, corner, 1},
                     {0, 45, 50, 0, 0, 0, 0, 15, 50, 30, 1},
                     {1, 15, 50, 15 - k, 50, 10, 45 + k, 10, 45, corner, 1},
                     {0, 10, 45, 0, 0, 0, 0, 10, 25, 20, 1},
                     {1, 10, 25, 10, 25 - k, 15 - k, 20, 15, 20, corner, 1}});
}

TEST(SvgImport, NestedGroupTransformsCompose) {
  // translate(10,5) then scale(2) then rotate(90): (1,0) -> (0,1) -> (0,2) -> (10,7).
  const auto r = importSvg(page(R"~(<g transform="translate(10 5)"><g transform="scale(2)">
      <line transform="rotate(90)" x1="0" y1="0" x2="1" y2="0" stroke="black"/></g></g>)~"),
                           {.flipY = false});
  expectSegments(r, {{0, 10, 5, 0, 0, 0, 0, 10, 7, 2, 1}});
}

TEST(SvgImport, UnitsOfThePage) {
  struct Case {
    const char* size;
    double mmPerUnit;
  };
  for (const Case c : {Case{"10mm", 1.0}, Case{"1cm", 1.0}, Case{"1in", 2.54}, Case{"72pt", 2.54},
                       Case{"96px", 2.54}, Case{"96", 2.54}}) {
    SCOPED_TRACE(c.size);
    const std::string svg =
        std::string(R"~(<svg xmlns="http://www.w3.org/2000/svg" width=")~") + c.size +
        R"~(" height=")~" + c.size +
        R"~(" viewBox="0 0 10 10"><line x1="0" y1="0" x2="10" y2="0" stroke="black"/></svg>)~";
    const auto r = importSvg(svg, {.flipY = false});
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.segments.size(), 1U);
    EXPECT_NEAR(r.segments[0].x3, 10.0 * c.mmPerUnit, 1e-9);
    EXPECT_NEAR(r.pageHeightMm, 10.0 * c.mmPerUnit, 1e-9);
  }
}

TEST(SvgImport, PathCommandsAbsoluteAndRelativeAgree) {
  const char* forms[][2] = {
      {"M 10 10 L 20 10 L 20 20", "m 10 10 l 10 0 l 0 10"},
      {"M 10 10 H 20 V 20", "M 10 10 h 10 v 10"},
      {"M 0 0 C 0 10 10 10 10 0 S 20 -10 20 0", "m 0 0 c 0 10 10 10 10 0 s 10 -10 10 0"},
      {"M 0 0 Q 5 10 10 0 T 20 0", "m 0 0 q 5 10 10 0 t 10 0"},
      {"M 0 0 A 5 5 0 0 1 10 0", "m 0 0 a 5 5 0 0 1 10 0"},
  };
  for (const auto& form : forms) {
    SCOPED_TRACE(form[0]);
    const auto a = importSvg(page(std::string("<path d=\"") + form[0] + "\"/>"), {});
    const auto b = importSvg(page(std::string("<path d=\"") + form[1] + "\"/>"), {});
    ASSERT_TRUE(a.ok() && b.ok());
    ASSERT_EQ(a.segments.size(), b.segments.size());
    for (size_t i = 0; i < a.segments.size(); ++i) {
      EXPECT_NEAR(a.segments[i].x3, b.segments[i].x3, kTol);
      EXPECT_NEAR(a.segments[i].y3, b.segments[i].y3, kTol);
      EXPECT_NEAR(a.segments[i].x1, b.segments[i].x1, kTol);
      EXPECT_NEAR(a.segments[i].y2, b.segments[i].y2, kTol);
    }
  }
}

TEST(SvgImport, QuadraticIsRaisedExactlyToACubic) {
  const auto r = importSvg(page(R"~(<path fill="none" stroke="black" d="M 0 0 Q 30 60 60 0"/>)~"),
                           {.flipY = false});
  ASSERT_TRUE(r.ok());
  ASSERT_EQ(r.segments.size(), 1U);
  const Segment& s = r.segments[0];
  EXPECT_EQ(s.kind, 1);
  EXPECT_NEAR(s.x1, 20, kTol);
  EXPECT_NEAR(s.y1, 40, kTol);
  EXPECT_NEAR(s.x2, 40, kTol);
  EXPECT_NEAR(s.y2, 40, kTol);
}

TEST(SvgImport, ArcsAreSplitIntoQuarterTurnsAtMost) {
  // Stroked, on a page round the origin: the arcs as drawn, nothing clipped or closed.
  const auto page = [](const std::string& body) {
    return R"~(<svg xmlns="http://www.w3.org/2000/svg" width="100mm" height="100mm" )~"
           R"~(viewBox="-50 -50 100 100" fill="none" stroke="black">)~" +
           body + "</svg>";
  };
  struct Case {
    const char* d;
    size_t cubics;
  };
  for (const Case c : {Case{"M 0 0 A 10 10 0 0 1 10 10", 1}, Case{"M 0 0 A 10 10 0 0 1 20 0", 2},
                       Case{"M 10 0 A 10 10 0 1 1 0 -10", 3}, Case{"M 0 0 A 10 10 0 0 1 0 0", 0},
                       Case{"M 0 0 A 0 10 0 0 1 10 10", 1}}) {
    SCOPED_TRACE(c.d);
    const auto r = importSvg(page(std::string("<path d=\"") + c.d + "\"/>"), {.flipY = false});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.segments.size(), c.cubics);
  }
  // 270 degrees ends exactly where the path data says (0, -10), 50 mm in
  // from the page's corner.
  const auto r = importSvg(page(R"~(<path d="M 10 0 A 10 10 0 1 1 0 -10"/>)~"), {.flipY = false});
  ASSERT_EQ(r.segments.size(), 3U);
  EXPECT_EQ(r.segments.back().x3, 50.0);
  EXPECT_EQ(r.segments.back().y3, 40.0);
  // Three 90-degree cubics run a little outside the circle (at most 0.03 %).
  EXPECT_NEAR(r.segments[0].length + r.segments[1].length + r.segments[2].length, 1.5 * M_PI * 10.0,
              1.5 * M_PI * 10.0 * 3e-4);
}

TEST(SvgImport, EachSubpathIsAShapeInDocumentOrder) {
  const auto r = importSvg(page(R"~(<path stroke="black" d="M 0 0 L 10 0 M 20 0 L 30 0 Z"/>
      <rect x="0" y="0" width="5" height="5"/><line x1="0" y1="0" x2="0" y2="0"/>)~"),
                           {});
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.shapes, 3);
  ASSERT_EQ(r.segments.size(), 7U);  // 1, then 1 + closing line, then 4 sides; the dot is dropped
  EXPECT_EQ(r.segments[0].shapeKey, 1);
  EXPECT_EQ(r.segments[1].shapeKey, 2);
  EXPECT_EQ(r.segments[2].shapeKey, 2);
  EXPECT_EQ(r.segments[3].shapeKey, 3);
  EXPECT_EQ(r.segments[6].shapeKey, 3);
}

TEST(SvgImport, ClosedSubpathAlreadyAtItsStartGetsNoExtraLine) {
  const auto r = importSvg(page(R"~(<path d="M 0 0 L 10 0 L 10 10 L 0 0 Z"/>)~"), {});
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.segments.size(), 3U);
}

TEST(SvgImport, ColourFromStrokeElseFill) {
  // Neither stroke nor fill shows nothing: left out, not cut. A fill shows
  // its area, closed (three pieces for two lines).
  const auto r = importSvg(page(R"~(
      <g stroke="#ff0000"><path d="M 0 0 L 1 0"/><path stroke="none" fill="rgb(0,0,255)" d="M 0 0 L 1 0 L 1 1"/></g>
      <path style="fill:none;stroke:#00ff00" d="M 0 0 L 1 0"/>
      <path fill="none" d="M 0 0 L 1 0"/>
      <g color="#010203"><path stroke="currentColor" d="M 0 0 L 1 0"/></g>
      <path d="M 0 0 L 1 0 L 1 1"/>)~"),
                           {});
  ASSERT_TRUE(r.ok()) << r.error;
  ASSERT_EQ(r.segments.size(), 9U);
  EXPECT_EQ(r.segments[0].colour, 255);
  EXPECT_EQ(r.segments[1].colour, 255 * 65536);
  EXPECT_EQ(r.segments[4].colour, 255 * 256);
  EXPECT_EQ(r.segments[5].colour, 1 + 2 * 256 + 3 * 65536);
  EXPECT_EQ(r.segments[6].colour, 0);
  ASSERT_EQ(r.leftOut.size(), 1U);
  EXPECT_EQ(r.leftOut[0].kind, "invisible shapes");
  EXPECT_EQ(r.leftOut[0].firstLine, 5);
}

TEST(SvgImport, UseOfASymbolIsDrawnWhereItIsPlaced) {
  const auto r = importSvg(
      page(
          R"~(<defs><symbol id="s"><line x1="0" y1="0" x2="1" y2="0" stroke="black"/></symbol></defs>
      <use href="#s" x="5" y="6"/><use xmlns:xlink="http://www.w3.org/1999/xlink" xlink:href="#s" x="1"/>)~"),
      {.flipY = false});
  expectSegments(r, {{0, 5, 6, 0, 0, 0, 0, 6, 6, 1, 1}, {0, 1, 0, 0, 0, 0, 0, 2, 0, 1, 2}});
}

TEST(SvgImport, UnknownElementsAreSkippedAndCounted) {
  const auto r = importSvg(
      page(
          R"~(<text><textPath href="#p">hi</textPath></text><image/><blob/><path stroke="black" d="M 0 0 L 1 1"/>
      <title>t</title><foo:bar xmlns:foo="urn:x"/>)~"),
      {});
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.segments.size(), 1U);
  EXPECT_EQ(r.skippedCount(), 3);
  EXPECT_EQ(r.skippedElements.at("textPath"), 1);
}

TEST(SvgImport, HiddenElementsAreNotCut) {
  const auto r = importSvg(page(R"~(<g style="display:none"><path d="M 0 0 L 1 1"/></g>
      <path visibility="hidden" d="M 0 0 L 1 1"/><path stroke="black" d="M 0 0 L 2 2"/>)~"),
                           {});
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.segments.size(), 1U);
}

TEST(SvgImport, MissingNamespaceIsTakenAsSvg) {
  const auto r = importSvg(
      R"~(<svg width="10mm" height="10mm" viewBox="0 0 10 10"><line x1="0" y1="0" x2="1" y2="0" stroke="black"/></svg>)~",
      {});
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.segments.size(), 1U);
}

struct BadCase {
  const char* name;
  std::string text;
  const char* message;
  int line;
};

TEST(SvgImport, BadDrawingsGiveAnErrorWithTheLine) {
  std::string deep = R"~(<svg xmlns="http://www.w3.org/2000/svg">)~";
  for (int i = 0; i < 10000; ++i) deep += "<g>\n";
  const std::vector<BadCase> cases{
      {"malformed", "<svg xmlns=\"http://www.w3.org/2000/svg\">\n<path d=\"M 0 0\">\n</svg>",
       "not a readable XML document", 3},
      {"empty file", "", "the file is empty", 0},
      {"not svg", "<html/>", "not an SVG drawing", 1},
      {"nan", page("<path d=\"M 0 0 L nan 1\"/>"), "", 2},
      {"huge", page("<path d=\"M 0 0 L 1e300 1\"/>"), "", 2},
      {"huge transform", page("<g transform=\"scale(1e200)\">\n<path d=\"M 0 0 L 1 1\"/></g>"),
       "lies beyond", 3},
      {"deep nesting", deep, "nested too deeply", 0},
      {"use cycle", page(R"~(<g id="a"><use href="#a"/></g>)~"), "use refers to itself", 2},
      {"bad path", page("<path d=\"M 0 0 L x\"/>"), "invalid value of \"d\"", 2},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = importSvg(c.text, {});
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.segments.empty());
    EXPECT_NE(r.error.find(c.message), std::string::npos) << r.error;
    if (c.line > 0) {
      EXPECT_EQ(r.errorLine, c.line) << r.error;
    }
  }
}

TEST(SvgImport, DegenerateCurvesAreDroppedOrKept) {
  // All four points together: nothing to cut. Controls on the ends: a straight cubic.
  const auto r = importSvg(
      page(R"~(<path stroke="black" d="M 5 5 C 5 5 5 5 5 5 M 0 0 C 0 0 10 0 10 0"/>)~"), {});
  ASSERT_TRUE(r.ok());
  ASSERT_EQ(r.segments.size(), 1U);
  EXPECT_NEAR(r.segments[0].length, 10.0, 0.001);
  EXPECT_EQ(r.shapes, 1);
}

}  // namespace
}  // namespace brevanto::cli
