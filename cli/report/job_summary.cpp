#include "report/job_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace brevanto::cli {
namespace {

std::string millimetres(double mm) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f mm", mm);
  return text;
}

std::string duration(double minutes) {
  const auto seconds = static_cast<long long>(std::llround(minutes * 60.0));
  char text[64];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return text;
}

}  // namespace

void MoveTotals::add(const ProgramMove& m) {
  if (!m.fromKnown) return;
  const double length = m.length();
  ShapeFigures none;
  ShapeFigures& shape = byShape && m.shape > 0 ? figuresOf(m.shape) : none;
  if (m.kind == ProgramMove::Kind::Rapid) {
    rapid += length;
    minutes += length / kAssumedRapidFeed;
    shape.rapid += length;
    shape.minutes += length / kAssumedRapidFeed;
    descending_ = false;
    return;
  }
  cutting += length;
  shape.cutting += length;
  if (m.power > 0.0) burning += length, shape.burning += length, laser = true;
  if (m.feed > 0.0) {
    minutes += length / m.feed;
    shape.minutes += length / m.feed;
  } else if (length > 0.0) {
    feedMissing = true;
  }
  // Moves come shape after shape: only a change of shape needs the set.
  if (m.shape > 0 && m.shape != lastShape_) {
    shapes_.insert(m.shape);
    lastShape_ = m.shape;
    lowest_ = m.fromZ;
    descending_ = false;
  }
  if (m.toZ < m.fromZ) {
    if (!descending_) counted_ = false;
    descending_ = true;
    if (!counted_ && m.toZ < lowest_) {
      ++plunges;
      counted_ = true;
    }
    lowest_ = std::min(lowest_, m.toZ);
  } else {
    descending_ = false;
  }
}

MoveTotals::ShapeFigures& MoveTotals::figuresOf(int32_t shape) {
  if (perShape.size() < static_cast<size_t>(shape)) perShape.resize(static_cast<size_t>(shape));
  return perShape[static_cast<size_t>(shape) - 1];
}

std::string operationFigures(const MoveTotals& totals, const std::vector<int32_t>& written,
                             int32_t operation, bool laser) {
  MoveTotals::ShapeFigures sum;
  for (size_t k = 0; k < written.size() && k < totals.perShape.size(); ++k) {
    if (written[k] != operation) continue;
    const MoveTotals::ShapeFigures& f = totals.perShape[k];
    sum.cutting += f.cutting;
    sum.burning += f.burning;
    sum.rapid += f.rapid;
    sum.minutes += f.minutes;
  }
  if (!laser) return ", cutting " + millimetres(sum.cutting) + ", " + duration(sum.minutes);
  return ", burning " + millimetres(sum.burning) + ", travel " +
         millimetres(sum.cutting - sum.burning + sum.rapid) + ", " + duration(sum.minutes);
}

std::vector<std::string> rowLines(const SummaryRow& row, size_t most) {
  const std::string text = row.label + ": " + row.value;
  std::vector<std::string> lines;
  size_t from = 0;
  while (text.size() - from > most) {
    // The last break within the line, else the first beyond it.
    size_t cut = std::string::npos;
    for (size_t i = from; i + 1 < text.size() && (i < from + most || cut == std::string::npos);
         ++i) {
      if ((text[i] == ',' || text[i] == ';') && text[i + 1] == ' ') cut = i + 2;
    }
    if (cut == std::string::npos || cut >= text.size()) break;
    lines.push_back(text.substr(from, cut - 1 - from));
    from = cut;
  }
  lines.push_back(text.substr(from));
  return lines;
}

std::string misfitPlaces(const JobReport& report) {
  const size_t count = report.toolMisfits.size();
  std::string text = count == 1 ? "1 place: " : std::to_string(count) + " places: ";
  for (size_t i = 0; i < std::min(count, kMisfitsNamed); ++i) {
    const ToolMisfit& m = report.toolMisfits[i];
    char at[96];
    std::snprintf(at, sizeof at, "%sshape %d near X%.3f Y%.3f", i > 0 ? ", " : "", m.shapeKey, m.x,
                  m.y);
    text += at;
  }
  if (count > kMisfitsNamed) text += ", ...";
  return text;
}

// How many pockets, and the area their tool cannot reach: in all, then
// pocket by pocket where something is left, with its first places.
std::string pocketsLeft(const JobReport& report) {
  constexpr double kNegligible = 0.005;  // mm2
  double total = 0.0;
  size_t cleared = 0;
  for (const JobReport::PocketLeft& p : report.pockets) {
    total += p.area;
    cleared += p.cleared;
  }
  char text[160];
  std::snprintf(
      text, sizeof text, "%zu cleared%s; about %.2f mm2 out of the tool's reach", cleared,
      cleared < report.pockets.size()
          ? (", " + std::to_string(report.pockets.size() - cleared) + " too narrow for the tool")
                .c_str()
          : "",
      total);
  std::string out = text;
  size_t named = 0;
  for (const JobReport::PocketLeft& p : report.pockets) {
    if (p.area < kNegligible || named == kMisfitsNamed) continue;
    std::snprintf(text, sizeof text, "%s shape %d: %.2f mm2", named == 0 ? ":" : ";", p.shapeKey,
                  p.area);
    out += text;
    for (size_t i = 0; i + 1 < p.where.size() && i < 6; i += 2) {
      std::snprintf(text, sizeof text, "%s X%.3f Y%.3f", i == 0 ? " near" : ",", p.where[i],
                    p.where[i + 1]);
      out += text;
    }
    ++named;
  }
  return out;
}

