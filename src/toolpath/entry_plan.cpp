#include "toolpath/entry_plan.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "toolpath/tabs.h"

namespace brevanto {
namespace {

constexpr double kDegree = 3.141592653589793 / 180.0;
// A ramp starts this far above the floor the previous pass left (the stock's
// top for the first), where the tool meets no material yet.
constexpr double kAboveFloor = 0.2;  // mm
// Descents are planned this much gentler than allowed, so that rounding each
// move's numbers to the program's digits never makes one steeper.
constexpr double kSlopeMargin = 0.97;
// A tab's flat top is made this much longer than the bridge needs, so that
// rounding its ends never shortens it.
constexpr double kTopAllowance = 0.002;  // mm
// A path shorter than this has no room for a ramp: its passes are plunged.
constexpr double kShortestRamp = 0.05;  // mm
// A descent goes round a closed path (or to and fro on an open one) at most
// this many times; a path too short for the angle in as many descends more
// steeply, so that a speck of a shape cannot fill the disk.
constexpr double kMostLaps = 100.0;

// The length over which Z changes by `height` at `degrees` (0: straight).
double slopeLength(double height, double degrees) {
  if (!(degrees < 90.0)) return 0.0;
  return height / (std::tan(degrees * kDegree) * kSlopeMargin);
}

bool tabsOn(const JobSettings& s, const ShapeEntry& e, bool closed) {
  return closed && s.tabs != 0 &&
         (e.role == ShapeEntry::Role::Part || (e.role == ShapeEntry::Role::Hole && s.tabsOnHoles));
}

bool leadsOn(const JobSettings& s, const ShapeEntry& e, bool closed) {
  return closed && s.leadIn > 0.0F && e.side != 0 && e.role != ShapeEntry::Role::Open;
}

// The lead of the asked radius, or where that does not fit, of the tool's
// radius; empty when neither fits.
template <typename MakeLead>
ContourPath fittingLead(const JobSettings& s, const ShapeEntry& e, MakeLead make) {
  const double asked = s.leadIn;
  const double least = std::min(asked, static_cast<double>(s.toolDiameter) * 0.5);
  for (const double r : {asked, least}) {
    if (!(r > 0.0)) continue;
    ContourPath lead = make(r);
    if (leadFits(lead, e.fits)) return lead;
  }
  return {};
}

class ShapePasses {
 public:
  ShapePasses(const ContourPath& path, bool closed, const JobSettings& s, const ShapeEntry& e,
              PassWriter& w, EntryTally& tally, double steepest)
      : path_(path), closed_(closed), s_(s), e_(e), w_(w), tally_(tally), steepest_(steepest) {}

  void run() {
    const std::vector<float> depths = passDepths(s_);
    const double length = path_.length();
    const bool ramp = s_.rampAngle < 90.0F && length >= kShortestRamp;
    const double tanPlan = std::tan(s_.rampAngle * kDegree) * kSlopeMargin;
    const bool wantLeads = leadsOn(s_, e_, closed_);
    ContourPath leadIn;
    if (wantLeads) {
      leadIn = fittingLead(s_, e_, [&](double r) {
        return leadInArc(path_.start(), path_.directionAt(0.0), e_.side, r);
      });
      if (leadIn.empty()) noLead();
    }
    placeTabsOnce(depths, ramp, tanPlan, leadIn.empty() ? 0.0 : leadIn.length());

    const Point2 entry = leadIn.empty() ? path_.start() : leadIn.start();
    w_.rapid(entry, s_.safeZ);
    double zFloor = 0.0;  // the stock's top, then each pass's depth
    bool down = false;
    for (size_t i = 0; i < depths.size(); ++i) {
      const double d = depths[i];
      const bool last = i + 1 == depths.size();
      const ContourPath* lead = i == 0 && !leadIn.empty() ? &leadIn : nullptr;
      if (!down && i > 0) w_.rapidTo(path_.start());
      double rampEnd = 0.0;  // where on the path the tool reaches the depth
      if (ramp) {
        double top = down ? w_.z() : std::min(zFloor + kAboveFloor, static_cast<double>(s_.safeZ));
        // Into the cut the previous pass left at a rapid, above the stock at
        // the plunge feed.
        if (!down && top >= 0.0) w_.plunge(top);
        if (!down && top < 0.0) w_.rapidZ(top);
        top = std::max(top, d);
        const double slope = std::max(tanPlan, (top - d) / (kMostLaps * length));
        w_.allowSlope(slope / kSlopeMargin);
        rampEnd = closed_ ? descendAround(top, d, slope, lead) : descendToAndFro(top, d, slope);
        w_.allowSlope(steepest_);
        ++tally_.ramps;
      } else {
        w_.plunge(d);
        if (lead != nullptr) w_.stretch(*lead, 0.0, lead->length(), d, d);
      }
      if (lead != nullptr) {
        ++tally_.leads;
        mark(EntryTally::Stroke::Kind::Lead, *lead, 0.0, lead->length());
      }
      const double ramped = closed_ ? (rampLaps_ > 0 ? length : rampEnd) : rampLeg_;
      if (ramp && i == 0 && ramped > 0.0) {
        mark(EntryTally::Stroke::Kind::Ramp, path_, 0.0, ramped);
      }
      cutLevel(rampEnd, length, d);
      double end = length;
      if (closed_ && last && rampEnd > 0.0) {
        cutLevel(0.0, rampEnd, d);  // the ramped stretch, now at full depth
        end = rampEnd;
      }
      if (closed_ && last && wantLeads) leaveOnLead(end, d);
      if (!closed_ || last) w_.rapidZ(s_.safeZ);
      down = closed_;
      zFloor = d;
    }
  }

