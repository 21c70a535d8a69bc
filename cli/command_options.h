#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

namespace brevanto::cli {

// The command's options, as given.
struct Options {
  std::string drawing;
  std::string output;
  bool quiet = false;
  std::optional<std::string> settingsFile;
  std::vector<std::string> assignments;
  std::vector<std::string> operationValues;  // --operation NAME:KEY=VALUE
  std::string cutOrder;                      // --cut-order: CutOrder for this run
  std::string toolOffset;                    // --offset: ToolOffset for this run
  std::string origin;                        // --origin: Origin for this run
  bool showSettings = false;
  bool noFlip = false;
  std::string preview;
  std::string dumpSegments;
  std::optional<double> maxDeviation;  // mm
  double dpi = 96.0;
  std::string dxfUnits;  // --dxf-units: a DXF drawing's unit instead of its $INSUNITS
  bool dpiGiven = false;
  bool strict = false;
  bool splitByTool = false;  // --split-by-tool: one program per tool instead of one in all
  std::optional<std::string> dialect;  // --dialect NAME: short for --set Dialect=NAME
  std::string tolerance = "0.05";      // mm, or "none"
};

// Declares every option of the command on `app`, each writing into `options`,
// with its help text and the checks of its value.
void declareOptions(CLI::App& app, Options& options);

}  // namespace brevanto::cli
