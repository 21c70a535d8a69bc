// What the toolpath preview shows of a job's operations: the cuts coloured
// by operation, each shape numbered in cutting order with an arrow for its
// direction, and what is not cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "report/preview_svg.h"
#include "report/program_moves.h"

namespace brevanto::cli {

struct PreviewOperations {
  std::vector<std::string> names;     // per operation, as JobReport::writtenOperations counts them
  std::vector<int32_t> notSelected;   // the keys of the shapes no operation selected
  const JobReport* report = nullptr;  // the shapes as written, and where the tool did not fit
};

// The colour of the operation that cut written shape `shape` (1, 2, 3...).
std::string cutColour(const PreviewOperations& operations, int32_t shape);

// Appends the number of written shape `shape` at the start of `first`, its
// first cutting move in the plane, and an arrow halfway along it.
void markShape(std::string& marks, const View& v, const ProgramMove& first, int32_t shape,
               const std::string& colour);

// The shapes not cut (`notCut`: their path data) and the places where the
// tool did not fit, in the "not cut" style.
std::string notCutSvg(const std::string& notCut, const PreviewOperations& operations,
                      const View& v);

// The legend's two lines: the operations' colours, then the marks.
inline constexpr size_t kOperationLegendLines = 2;
std::string operationLegend(const PreviewOperations& operations, double x, double y);

}  // namespace brevanto::cli
