#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "operations.h"

namespace brevanto::cli {

// The program of tool `tool` beside `programPath`: part.nc gives part-T1.nc.
std::string toolProgramPath(const std::string& programPath, int32_t tool);

// The tools that cut something, in the order the program takes them up
// (`writtenOperations`: per shape as written, its operation); without
// operations, the one tool of `base`.
std::vector<int32_t> toolsInOrder(const std::vector<ChosenOperation>& operations,
                                  const std::vector<int32_t>& writtenOperations,
                                  const JobSettings& base);

// The first tool the program takes up again after another (T1, T2, T1:
// the cutting order needs tool 1 twice), or nullopt. The programs per tool
// cannot keep such an order: each tool's shapes are cut in one program.
std::optional<int32_t> toolTakenAgain(const std::vector<ChosenOperation>& operations,
                                      const std::vector<int32_t>& writtenOperations);

// The operations of one tool, as the job takes them: the other tools'
// shapes are then selected by none and not cut.
std::vector<JobOperation> operationsOfTool(const std::vector<ChosenOperation>& operations,
                                           int32_t tool);

struct SplitJob {
  const std::vector<Segment>* segments = nullptr;  // every selected shape, for the one origin
  const JobSettings* settings = nullptr;
  std::optional<double> tolerance;
  const std::vector<ChosenOperation>* operations = nullptr;
  std::string programPath;  // the program the command would write
};

// Writes one complete program per tool (toolProgramPath), each put in place
// only when every one of them was made; the paths written, or nullopt with
// `error` and nothing written.
std::optional<std::vector<std::string>> writeToolPrograms(const SplitJob& job,
                                                          const std::vector<int32_t>& tools,
                                                          std::string& error);

// "a, b, c".
std::string joined(const std::vector<std::string>& texts);

}  // namespace brevanto::cli
