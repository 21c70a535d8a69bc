#pragma once

#include <cstdint>
#include <vector>

#include "brevanto/brevanto.h"
#include "geometry/path_element.h"

namespace brevanto {

// What one job did, for hosts that report on it (the command-line tool).
// Not part of the exported interface.
struct JobReport {
  int32_t segmentsRead = 0;
  int32_t elementsAfterIntake = 0;
  int32_t elementsAfterArcJoining = 0;
  int32_t elementsAfterLineJoining = 0;
  int32_t arcApplications = 0;
  int32_t lineApplications = 0;
  bool keepElements = false;          // copy the final list into `elements`
  std::vector<PathElement> elements;  // the list handed to the writer
};

// The whole job of sp(): intake, arc joining, line joining, program file.
// Returns the index of the last element written (-1 for none). Failures leave
// as exceptions (see sp_export.cpp for how they map to result codes).
// `report` may be null.
int32_t runJob(const Segment* segments, const int32_t* lastIndex, JobReport* report);

// What sp() runs: runJob serialised with every other job in the process, with
// every failure turned into its result code (BREVANTO_SETTINGS_REFUSED, ...)
// and its message kept for spLastError(). Hosts that want the report call
// this instead of sp(); it is the same code path.
int32_t runGuardedJob(const Segment* segments, const int32_t* lastIndex, JobReport* report);

// The message of the last failed job, "" after a successful one.
const char* lastJobError();

}  // namespace brevanto
