#include "report/preview_operations.h"

#include <cmath>
#include <cstdio>

namespace brevanto::cli {
namespace {

constexpr const char* kNotCutColour = "#e0201b";

std::string operationColour(size_t operation) {
  static constexpr const char* kColours[] = {"#1f5fbf", "#2e8b3a", "#b8860b", "#8a2be2",
                                             "#008b8b", "#c71585", "#556b2f", "#a0522d"};
  constexpr size_t kCount = sizeof kColours / sizeof kColours[0];
  if (operation < kCount) return kColours[operation];
  const double hue = std::fmod(static_cast<double>(operation) * 137.508, 360.0);
  char text[48];
  std::snprintf(text, sizeof text, "hsl(%.0f,70%%,38%%)", hue);
  return text;
}

}  // namespace

std::string cutColour(const PreviewOperations& operations, int32_t shape) {
  const std::vector<int32_t>& written = operations.report->writtenOperations;
  if (shape < 1 || static_cast<size_t>(shape) > written.size()) return "#808080";
  return operationColour(static_cast<size_t>(written[static_cast<size_t>(shape - 1)]));
}

void markShape(std::string& marks, const View& v, const ProgramMove& first, int32_t shape,
               const std::string& colour) {
  marks += "<text x=\"" + number(v.px(first.fromX) + 5.0) + "\" y=\"" +
           number(v.py(first.fromY) - 5.0) + "\" fill=\"" + colour + "\">" + std::to_string(shape) +
           "</text>";
  // The arrow points along the move where it is halfway, in pixels (y down).
  const PlanePoint at = first.pointAlong(0.5);
  const PlanePoint before = first.pointAlong(0.45), after = first.pointAlong(0.55);
  double ux = (after.x - before.x) * v.scale, uy = -(after.y - before.y) * v.scale;
  const double length = std::hypot(ux, uy);
  if (!(length > 0.0)) return;
  ux /= length;
  uy /= length;
  const double tx = v.px(at.x), ty = v.py(at.y);
  char text[256];
  std::snprintf(text, sizeof text, "<path fill=\"%s\" d=\"M%.3f %.3fL%.3f %.3fL%.3f %.3fZ\"/>",
                colour.c_str(), tx + 4.0 * ux, ty + 4.0 * uy, tx - 5.0 * ux - 4.0 * uy,
                ty - 5.0 * uy + 4.0 * ux, tx - 5.0 * ux + 4.0 * uy, ty - 5.0 * uy - 4.0 * ux);
  marks += text;
}

std::string notCutSvg(const std::string& notCut, const PreviewOperations& operations,
                      const View& v) {
  std::string svg;
  if (!notCut.empty()) {
    svg += std::string("<path fill=\"none\" stroke=\"") + kNotCutColour +
           "\" stroke-width=\"1.2\" stroke-dasharray=\"2 3\" d=\"" + notCut + "\"/>\n";
  }
  // The job's places are in the program's coordinates; the picture is in
  // the drawing's.
  const JobReport& r = *operations.report;
  std::string crosses;
  for (const ToolMisfit& m : r.toolMisfits) {
    const double x = v.px(m.x - r.originShiftX), y = v.py(m.y - r.originShiftY);
    char text[160];
    std::snprintf(text, sizeof text, "M%.3f %.3fl8 8m0 -8l-8 8", x - 4.0, y - 4.0);
    crosses += text;
  }
  if (!crosses.empty()) {
    svg += std::string("<path fill=\"none\" stroke=\"") + kNotCutColour +
           "\" stroke-width=\"2\" d=\"" + crosses + "\"/>\n";
  }
  return svg;
}

std::string operationLegend(const PreviewOperations& operations, double x, double y) {
  std::string svg = "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\">operations:";
  for (size_t i = 0; i < operations.names.size(); ++i) {
    svg += std::string(i == 0 ? " " : " · ") + "<tspan fill=\"" + operationColour(i) + "\">■ " +
           escapeXml(operations.names[i]) + "</tspan>";
  }
  svg += " · numbers: cutting order · arrows: direction</text>\n<text x=\"" + number(x) +
         "\" y=\"" + number(y + kPreviewLegendLine) + "\" fill=\"" + kNotCutColour +
         "\">not cut: dotted, " + std::to_string(operations.notSelected.size()) +
         " shape(s) no operation selects · ×, " +
         std::to_string(operations.report->toolMisfits.size()) +
         " place(s) where the tool does not fit</text>\n";
  return svg;
}

}  // namespace brevanto::cli
