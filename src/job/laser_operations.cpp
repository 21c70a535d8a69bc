#include "job/laser_operations.h"

#include <string>

#include "base/job_error.h"

namespace brevanto {
namespace {

std::string kindText(const JobSettings& s) {
  return std::string(kKindNames[static_cast<size_t>(s.kind)]);
}

}  // namespace

void checkLaserOperations(const std::vector<JobOperation>& operations, Dialect dialect) {
  const JobOperation* laser = nullptr;
  const JobOperation* router = nullptr;
  for (const JobOperation& op : operations) {
    if (op.settings.laser() && laser == nullptr) laser = &op;
    if (!op.settings.laser() && router == nullptr) router = &op;
  }
  if (laser == nullptr) return;
  if (router != nullptr) {
    throw JobError(BREVANTO_SETTINGS_REFUSED,
                   "Kind: operation " + laser->name + " burns (Kind=" + kindText(laser->settings) +
                       ") and operation " + router->name +
                       " cuts in depth (Kind=" + kindText(router->settings) +
                       "): a program drives one machine; give every operation a laser kind "
                       "(laser-cut, laser-fill) or every one a router's, or write two programs");
  }
  if (dialect == Dialect::Classic) {
    throw JobError(BREVANTO_SETTINGS_REFUSED,
                   "Dialect: classic has no laser words (the beam would burn through every "
                   "rapid move), and operation " +
                       laser->name +
                       " is a laser's; write laser programs with Dialect=grbl or "
                       "Dialect=linuxcnc");
  }
}

void holdLaserMachine(JobSettings& operation, const JobSettings& job) {
  operation.laserMax = job.laserMax;
  operation.laserMode = job.laserMode;
  operation.hasFocusZ = job.hasFocusZ;
  operation.focusZ = job.focusZ;
}

std::vector<FillShape> prepareLaserOperation(const std::vector<PathElement>& elements,
                                             const JobSettings& settings) {
  if (settings.kind != OperationKind::LaserFill || elements.empty()) return {};
  return planFillJob(elements, settings);
}

}  // namespace brevanto