std::string toolFitsNowhere(const JobReport& report, const MoveTotals& totals,
                            const std::string& diameter) {
  const bool noPocket = !report.pockets.empty() &&
                        std::none_of(report.pockets.begin(), report.pockets.end(),
                                     [](const JobReport::PocketLeft& p) { return p.cleared; });
  if (noPocket && totals.plunges == 0) {
    return "txtWZDia=" + diameter +
           ": the tool fits in none of the pockets, so the program would cut nothing (" +
           pocketsLeft(report) + "); nothing written";
  }
  if (report.toolMisfits.empty() || totals.plunges > 0) return {};
  return "txtWZDia=" + diameter +
         ": the tool fits in none of the drawing's shapes, so the program would cut nothing (" +
         misfitPlaces(report) + "); nothing written";
}

std::vector<SummaryRow> summarize(const DrawingFacts& drawing, const JobReport& report,
                                  const std::vector<ProgramMove>& moves) {
  MoveTotals totals;
  for (const ProgramMove& m : moves) totals.add(m);
  return summarize(drawing, report, totals);
}

std::vector<SummaryRow> summarize(const DrawingFacts& drawing, const JobReport& report,
                                  const MoveTotals& totals) {
  std::vector<SummaryRow> rows;
  rows.push_back({"shapes", std::to_string(drawing.shapes)});
  rows.push_back({"segments", std::to_string(drawing.segments)});
  if (drawing.texts > 0) {
    rows.push_back({"texts", std::to_string(drawing.texts) + " in " + drawing.fonts});
  }
  if (drawing.skippedElements >= 0) {
    std::string skipped = std::to_string(drawing.skippedElements);
    if (!drawing.skippedDetail.empty()) skipped += " (" + drawing.skippedDetail + ")";
    rows.push_back({"elements skipped", skipped});
  }
  if (!drawing.scaleNote.empty()) rows.push_back({"scale", drawing.scaleNote});
  if (report.originShiftX != 0.0 || report.originShiftY != 0.0) {
    char text[160];
    std::snprintf(text, sizeof text, "X0 Y0 is the drawing's X%.3f Y%.3f", -report.originShiftX,
                  -report.originShiftY);
    rows.push_back({"work origin", text});
  }
  rows.push_back({"path elements after flattening", std::to_string(report.elementsAfterIntake)});
  rows.push_back({"after arc joining", std::to_string(report.elementsAfterArcJoining)});
  rows.push_back({"after line joining", std::to_string(report.elementsAfterLineJoining)});
  // Filled by the cut-out stage, which runs when CutOrder, ToolOffset, Tabs or
  // LeadIn ask.
  if (report.parts + report.holes + report.openShapes > 0) {
    rows.push_back(
        {"nesting",
         std::to_string(report.parts) + " parts, " + std::to_string(report.holes) + " holes, " +
             std::to_string(report.openShapes) + " open lines" +
             (report.crossingShapes > 0 ? ", " + std::to_string(report.crossingShapes) + " crossing"
                                        : "")});
    rows.push_back({"rapid length in drawing order", millimetres(report.rapidLengthBefore)});
    rows.push_back({"rapid length as ordered", millimetres(report.rapidLengthAfter)});
    if (!report.toolMisfits.empty()) rows.push_back({"tool does not fit", misfitPlaces(report)});
  }
  if (totals.laser) {
    // A laser burns where its power is on; every other move is travel.
    rows.push_back({"burning length", millimetres(totals.burning)});
    rows.push_back(
        {"travel (beam off)", millimetres(totals.cutting - totals.burning + totals.rapid)});
  } else {
    std::string passes = std::to_string(totals.plunges);
    if (totals.shapes() > 0 && totals.plunges % totals.shapes() == 0) {
      passes += " (" + std::to_string(totals.plunges / totals.shapes()) + " per shape)";
    }
    rows.push_back({"passes", passes});
    if (report.tabs > 0 || !report.fewerTabs.empty()) {
      std::string tabs = std::to_string(report.tabs);
      for (const JobReport::FewerTabs& f : report.fewerTabs) {
        tabs += "; shape " + std::to_string(f.shapeKey) + " has room for " +
                std::to_string(f.placed) + " of " + std::to_string(f.asked);
      }
      rows.push_back({"holding tabs", tabs});
    }
    if (report.ramps > 0) rows.push_back({"ramp entries", std::to_string(report.ramps)});
    if (!report.pockets.empty()) rows.push_back({"pockets", pocketsLeft(report)});
    if (report.leads > 0 || !report.shapesWithoutLead.empty()) {
      std::string leads = std::to_string(report.leads);
      if (!report.shapesWithoutLead.empty())
        leads += "; one or both left out (no room in the waste) on shape";
      for (size_t i = 0; i < report.shapesWithoutLead.size(); ++i) {
        leads += (i == 0 ? " " : ", ") + std::to_string(report.shapesWithoutLead[i]);
      }
      rows.push_back({"lead arcs", leads});
    }
    rows.push_back({"cutting length", millimetres(totals.cutting)});
    rows.push_back({"rapid length", millimetres(totals.rapid)});
  }
  char rapid[96];
  std::snprintf(rapid, sizeof rapid, " (at the feeds; rapids at %.0f mm/min)", kAssumedRapidFeed);
  rows.push_back({"estimated time", duration(totals.minutes) + rapid +
                                        (totals.feedMissing ? ", some moves without a feed" : "")});
  return rows;
}

std::string formatSummary(const std::vector<SummaryRow>& rows) {
  size_t width = 0;
  for (const SummaryRow& row : rows) width = std::max(width, row.label.size());
  std::string out;
  for (const SummaryRow& row : rows) {
    out += "  " + row.label + " " + std::string(width - row.label.size() + 2, '.') + " " +
           row.value + "\n";
  }
  return out;
}

}  // namespace brevanto::cli
