#pragma once

#include <string>
#include <vector>

#include "brevanto/brevanto.h"
#include "report/job_summary.h"
#include "report/program_moves.h"

namespace brevanto::cli {

// Width of the drawing area of the preview, in pixels; the height follows
// the toolpath's proportions, and the legend adds kPreviewLegendLine per row.
inline constexpr double kPreviewWidth = 800.0;
inline constexpr double kPreviewMargin = 40.0;
inline constexpr double kPreviewLegendLine = 18.0;

// What the picture needs of a run whose toolpath lies a tool radius beside
// the drawing.
struct PreviewKerf {
  double toolDiameter = 0.0;  // mm; 0: no tool offset
  // The job's nesting: each shape's depth, the shape each written one cuts,
  // and the counts of parts, holes and open lines.
  const JobReport* nesting = nullptr;
};

// An SVG picture of the run, y up as on the machine: the drawing in thin grey
// under the cutting moves (coloured by shape, arcs as arcs), rapid moves
// dashed, the start of each shape marked, an axis cross at the origin and a
// legend with the summary figures.
//
// With a tool offset (`kerf` with a diameter and the nesting) the cut itself
// is shown: each cutting move as a band one tool diameter wide, so that the
// kerf beside the line can be seen, with the tool's centre as a thin line in
// it; the drawing's outlines, the bands and the starts are coloured by what
// the shape is: the outline of a part, a hole, or an open engraving line.
//
// With `entries` (the job's report), its holding tabs are drawn as bars on
// the part's edge, its ramps and lead arcs as strokes of their own.
//
// With `operations`, the cuts are coloured by operation, each shape is
// numbered in cutting order with an arrow for its direction, and what is
// not cut (shapes no operation selects, places the tool does not fit) is
// drawn in a style of its own (preview_operations.h).
struct PreviewOperations;
std::string renderPreview(const std::vector<Segment>& drawing,
                          const std::vector<ProgramMove>& moves,
                          const std::vector<SummaryRow>& legend, const PreviewKerf& kerf = {},
                          const JobReport* entries = nullptr,
                          const PreviewOperations* operations = nullptr);

// Writes `value` with three decimals into [first, last) exactly as
// std::to_chars's fixed form does (to_chars writes "0" where that fails);
// returns the end of the text.
char* fixed3(char* first, char* last, double value);

}  // namespace brevanto::cli
