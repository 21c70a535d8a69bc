// What the job tells of holding tabs, ramps and leads: when a job needs the
// nesting for them, and what its program was given.
#include "brevanto/host.h"
#include "job/job.h"
#include "toolpath/entry_plan.h"

namespace brevanto {

// Tabs go on parts (or holes) and leads into the waste: both need the
// nesting of the closed shapes.
bool needsNesting(const JobSettings& settings) {
  return settings.tabs != 0 || settings.leadIn > 0.0F;
}

void reportEntries(const EntryTally& tally, JobReport& report) {
  report.tabs = tally.tabs;
  report.ramps = tally.ramps;
  report.leads = tally.leads;
  for (const EntryTally::FewerTabs& f : tally.fewerTabs) {
    report.fewerTabs.push_back({.shapeKey = f.shapeKey, .placed = f.placed, .asked = f.asked});
  }
  report.shapesWithoutLead = tally.withoutLead;
  for (const EntryTally::Stroke& stroke : tally.strokes) {
    report.entryStrokes.push_back(
        {.kind = static_cast<JobReport::EntryStroke::Kind>(stroke.kind), .xy = stroke.xy});
  }
}

}  // namespace brevanto
