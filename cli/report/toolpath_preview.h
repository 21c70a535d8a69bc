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

// An SVG picture of the run, y up as on the machine: the drawing in thin grey
// under the cutting moves (coloured by shape, arcs as arcs), rapid moves
// dashed, the start of each shape marked, an axis cross at the origin and a
// legend with the summary figures.
std::string renderPreview(const std::vector<Segment>& drawing,
                          const std::vector<ProgramMove>& moves,
                          const std::vector<SummaryRow>& legend);

}  // namespace brevanto::cli
