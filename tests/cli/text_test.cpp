// Text: the cut outlines against rsvg-convert's rendering of the same text,
// and the Hershey fonts' single strokes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/png_image.h"
#include "support/temp_dir.h"
#include "svg/svg_import.h"
#include "svg/text/hershey_font.h"

namespace brevanto::cli {
namespace {

constexpr int kReach = 2;  // px at 1000 px across

std::string page(const std::string& content) {
  return "<svg xmlns='http://www.w3.org/2000/svg' width='200mm' height='100mm' "
         "viewBox='0 0 200 100'>" +
         content + "</svg>";
}

// The edge of what is drawn: opaque pixels with a see-through neighbour.
std::vector<uint8_t> edges(const std::string& svgPath, const test::TempDir& dir) {
  const std::string png = dir.file("render.png");
  const int raw = std::system(("rsvg-convert -w 1000 -o '" + png + "' '" + svgPath + "'").c_str());
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << "rsvg-convert failed";
  test::Image image;
  EXPECT_TRUE(decodePng(test::readFileBytes(png), image));
  const auto w = static_cast<int>(image.width), h = static_cast<int>(image.height);
  auto inside = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < w && y < h && image.rgba[(y * w + x) * 4 + 3] >= 128;
  };
  std::vector<uint8_t> edge(static_cast<size_t>(w * h));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      edge[y * w + x] = inside(x, y) && !(inside(x - 1, y) && inside(x + 1, y) &&
                                          inside(x, y - 1) && inside(x, y + 1));
    }
  }
  return edge;
}

// Edge pixels of `a` with no edge pixel of `b` within kReach.
int strays(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int w) {
  const int h = static_cast<int>(a.size()) / w;
  int count = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (!a[y * w + x]) continue;
      bool near = false;
      for (int dy = -kReach; dy <= kReach && !near; ++dy) {
        for (int dx = -kReach; dx <= kReach && !near; ++dx) {
          const int nx = x + dx, ny = y + dy;
          near = dx * dx + dy * dy <= kReach * kReach && nx >= 0 && ny >= 0 && nx < w && ny < h &&
                 b[ny * w + nx];
        }
      }
      count += near ? 0 : 1;
    }
  }
  return count;
}

// The cut outlines, filled, drawn back on the same page.
std::string outlinesAsSvg(const std::vector<Segment>& segments) {
  std::string d;
  char text[200];
  for (size_t i = 0; i < segments.size(); ++i) {
    const Segment& s = segments[i];
    if (i == 0 || s.shapeKey != segments[i - 1].shapeKey) {
      std::snprintf(text, sizeof text, "M%.17g %.17g", s.x0, s.y0);
      d += text;
    }
    if (s.kind == 1) {
      std::snprintf(text, sizeof text, "C%.17g %.17g %.17g %.17g %.17g %.17g", s.x1, s.y1, s.x2,
                    s.y2, s.x3, s.y3);
    } else {
      std::snprintf(text, sizeof text, "L%.17g %.17g", s.x3, s.y3);
    }
    d += text;
  }
  return page("<path d='" + d + "'/>");
}

TEST(Text, OutlinesMatchTheRenderersBothWays) {
  const struct {
    const char* name;
    const char* content;
    const char* fonts;
  } cases[] = {
      {"plain start",
       "<text x='10' y='30' font-family='DejaVu Sans' font-size='20'>Hello, Wörld</text>",
       "DejaVu Sans"},
      {"middle, spans, second chunk",
       "<text x='100' y='60' font-family='Liberation Serif' font-size='16' font-weight='bold' "
       "text-anchor='middle'>Middle <tspan font-style='italic' dy='-3'>span</tspan> end"
       "<tspan x='100' dy='20' font-size='8pt'>next line</tspan></text>",
       "Liberation Serif Bold, Liberation Serif Bold Italic"},
      {"end in a rotated group",
       "<g transform='rotate(-10 150 80)' style='font-family:DejaVu Sans;font-size:12px'>"
       "<text x='190' y='90' text-anchor='end' letter-spacing='1' font-style='italic'>"
       "Rotated AV</text></g>",
       "DejaVu Sans Oblique"},
      {"inherited size, white space, fallback",
       "<g font-size='10pt' font-family='No Such Family, Liberation Serif'>"
       "<text x='20' y='20' transform='scale(1.5)' font-style='italic'>\n   two\n  lines  "
       "</text></g>",
       "Liberation Serif Italic"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string drawing = page(c.content);
    const ImportResult read = importSvg(drawing, {.flipY = false});
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.texts, 1);
    std::string fonts;
    for (const std::string& f : read.fonts) fonts += (fonts.empty() ? "" : ", ") + f;
    EXPECT_EQ(fonts, c.fonts);
    test::writeFileBytes(dir.file("drawing.svg"), drawing);
    test::writeFileBytes(dir.file("cut.svg"), outlinesAsSvg(read.segments));
    const std::vector<uint8_t> shown = edges(dir.file("drawing.svg"), dir);
    const std::vector<uint8_t> cut = edges(dir.file("cut.svg"), dir);
    ASSERT_EQ(shown.size(), cut.size());
    EXPECT_GT(std::count(shown.begin(), shown.end(), 1), 200);
    EXPECT_EQ(strays(shown, cut, 1000), 0) << "drawn but not cut";
    EXPECT_EQ(strays(cut, shown, 1000), 0) << "cut but not drawn";
  }
}

