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
  for (const ChosenOperation& op : operations) job.push_back({op.name, op.settings, op.shapeKeys});
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

bool anyPocket(const JobSettings& base, const std::vector<ChosenOperation>& operations) {
  bool pocket = base.kind == OperationKind::Pocket;
  for (const ChosenOperation& op : operations) {
    pocket = pocket || op.settings.kind == OperationKind::Pocket;
  }
  return pocket;
}

std::vector<SummaryRow> operationRows(const std::vector<ChosenOperation>& operations,
                                      const JobReport& report,
                                      const std::vector<int32_t>& notSelected) {
  std::vector<SummaryRow> rows;
  for (size_t i = 0; i < operations.size(); ++i) {
    const ChosenOperation& op = operations[i];
    const JobSettings& s = op.settings;
    int32_t written = 0;
    for (const int32_t w : report.writtenOperations) written += w == static_cast<int32_t>(i);
    char text[240];
    std::snprintf(text, sizeof text,
                  "%zu shape(s) selected by %s, %d cut; %s, depth %g in steps of %g, tool T%d "
                  "(%g mm), feed %g, plunge %g",
                  op.shapeKeys.size(), op.select.c_str(), written, op.kind.c_str(),
                  -static_cast<double>(s.finalDepth), -static_cast<double>(s.passDepth),
                  s.toolNumber, static_cast<double>(s.toolDiameter), static_cast<double>(s.cutFeed),
                  static_cast<double>(s.plungeFeed));
    rows.push_back({"operation " + op.name, text});
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
