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
  if (m.kind == ProgramMove::Kind::Rapid) {
    rapid += length;
    minutes += length / kAssumedRapidFeed;
    return;
  }
  cutting += length;
  if (m.feed > 0.0) {
    minutes += length / m.feed;
  } else if (length > 0.0) {
    feedMissing = true;
  }
  if (m.isPlunge()) ++plunges;
  // Moves come shape after shape: only a change of shape needs the set.
  if (m.shape > 0 && m.shape != lastShape_) {
    shapes_.insert(m.shape);
    lastShape_ = m.shape;
  }
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

std::string toolFitsNowhere(const JobReport& report, const MoveTotals& totals,
                            const std::string& diameter) {
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
  rows.push_back({"path elements after flattening", std::to_string(report.elementsAfterIntake)});
  rows.push_back({"after arc joining", std::to_string(report.elementsAfterArcJoining)});
  rows.push_back({"after line joining", std::to_string(report.elementsAfterLineJoining)});
  // Filled by the cut-out stage, which runs when CutOrder or ToolOffset ask.
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
  std::string passes = std::to_string(totals.plunges);
  if (totals.shapes() > 0 && totals.plunges % totals.shapes() == 0) {
    passes += " (" + std::to_string(totals.plunges / totals.shapes()) + " per shape)";
  }
  rows.push_back({"passes", passes});
  rows.push_back({"cutting length", millimetres(totals.cutting)});
  rows.push_back({"rapid length", millimetres(totals.rapid)});
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