// Each stroke of each glyph is one open shape of lines, at the documented
// scale: the capital H 0.7 of the font size tall.
TEST(Text, HersheyTextIsTheFontsOwnStrokes) {
  std::string error;
  const auto font = HersheyFont::load("futural", kHersheyFolder, error);
  ASSERT_TRUE(font) << error;
  const ImportResult read =
      importSvg(page("<text x='10' y='50' font-size='20' text-anchor='middle'>HI</text>"),
                {.flipY = false}, font);
  ASSERT_TRUE(read.ok()) << read.error;
  const auto& glyphs = font->glyphs();
  const size_t strokes = glyphs['H' - 32].strokes.size() + glyphs['I' - 32].strokes.size();
  EXPECT_EQ(read.shapes, static_cast<int32_t>(strokes));
  EXPECT_EQ(read.fonts, std::vector<std::string>{"Hershey futural"});
  double top = 1e9, bottom = -1e9, left = 1e9, right = -1e9;
  for (const Segment& s : read.segments) {
    EXPECT_EQ(s.kind, 0);
    top = std::min({top, s.y0, s.y3}), bottom = std::max({bottom, s.y0, s.y3});
    left = std::min({left, s.x0, s.x3}), right = std::max({right, s.x0, s.x3});
  }
  EXPECT_NEAR(bottom, 50.0, 1e-9);  // on the baseline
  EXPECT_NEAR(bottom - top, 0.7 * 20.0, 1e-9);
  // Centred on x = 10: the advance of H and I, ink inside it.
  const double advance = (glyphs['H' - 32].right - glyphs['H' - 32].left + glyphs['I' - 32].right -
                          glyphs['I' - 32].left) *
                         20.0 / font->unitsPerEm();
  EXPECT_GT(left, 10.0 - advance / 2.0);
  EXPECT_LT(right, 10.0 + advance / 2.0);

  const struct {
    const char* text;
    const char* error;
  } broken[] = {{"12345  3JZ", "line 1: the glyph ends before"},
                {"12345abcJZ", "line 1: \"abc\" is not a count"}};
  for (const auto& b : broken) {
    EXPECT_FALSE(HersheyFont::parse(b.text, "x", error));
    EXPECT_EQ(error.rfind(b.error, 0), 0U) << error;
  }
}

}  // namespace
}  // namespace brevanto::cli

namespace brevanto::cli {
namespace {

// The rightmost point of a text set in the Hershey font, whose advances are
// exact: spacing, lists and units move it by exactly what they say.
double rightEdge(const std::string& content, const std::shared_ptr<const HersheyFont>& font) {
  const ImportResult read = importSvg(page(content), {.flipY = false}, font);
  EXPECT_TRUE(read.ok()) << read.error;
  double right = -1e9;
  for (const Segment& s : read.segments) right = std::max({right, s.x0, s.x3});
  return right;
}

TEST(Text, SpacingListsAndUnitsMoveTheLettersAsSaid) {
  std::string error;
  const auto font = HersheyFont::load("futural", kHersheyFolder, error);
  ASSERT_TRUE(font) << error;
  const struct {
    const char* changed;
    const char* plain;
    double moved;  // mm
  } cases[] = {
      {"<text x='5' y='50' font-size='30' word-spacing='5'>I I</text>",
       "<text x='5' y='50' font-size='30'>I I</text>", 5.0},
      {"<text x='5' y='50' font-size='30' letter-spacing='2'>III</text>",
       "<text x='5' y='50' font-size='30'>III</text>", 4.0},
      {"<text x='5' y='50' font-size='30' dx='1 7'>II</text>",
       "<text x='5' y='50' font-size='30'>II</text>", 8.0},
      {"<g font-size='10'><text x='5' y='50' font-size='3em'>II</text></g>",
       "<text x='5' y='50' font-size='30'>II</text>", 0.0},
      {"<text x='5' y='50' font-size='30'>\n  I\n  I  </text>",
       "<text x='5' y='50' font-size='30'>I I</text>", 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.changed);
    EXPECT_NEAR(rightEdge(c.changed, font) - rightEdge(c.plain, font), c.moved, 1e-9);
  }
  // What is not set here is left out and listed, never cut.
  const ImportResult vertical =
      importSvg(page("<text x='5' y='50' writing-mode='tb'>I</text>"), {}, font);
  EXPECT_TRUE(vertical.segments.empty());
  ASSERT_EQ(vertical.leftOut.size(), 1U);
  EXPECT_EQ(vertical.leftOut[0].kind, "text");
}

}  // namespace
}  // namespace brevanto::cli
