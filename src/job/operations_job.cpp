#include "job/operations_job.h"

#include <unordered_map>

#include "gcode/gcode_sink.h"
#include "gcode/program_writer.h"
#include "job/cut_out.h"
#include "job/job.h"
#include "job/pocket_job.h"

namespace brevanto {
namespace {

struct PreparedOperation {
  JobSettings settings;
  std::vector<PathElement> elements;
  std::vector<ShapeEntry> entries;  // per shape as written, for tabs and leads
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
  return s;
}

void addNesting(const JobReport& from, JobReport& to) {
  to.parts += from.parts;
  to.holes += from.holes;
  to.openShapes += from.openShapes;
  to.crossingShapes += from.crossingShapes;
  to.toolMisfits.insert(to.toolMisfits.end(), from.toolMisfits.begin(), from.toolMisfits.end());
}

}  // namespace

int32_t writeOperations(const std::vector<PathElement>& elements, const JobSettings& base,
                        const JobOptions& options, JobReport& report) {
  const std::vector<JobOperation>& operations = options.operations;
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
  }
  const JobSettings* first = &base;
  for (const PreparedOperation& p : prepared) {
    if (!p.elements.empty()) {
      first = &p.settings;
      break;
    }
  }
  size_t written = 0;
  EntryTally tally;
  writeOut(base, options, [&](GcodeWriter& writer) {
    GcodeSink sink(*first, writer, options.observer);
    sink.writeHeader();
    for (size_t i = 0; i < prepared.size(); ++i) {
      const PreparedOperation& p = prepared[i];
      if (p.elements.empty()) continue;
      if (sink.useSettings(p.settings)) ++report.toolChanges;
      if (p.settings.kind == OperationKind::Pocket) {
        const size_t shapes = planPockets(p.elements, p.settings, sink, tally, &report.pockets);
        report.writtenOperations.insert(report.writtenOperations.end(), shapes,
                                        static_cast<int32_t>(i));
        written += p.elements.size();
        continue;
      }
      const PathElement* shape = p.elements.data();
      size_t n = 0;
      for (const int32_t count :
           shapeCounts(p.elements.data(), static_cast<int32_t>(p.elements.size()))) {
        const ShapeEntry entry = n < p.entries.size() ? p.entries[n] : ShapeEntry{};
        ++n;
        planShape(shape, count, p.settings, sink, entry, &tally);
        report.writtenOperations.push_back(static_cast<int32_t>(i));
        shape += count;
      }
      written += p.elements.size();
    }
    sink.writeFooter();
  });
  reportEntries(tally, report);
  return static_cast<int32_t>(written) - 1;
}

}  // namespace brevanto
