// The drawings of tests/cli/svg_cases/: one per thing drawing programs write
// that a renderer shows in a particular way, each with the segments (in mm,
// y down) that the renderer's picture calls for, worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "svg/svg_import.h"

namespace brevanto::cli {
namespace {

const std::string kCases = std::string(BREVANTO_TEST_DATA_DIR) + "/cli/svg_cases/";

struct Piece {
  int kind;
  double x0, y0, x3, y3;
  int32_t colour = 0;
};

struct Case {
  const char* file;
  std::vector<Piece> pieces;  // empty: check only the count below
  size_t count;
  std::string leftOut;  // "kind count@line, ..."
};

std::string describeLeftOut(const ImportResult& r) {
  std::string s;
  for (const LeftOut& l : r.leftOut) {
    if (!s.empty()) s += ", ";
    s += l.kind + " " + std::to_string(l.count) + "@" + std::to_string(l.firstLine);
  }
  return s;
}

TEST(SvgCases, ConvertAsARendererShowsThem) {
  constexpr int32_t kRed = 255, kGreen = 255 * 256, kBlue = 255 * 65536;
  const std::vector<Case> cases{
      // translate(10.5.5) scale(2-1), points "0-1 1.5-2".
      {"1-numbers.svg", {{0, 10.5, 1.5, 13.5, 2.5}}, 1, ""},
      // height="" is missing: 10 mm from the viewBox's proportions.
      {"2-empty-length.svg", {{0, 1, 1, 5, 1}}, 1, ""},
      // The line is cut at the clip's edges, the circle inside stays four
      // cubics, the line outside goes.
      {"3-clip-path.svg",
       {{0, 0, 5, 10, 5}, {1, 7, 5, 5, 7}, {1, 5, 7, 3, 5}, {1, 3, 5, 5, 3}, {1, 5, 3, 7, 5}},
       5,
       "clipped-away pieces 2@4"},
      {"4-invisible.svg", {{0, 2, 2, 3, 2}}, 1, "invisible shapes 6@3"},
      {"5-style-sheet.svg",
       {{0, 0, 0, 1, 0, kRed},
        {0, 0, 0, 1, 0, kGreen},
        {0, 0, 0, 1, 0, kBlue},
        {0, 0, 0, 1, 0, 1 + 2 * 256 + 3 * 65536},
        {0, 0, 0, 1, 0, kGreen}},
       5,
       ""},
      {"6-use-from-clip-path.svg", {{0, 1, 2, 6, 2}}, 1, ""},
      // The arrow's line turned along the line's end (down the page); the
      // dots (viewBox 10 into 2 units, refX/refY at their middle, times the
      // stroke width 2) at the polyline's three vertices, from the marker
      // shorthand.
      {"7-markers.svg",
       {{0, 0, 0, 0, 10},
        {0, 0, 10, 0, 12},
        {0, 20, 0, 30, 0},
        {0, 30, 0, 30, 10},
        {0, 18, 0, 22, 0},
        {0, 28, 0, 32, 0},
        {0, 28, 10, 32, 10}},
       7,
       ""},
      {"8-entities.svg", {{0, 1, 1, 3, 1}}, 1, ""},
      // 100 % of the inner svg: 22 x 27.9, not the page.
      {"9-nested-percent.svg",
       {{0, 10, 10, 32, 10}, {0, 32, 10, 32, 37.9}, {0, 32, 37.9, 10, 37.9}, {0, 10, 37.9, 10, 10}},
       4,
       ""},
      // A renderer fills an open subpath as if closed: its closing line is an
      // edge of what shows, stroked or not; a fill that encloses nothing shows
      // nothing.
      {"10-open-fill.svg",
       {{0, 0, 0, 10, 0},
        {0, 10, 0, 10, 10},
        {0, 10, 10, 0, 0},
        {0, 20, 0, 30, 0},
        {0, 30, 0, 30, 10},
        {0, 30, 10, 20, 0}},
       6,
       "invisible shapes 1@4"},
      // Nothing shows beyond the page: the line stops at its edge, the
      // rectangle's area is cut round, the page's edge included.
      {"11-page-edge.svg",
       {{0, 10, 10, 20, 10},
        {0, 15, 2, 20, 2},
        {0, 20, 2, 20, 6},
        {0, 20, 6, 15, 6},
        {0, 15, 6, 15, 2}},
       5,
       "clipped-away pieces 2@2"},
      // A filled rectangle half outside its clip: what shows is closed by the clip's edge.
      {"12-clipped-fill.svg",
       {{0, 5, 2, 10, 2}, {0, 10, 2, 10, 6}, {0, 10, 6, 5, 6}, {0, 5, 6, 5, 2}},
       4,
       "clipped-away pieces 1@3"},
      // A mask shows its element where its content is drawn, however light.
      {"13-mask.svg", {{0, 0, 5, 10, 5}}, 1, "clipped-away pieces 1@4"},
      // A nested svg and a marker hide what overflows their viewport (the
      // marker's default 3 x 3 from its reference point), unless overflow is visible.
      {"14-viewport-overflow.svg",
       {{0, 10, 15, 20, 15},
        {0, 5, 35, 25, 35},
        {0, 50, 50, 60, 50},
        {0, 52, 50, 52, 52},
        {0, 52, 52, 50, 52}},
       5,
       "clipped-away pieces 2@3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const ImportResult r = importSvg(test::readFileBytes(kCases + c.file), {.flipY = false});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(describeLeftOut(r), c.leftOut);
    ASSERT_EQ(r.segments.size(), c.count);
    for (size_t i = 0; i < c.pieces.size(); ++i) {
      SCOPED_TRACE("segment " + std::to_string(i));
      const Segment& s = r.segments[i];
      const Piece& w = c.pieces[i];
      EXPECT_EQ(s.kind, w.kind);
      EXPECT_NEAR(s.x0, w.x0, 1e-4);
      EXPECT_NEAR(s.y0, w.y0, 1e-4);
      EXPECT_NEAR(s.x3, w.x3, 1e-4);
      EXPECT_NEAR(s.y3, w.y3, 1e-4);
      EXPECT_EQ(s.colour, w.colour);
    }
  }
}

TEST(SvgCases, ExternalEntitiesAreRefused) {
  for (const char* entity :
       {R"(SYSTEM "file:///etc/hostname")", R"(SYSTEM "http://localhost/x")"}) {
    SCOPED_TRACE(entity);
    const std::string svg = std::string("<!DOCTYPE svg [<!ENTITY x ") + entity +
                            ">]>\n<svg xmlns=\"http://www.w3.org/2000/svg\">\n&x;</svg>";
    const ImportResult r = importSvg(svg, {});
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.find("external resource"), std::string::npos) << r.error;
  }
}

TEST(SvgCases, PixelDensityOfUnitlessDrawings) {
  struct Density {
    const char* size;
    double dpi;
    double lengthMm;
    bool physical;
  };
  for (const Density d :
       {Density{"96", 96, 25.4, false}, Density{"96px", 72, 96 * 25.4 / 72, false},
        Density{"96", 90, 96 * 25.4 / 90, false}, Density{"1in", 72, 25.4, true}}) {
    SCOPED_TRACE(std::string(d.size) + " at " + std::to_string(d.dpi));
    const std::string svg =
        std::string(R"(<svg xmlns="http://www.w3.org/2000/svg" width=")") + d.size +
        R"(" height=")" + d.size +
        R"(" viewBox="0 0 96 96"><line x1="0" y1="0" x2="96" y2="0" stroke="red"/></svg>)";
    const ImportResult r = importSvg(svg, {.flipY = false, .dpi = d.dpi});
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.segments.size(), 1U);
    EXPECT_NEAR(r.segments[0].x3, d.lengthMm, 1e-9);
    EXPECT_NEAR(r.maxXMm - r.minXMm, d.lengthMm, 1e-9);
    EXPECT_EQ(r.hasPhysicalUnits, d.physical);
  }
}

}  // namespace
}  // namespace brevanto::cli
