#pragma once

#include <cstdint>
#include <vector>

#include "settings/settings.h"
#include "toolpath/contour_path.h"
#include "toolpath/lead_arcs.h"
#include "toolpath/pass_writer.h"
#include "toolpath/tool_move.h"

namespace brevanto {

// What the job knows of a shape beyond its elements, for its tabs and leads.
struct ShapeEntry {
  enum class Role : uint8_t { Open, Part, Hole };
  Role role = Role::Open;
  // The waste beside a toolpath offset from its outline: +1 to the left of
  // the direction of travel, -1 to the right, 0 no offset (no side).
  int side = 0;
  int32_t drawnKey = 0;  // the shape of the drawing it cuts, for the report
  ToolFits fits;         // where the tool may go without cutting an outline
};

// What the tabs, ramps and leads of a program came to.
struct EntryTally {
  int32_t tabs = 0;
  int32_t ramps = 0;  // passes entered by a ramp
  int32_t leads = 0;  // lead arcs, in and out
  struct FewerTabs {
    int32_t shapeKey = 0;
    int32_t placed = 0;
    int32_t asked = 0;
  };
  std::vector<FewerTabs> fewerTabs;
  std::vector<int32_t> withoutLead;  // drawn keys of shapes that went without
  // Each tab (the bridge on the part's edge), ramp and lead as points in the
  // plane (x0, y0, x1, y1, ...), for a picture.
  struct Stroke {
    enum class Kind : uint8_t { Tab, Ramp, Lead };
    Kind kind = Kind::Tab;
    std::vector<double> xy;
  };
  std::vector<Stroke> strokes;
};

// The depth of every pass, as the straight-plunge writer cuts them.
std::vector<float> passDepths(const JobSettings& settings);

// Whether a shape's passes need more than straight plunges: a ramp, tabs on
// it, or leads.
bool wantsEntries(const JobSettings& settings, const ShapeEntry& entry, bool closed);

// All moves of one shape after its marker, when wantsEntries: the approach,
// every pass (entered by a ramp or a plunge, raised over the tabs where it
// goes below their top) and the retract. `pass` is the path one pass cuts,
// as written; a closed shape keeps the tool down between passes.
void planEntries(const ContourPath& pass, bool closed, const JobSettings& settings,
                 const ShapeEntry& entry, Rounding written, MoveSink& sink, EntryTally& tally);

}  // namespace brevanto
