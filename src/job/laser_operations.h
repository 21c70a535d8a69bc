#pragma once

#include <cstddef>
#include <vector>

#include "brevanto/host.h"
#include "geometry/path_element.h"
#include "job/laser_fill_job.h"

namespace brevanto {

// A program drives one machine: a job whose operations are lasers has the
// laser's header and footer and no tool to change, one whose operations cut
// in depth the router's. Refuses (JobError, BREVANTO_SETTINGS_REFUSED) a job
// that mixes the two, naming an operation of each, and a laser job in a
// dialect without beam words (`dialect`: the job's).
void checkLaserOperations(const std::vector<JobOperation>& operations, Dialect dialect);

// What a laser operation takes from the job rather than from itself: the
// laser's machine values (LaserMax, LaserMode, FocusZ), which the program's
// header states once. (Air assist is switched between operations.)
void holdLaserMachine(JobSettings& operation, const JobSettings& job);

// A laser operation made before the program is opened (so that a fill too
// fine to hold refuses the job with nothing written): a fill's hatching over
// the operation's own shapes; nothing for a cut.
std::vector<FillShape> prepareLaserOperation(const std::vector<PathElement>& elements,
                                             const JobSettings& settings);

}  // namespace brevanto
