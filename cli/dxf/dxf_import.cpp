#include "dxf_import.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "dxf_blocks.h"
#include "dxf_chaining.h"
#include "dxf_document.h"
#include "svg/curve_length.h"

namespace brevanto::cli::dxf {
namespace {

// The job refuses a record with a point further than this from the origin.
constexpr double kFarthestMm = 1e6;

// The job fits one arc through a curve's ends and middle when its length is
// 1 (two samples): for a piece of a circle that arc is the circle itself,
// which the arc joining then merges into whole G2/G3 moves.
constexpr float kOneArc = 1.0F;

// The job's arc joining merges neighbouring arcs that meet smoothly when
// one is ten times the other's length, as the many short arcs of a sampled
// curve are; whole arcs of different circles (a fillet and a long side) are
// no such pair. A line of no length between them keeps each arc its own,
// while the pieces of one arc still merge into one. It is cut as a move to
// where the tool already is.
bool separated(const Piece& a, const Piece& b) {
  return a.cubic && b.cubic && (a.arc || b.arc) && a.run != b.run;
}

void emit(const std::vector<Outline>& shapes, const Document& document, DxfImport& out) {
  ImportResult& r = out.result;
  bool first = true;
  for (const Outline& shape : shapes) {
    const int32_t key = ++r.shapes;
    ShapeTags& tags = out.tags.emplace_back();
    tags.stroke = shape.rgb;
    tags.layer = document.layers[static_cast<size_t>(shape.layer)].name;
    const Piece* before = nullptr;
    for (const Piece& p : shape.pieces) {
      if (before != nullptr && separated(*before, p)) {
        Segment stop{};
        stop.x0 = stop.x3 = p.p0.x;
        stop.y0 = stop.y3 = p.p0.y;
        stop.shapeKey = key;
        stop.colour = shape.rgb;
        r.segments.push_back(stop);
      }
      before = &p;
      Segment s{};
      s.x0 = p.p0.x, s.y0 = p.p0.y, s.x3 = p.p3.x, s.y3 = p.p3.y;
      if (p.cubic) {
        s.kind = 1;
        s.x1 = p.p1.x, s.y1 = p.p1.y, s.x2 = p.p2.x, s.y2 = p.p2.y;
      }
      // A point beyond what the job takes (it refuses the record) is not worth
      // measuring a curve for: at 1e15 mm the measure would split for ever.
      const bool far = std::fabs(s.x0) > kFarthestMm || std::fabs(s.y0) > kFarthestMm ||
                       std::fabs(s.x1) > kFarthestMm || std::fabs(s.y1) > kFarthestMm ||
                       std::fabs(s.x2) > kFarthestMm || std::fabs(s.y2) > kFarthestMm ||
                       std::fabs(s.x3) > kFarthestMm || std::fabs(s.y3) > kFarthestMm;
      s.length = p.arc             ? kOneArc
                 : p.cubic && !far ? curveRecordLength(s)
                                   : static_cast<float>(lineLength(s));
      s.shapeKey = key;
      s.colour = shape.rgb;
      r.segments.push_back(s);
      const Point points[] = {p.p0, p.p3, p.p1, p.p2};
      for (size_t i = 0; i < (p.cubic ? 4U : 2U); ++i) {
        const Point& q = points[i];
        r.minXMm = first ? q.x : std::min(r.minXMm, q.x);
        r.maxXMm = first ? q.x : std::max(r.maxXMm, q.x);
        r.minYMm = first ? q.y : std::min(r.minYMm, q.y);
        r.maxYMm = first ? q.y : std::max(r.maxYMm, q.y);
        first = false;
      }
    }
  }
}

}  // namespace

DxfImport importDxf(std::string_view bytes, const DxfOptions& options) {
  DxfImport out;
  ImportResult& r = out.result;
  r.hasPhysicalUnits = true;  // no pixel density is involved
  Document document;
  try {
    Expander expander(options.unit);
    std::string error;
    int32_t line = 0;
    if (!readDocument(bytes, document, expander, error, line)) {
      r.error = error;
      r.errorLine = line;
      return out;
    }
    expander.finish(document);
    out.unit = expander.unit();
    out.paperSpace = expander.paperSpace();
    r.leftOut = expander.leftOut();
    for (const LeftOut& l : r.leftOut) r.skippedElements[l.kind] += l.count;
    r.warnings = expander.notes();
    emit(chainOutlines(std::move(expander.outlines())), document, out);
  } catch (const Refusal& refusal) {
    r = ImportResult{};
    r.error = placed(document, refusal.line, refusal.message, r.errorLine);
    out.tags.clear();
  } catch (const std::bad_alloc&) {
    r = ImportResult{};
    r.error = "not enough memory to read the drawing";
    out.tags.clear();
  }
  return out;
}

std::vector<std::string> describeDxf(const DxfImport& dxf) {
  std::vector<std::string> lines = describeImport(dxf.result, {});
  if (dxf.unit) {
    lines.push_back("drawing unit: " + dxf.unit->name);
  } else {
    lines.push_back(
        "the drawing gives no unit ($INSUNITS): read as millimetres; --dxf-units sets it; check "
        "the extent");
  }
  if (dxf.paperSpace > 0) {
    lines.push_back(
        std::to_string(dxf.paperSpace) +
        " entities of paper space (sheet layouts) are not cut: only the model space is");
  }
  return lines;
}

}  // namespace brevanto::cli::dxf
