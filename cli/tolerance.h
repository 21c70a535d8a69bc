#pragma once

#include <optional>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "io/output_file.h"
#include "report/fidelity.h"
#include "report/job_summary.h"
#include "report/program_moves.h"

namespace brevanto::cli {

// One program and what the command knows of it. The program itself is in
// the file it was written to.
struct MadeProgram {
  JobReport report;
  MoveTotals totals;
  // Only when asked for (the preview draws them): a later pass's moves that
  // retrace the first pass's in the plane are left out.
  std::vector<ProgramMove> moves;
  Deviation deviation;
  std::vector<std::string> changes;  // what the tolerance made the command change, for the summary
};

// Where a program goes and how it is read back as it is written.
struct ProgramTarget {
  StagedFile* file = nullptr;  // emptied before each try; holds the last one
  bool keepMoves = false;
  // The job writes the drawing's shapes as they are, in order (no nesting,
  // offset or cut order): the check measures shape by shape as it reads.
  bool shapesInOrder = true;
  // The closed shapes are cut a tool radius beside their outlines (the
  // settings' ToolOffset): the figure measures the path from the radius.
  bool offsetPath = false;
  // The job's operations (JobOptions::operations); empty: none. With them,
  // each shape is measured as its operation cuts it (beside the line by its
  // own tool's radius, on the line, or not at all where it clears an area).
  std::vector<JobOperation> operations{};
};

// Makes the program of `segments` with `settings`. With a
// tolerance, the program as written is measured against the drawing, and
// where it strays further, the job is run again a bounded number of times:
// first with a finer joining precision (joining at the user's precision may
// merge arcs that are alike enough for the precision but not for the
// tolerance), then with every curve cut in two exactly (de Casteljau), each
// half sampled as densely as the whole was. The last try is returned; the
// caller compares its deviation with the tolerance. A drawing too dense for
// the check to measure whole is not refined. Each try is written to the
// target's file and read back line by line as it is written.
MadeProgram makeProgram(const std::vector<Segment>& segments, const JobSettings& settings,
                        std::optional<double> tolerance, const ProgramTarget& target);

}  // namespace brevanto::cli
