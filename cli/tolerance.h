#pragma once

#include <optional>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "report/fidelity.h"
#include "report/program_moves.h"

namespace brevanto::cli {

// One program and what the command knows of it.
struct MadeProgram {
  JobReport report;
  std::string program;
  std::vector<ProgramMove> moves;
  Deviation deviation;
  std::vector<std::string> changes;  // what the tolerance made the command change, for the summary
};

// Makes the program of `segments` with the settings of `settings`. With a
// tolerance, the program as written is measured against the drawing, and
// where it strays further, the job is run again a bounded number of times:
// first with a finer joining precision (joining at the user's precision may
// merge arcs that are alike enough for the precision but not for the
// tolerance), then with every curve cut in two exactly (de Casteljau), each
// half sampled as densely as the whole was. The last try is returned; the
// caller compares its deviation with the tolerance. A drawing too dense for
// the check to measure whole is not refined.
MadeProgram makeProgram(const std::vector<Segment>& segments, const SettingsSource& settings,
                        std::optional<double> tolerance);

// Both halves of the cubic of `s` at t = 1/2 (de Casteljau): the same curve,
// exactly, in two records that keep the record's length, shape and colour.
std::pair<Segment, Segment> splitCurve(const Segment& s);

}  // namespace brevanto::cli
