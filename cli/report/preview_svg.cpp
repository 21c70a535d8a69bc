#include "report/preview_svg.h"

#include <numbers>

namespace brevanto::cli {

// Three decimals of a pixel: the toolpath can have a million moves.
std::string number(double v) {
  char text[64];
  return std::string(text, fixed3(text, text + sizeof text, v));
}

// Appends `prefix` and the point's "x y" in pixels: the preview's path data
// is most of its bytes, so it is built in place.
void addPoint(std::string& out, std::string_view prefix, const View& v, double x, double y) {
  out.append(prefix);
  char text[64];  // more than a pixel coordinate of a sane picture needs
  out.append(text, fixed3(text, text + sizeof text, v.px(x)));
  out += ' ';
  out.append(text, fixed3(text, text + sizeof text, v.py(y)));
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

// The tabs, ramps and leads: one path each kind, drawn over the cuts.
std::string entryPaths(const JobReport& report, const View& v) {
  using Kind = JobReport::EntryStroke::Kind;
  const struct {
    Kind kind;
    const char* style;
  } kinds[] = {{Kind::Ramp, "stroke=\"#e08000\" stroke-width=\"3\""},
               {Kind::Lead, "stroke=\"#8a2be2\" stroke-width=\"2\""},
               {Kind::Tab, "stroke=\"#101010\" stroke-width=\"5\""}};
  std::string svg;
  for (const auto& k : kinds) {
    std::string d;
    for (const JobReport::EntryStroke& stroke : report.entryStrokes) {
      if (stroke.kind != k.kind) continue;
      for (size_t i = 0; i + 1 < stroke.xy.size(); i += 2) {
        addPoint(d, i == 0 ? "M" : "L", v, stroke.xy[i], stroke.xy[i + 1]);
      }
    }
    if (!d.empty()) {
      svg += std::string("<path fill=\"none\" stroke-linecap=\"butt\" ") + k.style + " d=\"" + d +
             "\"/>\n";
    }
  }
  return svg;
}

void addStep(std::string& out, const View& v, const ProgramMove& m) {
  if (!m.curved()) {
    addPoint(out, "L", v, m.toX, m.toY);
    return;
  }
  // The picture shows the machine's view (y up), where SVG's positive sweep
  // looks clockwise: G02 has sweep flag 1. A whole turn (I J words back to
  // the start) is drawn as two halves: an SVG arc to its own start draws
  // nothing. Composed in place: a picture of a million arcs would otherwise
  // make and free a few strings for each.
  char radius[64];
  const std::string_view r(
      radius,
      static_cast<size_t>(fixed3(radius, radius + sizeof radius, m.radius * v.scale) - radius));
  const std::string_view flag = m.kind == ProgramMove::Kind::ClockwiseArc ? " 1 " : " 0 ";
  const auto arcTo = [&](double x, double y, bool large) {
    out += 'A';
    out += r;
    out += ' ';
    out += r;
    out += large ? " 0 1" : " 0 0";
    addPoint(out, flag, v, x, y);
  };
  if (m.sweep >= 2.0 * std::numbers::pi) {
    const PlanePoint half = m.pointAlong(0.5);
    arcTo(half.x, half.y, false);
    arcTo(m.toX, m.toY, false);
  } else {
    arcTo(m.toX, m.toY, m.sweep > std::numbers::pi);
  }
}

}  // namespace brevanto::cli