 private:
  // Marks the stretch from a to b of `p` for a picture, moved `shift` to the
  // left of the direction of travel.
  void mark(EntryTally::Stroke::Kind kind, const ContourPath& p, double a, double b,
            double shift = 0.0) {
    constexpr int kMostPoints = 64;
    const int steps = std::clamp(static_cast<int>(std::ceil((b - a) / 0.5)), 1, kMostPoints);
    EntryTally::Stroke stroke{.kind = kind, .xy = {}};
    for (int i = 0; i <= steps; ++i) {
      const double s = a + (b - a) * i / steps;
      const Point2 at = p.pointAt(s);
      const Point2 dir = p.directionAt(s);
      stroke.xy.push_back(at.x - shift * dir.y);
      stroke.xy.push_back(at.y + shift * dir.x);
    }
    tally_.strokes.push_back(std::move(stroke));
  }

  void noLead() {
    if (tally_.withoutLead.empty() || tally_.withoutLead.back() != e_.drawnKey) {
      tally_.withoutLead.push_back(e_.drawnKey);
    }
  }

  // The climb and the descent of a tab on a pass `height` below its top.
  [[nodiscard]] TabFootprint footprint(double height) const {
    const bool ramped = s_.tabShape == TabShape::Ramped;
    const double gentle = std::min(s_.tabAngle, s_.rampAngle);
    return {.climb = ramped ? slopeLength(height, gentle) : 0.0,
            .top = static_cast<double>(s_.tabWidth) + s_.toolDiameter + kTopAllowance,
            .descent = slopeLength(height, ramped ? gentle : static_cast<double>(s_.rampAngle))};
  }

  // Tabs stay off the stretch every ramp descends on (and so off where a
  // lead joins), and a tool's width from the start.
  void placeTabsOnce(const std::vector<float>& depths, bool ramp, double tanPlan, double lead) {
    if (!tabsOn(s_, e_, closed_)) return;
    tabTop_ = static_cast<double>(s_.finalDepth + s_.tabHeight);
    double rampStretch = 0.0;
    if (ramp) {
      double above = std::min(kAboveFloor, static_cast<double>(s_.safeZ));
      for (const float d : depths) {
        rampStretch = std::max(rampStretch, (above - d) / tanPlan - lead);
        above = d;
        lead = 0.0;
      }
    }
    const int32_t asked =
        s_.tabs == kTabsBySpacing ? tabsBySpacing(path_.length(), s_.tabSpacing) : s_.tabs;
    const double gap = s_.toolDiameter;
    tabs_ = placeTabs(path_, asked, footprint(s_.tabHeight), rampStretch + gap, gap, gap);
    tally_.tabs += static_cast<int32_t>(tabs_.size());
    // The bridge itself lies a tool radius from the path, away from the waste.
    const double bridge = s_.tabWidth * 0.5;
    for (const double c : tabs_) {
      mark(EntryTally::Stroke::Kind::Tab, path_, c - bridge, c + bridge,
           -e_.side * s_.toolDiameter * 0.5);
    }
    if (static_cast<int32_t>(tabs_.size()) < asked) {
      tally_.fewerTabs.push_back(
          {.shapeKey = e_.drawnKey, .placed = static_cast<int32_t>(tabs_.size()), .asked = asked});
    }
  }

