#include "report/toolpath_preview.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string_view>

namespace brevanto::cli {
namespace {

// Machine millimetres to picture pixels: y up becomes y down.
struct View {
  double scale = 1.0;
  double originX = 0.0;  // machine x at the left margin
  double topY = 0.0;     // machine y at the top margin
  [[nodiscard]] double px(double x) const { return kPreviewMargin + (x - originX) * scale; }
  [[nodiscard]] double py(double y) const { return kPreviewMargin + (topY - y) * scale; }
};

// Three decimals of a pixel; to_chars, as the toolpath can have a million
// moves.
std::string number(double v) {
  char text[64];
  const auto [end, error] = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 3);
  return error == std::errc() ? std::string(text, end) : std::string("0");
}

// Appends `prefix` and the point's "x y" in pixels: the preview's path data
// is most of its bytes, so it is built in place.
void addPoint(std::string& out, std::string_view prefix, const View& v, double x, double y) {
  out.append(prefix);
  auto put = [&out](double value) {
    char text[64];  // more than a pixel coordinate of a sane picture needs
    const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
    if (r.ec == std::errc()) {
      out.append(text, r.ptr);
    } else {
      out += '0';
    }
  };
  put(v.px(x));
  out += ' ';
  put(v.py(y));
}

// Well separated hues for consecutive shapes.
std::string shapeColour(int32_t shape) {
  const double hue = std::fmod(static_cast<double>(shape) * 137.508, 360.0);
  char text[48];
  std::snprintf(text, sizeof text, "hsl(%.0f,75%%,42%%)", hue);
  return text;
}

std::string escapeXml(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string renderPreview(const std::vector<Segment>& drawing,
                          const std::vector<ProgramMove>& moves,
                          const std::vector<SummaryRow>& legend) {
  PlaneBox b;
  b.add(0.0, 0.0);  // the origin cross is always in view
  for (const Segment& s : drawing) {
    b.add(s.x0, s.y0);
    b.add(s.x3, s.y3);
  }
  for (const ProgramMove& m : moves) {
    if (m.shape == 0 || !m.fromKnown) continue;  // header and home moves lie outside the work
    b.add(m);
  }
  const double spanX = std::max(b.maxX - b.minX, 1e-3);
  const double spanY = std::max(b.maxY - b.minY, 1e-3);
  View v;
  v.scale = kPreviewWidth / spanX;
  // Very tall drawings: keep the picture at most three times as high as wide.
  v.scale = std::min(v.scale, 3.0 * kPreviewWidth / spanY);
  v.originX = b.minX;
  v.topY = b.maxY;
  const double drawingHeight = spanY * v.scale;
  const double width = std::ceil(spanX * v.scale + 2 * kPreviewMargin);
  const double legendTop = kPreviewMargin + drawingHeight + kPreviewMargin;
  const double height =
      std::ceil(legendTop + kPreviewLegendLine * static_cast<double>(legend.size() + 1) + 10.0);

  std::string svg;
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(width) + "\" height=\"" +
         number(height) + "\" viewBox=\"0 0 " + number(width) + " " + number(height) + "\">\n";
  svg += "<title>Brevanto toolpath preview</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";

  // The drawing, thin grey.
  svg += "<path fill=\"none\" stroke=\"#b0b0b0\" stroke-width=\"0.6\" d=\"";
  for (size_t i = 0; i < drawing.size(); ++i) {
    const Segment& s = drawing[i];
    const bool continues = i > 0 && drawing[i - 1].shapeKey == s.shapeKey &&
                           drawing[i - 1].x3 == s.x0 && drawing[i - 1].y3 == s.y0;
    if (!continues) addPoint(svg, "M", v, s.x0, s.y0);
    if (s.kind == 1) {
      addPoint(svg, "C", v, s.x1, s.y1);
      addPoint(svg, " ", v, s.x2, s.y2);
      addPoint(svg, " ", v, s.x3, s.y3);
    } else {
      addPoint(svg, "L", v, s.x3, s.y3);
    }
  }
  svg += "\"/>\n";

  // Axis cross at the origin.
  const double ox = v.px(0.0), oy = v.py(0.0);
  svg += "<g stroke=\"#303030\" stroke-width=\"1\"><line x1=\"" + number(ox - 15) + "\" y1=\"" +
         number(oy) + "\" x2=\"" + number(ox + 30) + "\" y2=\"" + number(oy) + "\"/><line x1=\"" +
         number(ox) + "\" y1=\"" + number(oy + 15) + "\" x2=\"" + number(ox) + "\" y2=\"" +
         number(oy - 30) + "\"/></g>\n";
  svg += "<g font-family=\"sans-serif\" font-size=\"11\" fill=\"#303030\"><text x=\"" +
         number(ox + 32) + "\" y=\"" + number(oy + 4) + "\">X</text><text x=\"" + number(ox - 4) +
         "\" y=\"" + number(oy - 33) + "\">Y</text></g>\n";

  // Rapid moves, dashed; cutting moves by shape; the start of each shape.
  std::string rapids;
  std::string cuts;
  std::string starts;
  int32_t currentShape = -1;
  bool shapeStarted = false;
  double penX = std::numeric_limits<double>::quiet_NaN(), penY = penX;  // where the path is
  for (const ProgramMove& m : moves) {
    if (!m.fromKnown || m.shape == 0) continue;  // the way home is left out
    const bool moves2d = m.fromX != m.toX || m.fromY != m.toY || m.curved();
    if (m.kind == ProgramMove::Kind::Rapid) {
      if (moves2d) {
        addPoint(rapids, "M", v, m.fromX, m.fromY);
        addPoint(rapids, "L", v, m.toX, m.toY);
      }
      continue;
    }
    if (m.shape != currentShape) {
      if (currentShape >= 0) cuts += "\"/>\n";
      currentShape = m.shape;
      shapeStarted = false;
      penX = penY = std::numeric_limits<double>::quiet_NaN();
      cuts += "<path fill=\"none\" stroke-width=\"1.6\" stroke-linejoin=\"round\" stroke=\"" +
              shapeColour(m.shape) + "\" d=\"";
    }
    if (!shapeStarted && m.shape > 0) {
      shapeStarted = true;
      starts += "<circle cx=\"" + number(v.px(m.fromX)) + "\" cy=\"" + number(v.py(m.fromY)) +
                "\" r=\"3.5\" fill=\"" + shapeColour(m.shape) + "\"/>";
    }
    if (!moves2d) continue;  // plunges: no plan-view movement
    if (!(m.fromX == penX && m.fromY == penY)) addPoint(cuts, "M", v, m.fromX, m.fromY);
    penX = m.toX;
    penY = m.toY;
    if (m.curved()) {
      // The picture shows the machine's view (y up), where SVG's positive
      // sweep looks clockwise: G02 has sweep flag 1. A whole turn (I J words
      // back to the start) is drawn as two halves: an SVG arc to its own
      // start draws nothing.
      const std::string r = number(m.radius * v.scale);
      const std::string flag = m.kind == ProgramMove::Kind::ClockwiseArc ? " 1 " : " 0 ";
      auto arcTo = [&](double x, double y, bool large) {
        addPoint(cuts, "A" + r + " " + r + " 0 " + (large ? "1" : "0") + flag, v, x, y);
      };
      if (m.sweep >= 2.0 * M_PI) {
        const PlanePoint half = m.pointAlong(0.5);
        arcTo(half.x, half.y, false);
        arcTo(m.toX, m.toY, false);
      } else {
        arcTo(m.toX, m.toY, m.sweep > M_PI);
      }
    } else {
      addPoint(cuts, "L", v, m.toX, m.toY);
    }
  }
  if (currentShape >= 0) cuts += "\"/>\n";
  svg +=
      "<path fill=\"none\" stroke=\"#4060a0\" stroke-width=\"0.8\" stroke-dasharray=\"4 3\" d=\"" +
      rapids + "\"/>\n";
  svg += cuts;
  svg += "<g stroke=\"white\" stroke-width=\"1\">" + starts + "</g>\n";

  // Legend.
  svg += "<g font-family=\"sans-serif\" font-size=\"13\" fill=\"#202020\">\n";
  double y = legendTop;
  svg += "<text x=\"" + number(kPreviewMargin) + "\" y=\"" + number(y) +
         "\">grey: drawing · colours: cutting moves by shape · dashed: rapid moves · dot: start "
         "of a shape</text>\n";
  y += kPreviewLegendLine;
  for (const SummaryRow& row : legend) {
    svg += "<text x=\"" + number(kPreviewMargin) + "\" y=\"" + number(y) + "\">" +
           escapeXml(row.label + ": " + row.value) + "</text>\n";
    y += kPreviewLegendLine;
  }
  svg += "</g>\n</svg>\n";
  return svg;
}

}  // namespace brevanto::cli
