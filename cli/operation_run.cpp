#include "operation_run.h"

#include <cstdio>
#include <iostream>
#include <unordered_set>

namespace brevanto::cli {

std::vector<int32_t> shapeKeys(const std::vector<Segment>& segments) {
  std::vector<int32_t> keys;
  std::unordered_set<int32_t> seen;
  for (const Segment& s : segments) {
    if (seen.insert(s.shapeKey).second) keys.push_back(s.shapeKey);
  }
  return keys;
}

std::vector<Segment> selectedOnly(const std::vector<Segment>& segments,
                                  const std::vector<ChosenOperation>& operations) {
  std::unordered_set<int32_t> selected;
  for (const ChosenOperation& op : operations)
    selected.insert(op.shapeKeys.begin(), op.shapeKeys.end());
  std::vector<Segment> kept;
  for (const Segment& s : segments) {
    if (selected.contains(s.shapeKey)) kept.push_back(s);
  }
  return kept;
}

std::vector<JobOperation> jobOperations(const std::vector<ChosenOperation>& operations) {
  std::vector<JobOperation> job;
  for (const ChosenOperation& op : operations) {
    job.push_back({op.name, op.settings, op.shapeKeys, op.order, op.kind != "engrave"});
  }
  return job;
}

std::string notCutText(const std::vector<int32_t>& keys) {
  constexpr size_t kNamed = 8;
  std::string text = std::to_string(keys.size()) + " shape(s) (";
  for (size_t i = 0; i < keys.size() && i < kNamed; ++i) {
    text += (i == 0 ? "" : ", ") + std::to_string(keys[i]);
  }
  return text + (keys.size() > kNamed ? ", ...)" : ")");
}

std::optional<OperationSelection> selectForRun(std::vector<ChosenOperation>& operations,
                                               const std::vector<OperationSection>& sections,
                                               const Drawing& drawing, SelectionRules rules,
                                               std::string& error) {
  OperationSelection selection;
  if (operations.empty()) {
    if (rules.show) std::cout << operationsText(sections, nullptr);
    return selection;
  }
  selection.notSelected =
      selectShapes(operations, sections, drawing.tags, shapeKeys(drawing.segments));
  if (rules.show) std::cout << operationsText(sections, &operations);
  if (rules.strict && !selection.notSelected.empty()) {
    error = "--strict: " + notCutText(selection.notSelected) +
            ": no operation selects them; nothing written";
    return std::nullopt;
  }
  selection.segments = selectedOnly(drawing.segments, operations);
  if (selection.segments.empty()) {
    error = "no operation selects any shape of the drawing";
    return std::nullopt;
  }
  return selection;
}

bool anyOffset(const JobSettings& base, const std::vector<ChosenOperation>& operations) {
  bool offset = base.toolOffset != ToolOffset::None;
  for (const ChosenOperation& op : operations) {
    offset = offset || op.settings.toolOffset != ToolOffset::None;
  }
  return offset;
}

namespace {

// A laser operation's row: its power as a share and as the S it writes, its
// passes and feed, and a fill's lines.
std::string laserRow(const ChosenOperation& op, int32_t burnt) {
  const JobSettings& s = op.settings;
  char text[240];
  const int length = std::snprintf(
      text, sizeof text,
      "%zu shape(s) selected by %s, %d %s; %s, power %g %% (S%g), %d pass(es), feed %g",
      op.shapeKeys.size(), op.select.c_str(), burnt,
      // A fill's holes are left out of the shape around them.
      s.kind == OperationKind::LaserFill ? "filled" : "burnt", op.kind.c_str(),
      static_cast<double>(s.power),
      static_cast<double>(s.power) * static_cast<double>(s.laserMax) / 100.0, s.passes,
      static_cast<double>(s.cutFeed));
  if (s.kind == OperationKind::LaserFill && length > 0 &&
      static_cast<size_t>(length) < sizeof text) {
    std::snprintf(text + length, sizeof text - static_cast<size_t>(length),
                  ", lines %g mm apart at %g degrees%s, overscan %g mm",
                  static_cast<double>(s.lineInterval), static_cast<double>(s.fillAngle),
                  s.bidirectional ? " both ways" : " one way", static_cast<double>(s.overscan));
  }
  return std::string(text) + (s.airAssist ? ", air assist" : "");
}

}  // namespace

JobSettings programSettings(const JobSettings& base,
                            const std::vector<ChosenOperation>& operations) {
  JobSettings s = base;
  // The operations are all of one machine (chooseOperations): each read the
  // one Dialect text by the same rule as a laser's base settings.
  if (!operations.empty() && operations.front().settings.laser() && !base.laser()) {
    s.dialect = operations.front().settings.dialect;
  }
  return s;
}

bool anyOfKind(const JobSettings& base, const std::vector<ChosenOperation>& operations,
               OperationKind kind) {
  bool any = operations.empty() && base.kind == kind;
  for (const ChosenOperation& op : operations) any = any || op.settings.kind == kind;
  return any;
}

std::vector<SummaryRow> operationRows(const std::vector<ChosenOperation>& operations,
                                      const JobReport& report, const MoveTotals& totals,
                                      const std::vector<int32_t>& notSelected) {
  std::vector<SummaryRow> rows;
  for (size_t i = 0; i < operations.size(); ++i) {
    const ChosenOperation& op = operations[i];
    const JobSettings& s = op.settings;
    int32_t written = 0;
    for (const int32_t w : report.writtenOperations) written += w == static_cast<int32_t>(i);
    char text[240];
    const std::string figures =
        operationFigures(totals, report.writtenOperations, static_cast<int32_t>(i), s.laser());
    if (s.laser()) {
      rows.push_back({"operation " + op.name, laserRow(op, written) + figures});
      continue;
    }
    std::snprintf(text, sizeof text,
                  "%zu shape(s) selected by %s, %d cut; %s, depth %g in steps of %g, tool T%d "
                  "(%g mm), feed %g, plunge %g",
                  op.shapeKeys.size(), op.select.c_str(), written, op.kind.c_str(),
                  -static_cast<double>(s.finalDepth), -static_cast<double>(s.passDepth),
                  s.toolNumber, static_cast<double>(s.toolDiameter), static_cast<double>(s.cutFeed),
                  static_cast<double>(s.plungeFeed));
    rows.push_back({"operation " + op.name, text + figures});
  }
  if (report.toolChanges > 0) rows.push_back({"tool changes", std::to_string(report.toolChanges)});
  if (!notSelected.empty()) {
    rows.push_back({"not cut", notCutText(notSelected) + " (no operation selects them)"});
    std::cerr << "brevanto: warning: " << notCutText(notSelected)
              << " not cut: no operation selects them\n";
  }
  return rows;
}

}  // namespace brevanto::cli
