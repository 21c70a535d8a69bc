#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "report/program_moves.h"

namespace brevanto::cli {

// What the command knows of the drawing before the job runs.
struct DrawingFacts {
  int32_t shapes = 0;
  int32_t segments = 0;
  int32_t skippedElements = -1;  // -1: not applicable (a .seg file)
  std::string skippedDetail;     // "text 2, image 1"
  std::string scaleNote;         // why the drawing's scale is in doubt, and the fix; "" if not
  int32_t texts = 0;             // text elements drawn
  std::string fonts;             // the fonts they were set in: "DejaVu Sans, DejaVu Sans Bold"
};

// One line of the summary: "label: value".
struct SummaryRow {
  std::string label;
  std::string value;
};

// Rapid moves have no feed in the program; the estimate assumes this rate.
inline constexpr double kAssumedRapidFeed = 5000.0;  // mm/min

// What the summary adds up over a program's moves, one move at a time.
struct MoveTotals {
  double cutting = 0.0;  // mm along every feed move, plunges included
  double rapid = 0.0;    // mm of rapid moves from a known position
  double minutes = 0.0;
  int32_t plunges = 0;       // passes entered: by a plunge, or by a ramp down along the path
  double burning = 0.0;      // mm of feed moves with a laser's power above 0
  bool laser = false;        // a move stated a laser's power
  bool feedMissing = false;  // a feed move without a feed: no time for it

  void add(const ProgramMove& move);
  // Shapes with a move of their own.
  [[nodiscard]] int32_t shapes() const { return static_cast<int32_t>(shapes_.size()); }

 private:
  std::set<int32_t> shapes_;
  int32_t lastShape_ = 0;
  // A pass is entered by a run of feed moves down that reaches below the
  // shape's lowest point so far (a ramp takes many moves, a tab's far end
  // goes no lower than the pass).
  double lowest_ = 0.0;
  bool descending_ = false;
  bool counted_ = false;
};

// One shape's share of the totals (the moves from its "( NEXT SHAPE )" to
// the next), for the figures of each operation.
struct ShapeFigures {
  double cutting = 0.0;  // mm of feed moves
  double minutes = 0.0;  // at the feeds, rapids at kAssumedRapidFeed
};

// "12.3 mm"; "0:01:33" (hours, minutes, seconds).
std::string millimetres(double mm);
std::string duration(double minutes);

// The figures of one run, in the order they are shown. Adding a figure is
// adding one row here.
std::vector<SummaryRow> summarize(const DrawingFacts& drawing, const JobReport& report,
                                  const MoveTotals& totals);
std::vector<SummaryRow> summarize(const DrawingFacts& drawing, const JobReport& report,
                                  const std::vector<ProgramMove>& moves);

// Where the tool did not fit and its toolpath was left out: the count and
// the first kMisfitsNamed places ("2 places: shape 1 near X1.000 Y2.000, ...").
inline constexpr size_t kMisfitsNamed = 3;
std::string misfitPlaces(const JobReport& report);

// The refusal when the tool (of diameter `diameter`, as set) fits in no shape
// of the drawing and the program would cut nothing; empty otherwise.
std::string toolFitsNowhere(const JobReport& report, const MoveTotals& totals,
                            const std::string& diameter);

// "  label .......... value" lines, one per row.
std::string formatSummary(const std::vector<SummaryRow>& rows);

}  // namespace brevanto::cli