  // Cuts the path from a to b at depth d, over the tabs where d is below
  // their top.
  void cutLevel(double a, double b, double d) {
    double at = a;
    if (d < tabTop_) {
      const TabFootprint f = footprint(tabTop_ - d);
      for (const double c : tabs_) {
        const double up = c - f.top * 0.5 - f.climb;
        const double over = c + f.top * 0.5;
        if (up < a || over + f.descent > b) continue;
        w_.stretch(path_, at, up, d, d);
        if (f.climb > 0.0) {
          w_.stretch(path_, up, up + f.climb, d, tabTop_);
        } else {
          w_.climb(tabTop_);
        }
        w_.stretch(path_, up + f.climb, over, tabTop_, tabTop_);
        if (f.descent > 0.0) {
          w_.stretch(path_, over, over + f.descent, tabTop_, d);
        } else {
          w_.plunge(d);
        }
        at = over + f.descent;
      }
    }
    w_.stretch(path_, at, b, d, d);
  }

  // A closed path: down from `top` to d along the lead (if any) and on round
  // the path, lap after lap where one is too short. Returns where on the
  // path the depth is reached.
  double descendAround(double top, double d, double tanPlan, const ContourPath* lead) {
    double z = top;
    if (lead != nullptr) {
      const double l = lead->length();
      const double t = (z - d) / tanPlan;
      if (t < l) {
        w_.stretch(*lead, 0.0, t, z, d);
        w_.stretch(*lead, t, l, d, d);
        return 0.0;
      }
      w_.stretch(*lead, 0.0, l, z, z - l * tanPlan);
      z -= l * tanPlan;
    }
    const double length = path_.length();
    double t = (z - d) / tanPlan;
    rampLaps_ = 0;
    while (t > length) {
      ++rampLaps_;
      w_.stretch(path_, 0.0, length, z, z - length * tanPlan);
      z -= length * tanPlan;
      t -= length;
    }
    w_.stretch(path_, 0.0, t, z, d);
    return t;
  }

  // An open path: back and forth over its start (an even number of legs, so
  // the tool is back at the start at depth d).
  double descendToAndFro(double top, double d, double tanPlan) {
    const double t = (top - d) / tanPlan;
    const double leg = std::min(path_.length(), t);
    if (!(leg > 0.0)) return 0.0;
    const auto legs = static_cast<int>(2.0 * std::ceil(t / (2.0 * leg)));
    rampLeg_ = leg;
    for (int k = 0; k < legs; ++k) {
      const double z0 = top + (d - top) * k / legs;
      const double z1 = k + 1 == legs ? d : top + (d - top) * (k + 1) / legs;
      if (k % 2 == 0) {
        w_.stretch(path_, 0.0, leg, z0, z1);
      } else {
        w_.stretch(path_, leg, 0.0, z0, z1);
      }
    }
    return 0.0;
  }

  void leaveOnLead(double at, double d) {
    const ContourPath lead = fittingLead(s_, e_, [&](double r) {
      return leadOutArc(path_.pointAt(at), path_.directionAt(at), e_.side, r);
    });
    if (lead.empty()) {
      noLead();
      return;
    }
    w_.stretch(lead, 0.0, lead.length(), d, d);
    ++tally_.leads;
  }

  const ContourPath& path_;
  bool closed_;
  const JobSettings& s_;
  const ShapeEntry& e_;
  PassWriter& w_;
  EntryTally& tally_;
  double steepest_;
  std::vector<double> tabs_;
  int rampLaps_ = 0;      // whole laps the last descent around a closed path took
  double rampLeg_ = 0.0;  // the stretch an open path's descent goes to and fro on
  double tabTop_ = -std::numeric_limits<double>::infinity();
};

}  // namespace

std::vector<float> passDepths(const JobSettings& s) {
  std::vector<float> depths;
  for (int32_t pass = 1;; ++pass) {
    float depth = static_cast<float>(pass) * s.passDepth;
    if (s.finalDepth >= depth) depth = s.finalDepth;
    if (s.passDepth == 0.0F) depth = s.finalDepth;
    depths.push_back(depth);
    if (!(depth > s.finalDepth)) break;
  }
  return depths;
}

bool wantsEntries(const JobSettings& s, const ShapeEntry& e, bool closed) {
  return s.rampAngle < 90.0F || tabsOn(s, e, closed) || leadsOn(s, e, closed);
}

void planEntries(const ContourPath& pass, bool closed, const JobSettings& s,
                 const ShapeEntry& entry, Rounding written, MoveSink& sink, EntryTally& tally) {
  const double steepest = s.rampAngle < 90.0F ? std::tan(s.rampAngle * kDegree)
                                              : std::numeric_limits<double>::infinity();
  PassWriter w(sink, written, steepest);
  ShapePasses(pass, closed, s, entry, w, tally, steepest).run();
}

}  // namespace brevanto
