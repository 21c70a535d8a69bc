#include "report/preview_svg.h"

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

}  // namespace brevanto::cli
