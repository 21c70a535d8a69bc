#include "job/operations_job.h"

#include <unordered_map>

#include "gcode/gcode_sink.h"
#include "gcode/program_writer.h"
#include "job/cut_out.h"
#include "job/job.h"
#include "job/laser_operations.h"
#include "job/operation_order.h"
#include "job/pocket_job.h"

namespace brevanto {
namespace {

struct PreparedOperation {
  JobSettings settings;
  std::vector<PathElement> elements;
  std::vector<ShapeEntry> entries;  // per shape as written, for tabs and leads
  std::vector<FillShape> fill;      // a laser fill's hatching
};

// An operation's settings, held to what the job's settings decide for the
// whole program: one dialect, one joining, one origin, one first and last
// move.
JobSettings operationSettings(const JobSettings& own, const JobSettings& base) {
  JobSettings s = checkedSettings(own);
  s.precision = base.precision;
  s.dialect = base.dialect;
  s.origin = base.origin;
  s.clearanceZ = base.clearanceZ;
  s.park = base.park;
  s.parkX = base.parkX;
  s.parkY = base.parkY;
  holdLaserMachine(s, base);
  return s;
}

void addNesting(const JobReport& from, JobReport& to) {
  to.parts += from.parts;
  to.holes += from.holes;
  to.openShapes += from.openShapes;
  to.crossingShapes += from.crossingShapes;
  // The rapids within each operation (those between operations are no
  // order's choice).
  to.rapidLengthBefore += from.rapidLengthBefore;
  to.rapidLengthAfter += from.rapidLengthAfter;
  to.toolMisfits.insert(to.toolMisfits.end(), from.toolMisfits.begin(), from.toolMisfits.end());
}

// The operations' shapes in the order they are cut (operation_order.h).
std::vector<OrderedShape> cutOrder(const std::vector<PathElement>& elements,
                                   const std::vector<JobOperation>& operations,
                                   const std::vector<PreparedOperation>& prepared) {
  std::vector<OperationShapes> shapes;
  for (size_t i = 0; i < prepared.size(); ++i) {
    const PreparedOperation& p = prepared[i];
    OperationShapes& s = shapes.emplace_back();
    s.order = operations[i].order;
    s.tool = p.settings.toolNumber;
    s.cutsThrough = operations[i].cutsThrough && p.settings.kind != OperationKind::LaserFill &&
                    p.settings.kind != OperationKind::Pocket;
    s.elements = &p.elements;
    for (const ShapeEntry& e : p.entries) s.drawnKeys.push_back(e.drawnKey);
  }
  return operationCutOrder(elements, shapes);
}

}  // namespace

int32_t writeOperations(const std::vector<PathElement>& elements, const JobSettings& base,
                        const JobOptions& options, JobReport& report) {
  const std::vector<JobOperation>& operations = options.operations;
  checkLaserOperations(operations, base.dialect);
  std::vector<PreparedOperation> prepared(operations.size());
  std::unordered_map<int32_t, size_t> owner;  // shape key -> the first operation selecting it
  for (size_t i = 0; i < operations.size(); ++i) {
    prepared[i].settings = operationSettings(operations[i].settings, base);
    for (const int32_t key : operations[i].shapeKeys) owner.emplace(key, i);
  }
  for (const PathElement& e : elements) {
    if (const auto found = owner.find(e.shapeKey); found != owner.end()) {
      prepared[found->second].elements.push_back(e);
    }
  }
  // Everything that can refuse the job does so before the program is opened.
  for (PreparedOperation& p : prepared) {
    const JobSettings& s = p.settings;
    if (s.kind == OperationKind::Pocket) {
      checkPockets(p.elements, s);
    } else if (s.cutOrder != CutOrder::Drawing || s.toolOffset != ToolOffset::None ||
               needsNesting(s)) {
      JobReport nesting;
      cutOut(p.elements, s, nesting, &p.entries);
      addNesting(nesting, report);
    }
    checkWritable(p.elements.data(), static_cast<int32_t>(p.elements.size()), s);
    p.fill = prepareLaserOperation(p.elements, s);
  }
  const std::vector<OrderedShape> order = cutOrder(elements, operations, prepared);
  // The header is the first written operation's (a laser's is the laser's
  // own), or the first operation's when none selected anything.
  const JobSettings& first = !order.empty()     ? prepared[order.front().operation].settings
                             : prepared.empty() ? base
                                                : prepared.front().settings;
  size_t written = 0;
  EntryTally tally;
  writeOut(base, options, [&](GcodeWriter& writer) {
    GcodeSink sink(first, writer, options.observer);
    sink.writeHeader();
    size_t current = prepared.size();
    std::vector<bool> whole(prepared.size(), false);
    for (const OrderedShape& o : order) {
      const PreparedOperation& p = prepared[o.operation];
      // A fill or a pocket cuts nothing free, so nothing waits for it: the
      // operation is written whole where its first shape comes.
      const bool fill = p.settings.kind == OperationKind::LaserFill;
      const bool pocket = p.settings.kind == OperationKind::Pocket;
      if ((fill || pocket) && whole[o.operation]) continue;
      if (o.operation != current && sink.useSettings(p.settings)) ++report.toolChanges;
      current = o.operation;
      if (fill || pocket) {
        whole[o.operation] = true;
        const size_t shapes =
            fill ? writeFillShapes(p.fill, p.elements, p.settings, sink)
                 : planPockets(p.elements, p.settings, sink, tally, &report.pockets);
        report.writtenOperations.insert(report.writtenOperations.end(), shapes,
                                        static_cast<int32_t>(o.operation));
        report.writtenCuts.insert(report.writtenCuts.end(), shapes,
                                  {.drawnKey = 0, .beside = 0.0, .clearsArea = true});
        written += p.elements.size();
        continue;
      }
      const ShapeEntry entry = o.shape < p.entries.size() ? p.entries[o.shape] : ShapeEntry{};
      planShape(p.elements.data() + o.first, o.count, p.settings, sink, entry, &tally);
      report.writtenOperations.push_back(static_cast<int32_t>(o.operation));
      // Without cut-out the shape keeps its drawn key; an offset path runs
      // a tool radius beside its outline.
      const bool cutOutShape = o.shape < p.entries.size();
      report.writtenCuts.push_back(
          {.drawnKey = cutOutShape ? entry.drawnKey : p.elements[o.first].shapeKey,
           .beside = entry.side != 0 ? static_cast<double>(p.settings.toolDiameter) * 0.5 : 0.0,
           .clearsArea = false});
      written += static_cast<size_t>(o.count);
    }
    sink.writeFooter();
  });
  reportEntries(tally, report);
  return static_cast<int32_t>(written) - 1;
}

}  // namespace brevanto
