// The pieces the toolpath preview is written with: the view from machine
// millimetres to pixels, numbers and points as SVG text.
#pragma once

#include <string>
#include <string_view>

#include "brevanto/host.h"
#include "report/toolpath_preview.h"

namespace brevanto::cli {

// Machine millimetres to picture pixels: y up becomes y down.
struct View {
  double scale = 1.0;
  double originX = 0.0;  // machine x at the left margin
  double topY = 0.0;     // machine y at the top margin
  [[nodiscard]] double px(double x) const { return kPreviewMargin + (x - originX) * scale; }
  [[nodiscard]] double py(double y) const { return kPreviewMargin + (topY - y) * scale; }
};

// Three decimals of a pixel.
std::string number(double v);

// Appends `prefix` and the point's "x y" in pixels.
void addPoint(std::string& out, std::string_view prefix, const View& v, double x, double y);

// Appends the move's course in the plane from where the pen stands: a line,
// or an arc as SVG draws it (a whole turn in two halves).
void addStep(std::string& out, const View& v, const ProgramMove& m);

// `s` with &, < and > as entities, for an SVG text.
std::string escapeXml(const std::string& s);

// The tabs, ramps and leads: one path each kind, drawn over the cuts.
std::string entryPaths(const JobReport& report, const View& v);

}  // namespace brevanto::cli
