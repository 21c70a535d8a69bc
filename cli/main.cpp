// brevanto: reads a drawing, fills the Segment array as a drawing program's
// macro would, runs the library's job (the code path of sp) and reports.
#include <CLI/CLI.hpp>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "command_options.h"
#include "deviation_rows.h"
#include "drawing_input.h"
#include "io/input_file.h"
#include "io/output_file.h"
#include "operation_run.h"
#include "progress.h"
#include "report/fidelity.h"
#include "report/job_summary.h"
#include "report/preview_operations.h"
#include "report/program_moves.h"
#include "report/toolpath_preview.h"
#include "seg_file.h"
#include "settings_check.h"
#include "settings_choice.h"
#include "svg/svg_import.h"
#include "svg/text/hershey_font.h"
#include "tolerance.h"
#include "tool_split.h"
#include "usage_text.h"

namespace {

using namespace brevanto;
using namespace brevanto::cli;

// Exit statuses.
constexpr int kOk = 0;
constexpr int kBadDrawing = 1;
constexpr int kSettingsRefused = 2;
constexpr int kOutputFailed = 3;
constexpr int kDeviationExceeded = 4;
constexpr int kUsage = 64;

// A drawing file is read only up to this size: larger ones are refused before
// they are read.
constexpr size_t kLargestDrawing = size_t{512} << 20;

int fail(int status, const std::string& message) {
  std::cerr << "brevanto: " << message << "\n";
  return status;
}

// Writes the whole of `bytes` in place of `path`, or leaves the file as it
// was; false after saying why.
bool writeOutput(const std::string& what, const std::string& path, std::string_view bytes) {
  std::string error;
  if (replaceFile(path, bytes, error)) return true;
  fail(kOutputFailed, "cannot write " + what + path + ": " + error);
  return false;
}

// The files the run writes: each must be a file of its own, neither the
// drawing nor another output, or one would overwrite the other.
bool outputsAreDistinct(const Options& options, const std::string& programPath) {
  struct Named {
    const char* what;
    std::string path;
  };
  std::vector<Named> files{{"the drawing", options.drawing}};
  if (!programPath.empty()) files.push_back({"the program", programPath});
  if (!options.preview.empty()) files.push_back({"the preview", options.preview});
  if (!options.dumpSegments.empty()) files.push_back({"the segment dump", options.dumpSegments});
  for (size_t i = 1; i < files.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (samePlace(files[i].path, files[j].path)) {
        fail(kOutputFailed, std::string(files[i].what) + " " + files[i].path + " would overwrite " +
                                files[j].what + " " + files[j].path +
                                ": give each output a file of its own");
        return false;
      }
    }
  }
  return true;
}

int run(const Options& options) {
  std::string error;
  std::vector<std::string> assignments = options.assignments;
  if (options.dialect) assignments.push_back("Dialect=" + *options.dialect);
  if (!options.cutOrder.empty()) assignments.push_back("CutOrder=" + options.cutOrder);
  if (!options.toolOffset.empty()) assignments.push_back("ToolOffset=" + options.toolOffset);
  if (!options.origin.empty()) assignments.push_back("Origin=" + options.origin);
  const auto choice =
      chooseSettings(options.settingsFile, assignments, error, options.operationValues);
  if (!choice) return fail(kSettingsRefused, error);
  // Said even with -q: a misspelt name leaves its setting at another value.
  for (const std::string& unknown : choice->unknownNames)
    std::cerr << "brevanto: " << unknown << "\n";
  if (options.strict && !choice->unknownNames.empty()) {
    return fail(kSettingsRefused, "--strict: the settings file has lines that are not settings");
  }
  if (options.showSettings) std::cout << settingsFileText(*choice);
  if (const auto refusal = checkSettings(*choice)) {
    return fail(kSettingsRefused, "setting refused: " + *refusal);
  }
  // The typed values the job runs with: nothing below reads a setting's text.
  const SettingsRead typed = readSettings(choice->source(), SettingsReading::Strict);
  if (!typed.ok()) return fail(kSettingsRefused, "setting refused: " + typed.error);
  std::vector<ChosenOperation> operations;
  if (!choice->operations.empty()) {
    auto chosen = chooseOperations(choice->operations, choice->source(), error);
    if (!chosen) return fail(kSettingsRefused, "setting refused: " + error);
    operations = std::move(*chosen);
  }
  const JobSettings settings = programSettings(typed.settings, operations);
  if (options.drawing.empty()) {  // only --show-settings
    if (options.showSettings) std::cout << operationsText(choice->operations, nullptr);
    return kOk;
  }
  // The single-stroke font is read before anything else, so a font that is
  // not there is said before any output is touched.
  std::shared_ptr<const HersheyFont> hersheyFont;
  if (!settings.textFont.empty()) {
    hersheyFont = HersheyFont::load(settings.textFont.substr(settings.textFont.find(':') + 1),
                                    kHersheyFolder, error);
    if (!hersheyFont) {
      return fail(kSettingsRefused,
                  "setting refused: TextFont=" + settings.textFont + ": " + error);
    }
  }

  const bool toStdout = options.output == "-";
  if (toStdout && options.splitByTool) {
    return fail(kUsage,
                "--split-by-tool writes one program file per tool beside the program: give -o "
                "FILE (part.nc gives part-T1.nc, part-T2.nc), not -o -");
  }
  std::string programPath = options.output;
  if (toStdout) {
    programPath.clear();
  } else if (programPath.empty()) {
    programPath = std::filesystem::path(options.drawing)
                      .replace_extension(programFileEnding(settings.dialect))
                      .string();
  }
  if (!outputsAreDistinct(options, programPath)) return kOutputFailed;
  // Split, each tool's program goes beside the program, which is then made
  // only to be read back (the summary, the preview).
  if (options.splitByTool) {
    std::vector<int32_t> tools{settings.toolNumber};
    for (const ChosenOperation& op : operations) tools.push_back(op.settings.toolNumber);
    for (const int32_t tool : tools) {
      if (!outputsAreDistinct(options, toolProgramPath(programPath, tool))) return kOutputFailed;
    }
  }

  const auto drawing = readDrawing({.path = options.drawing,
                                    .flipY = !options.noFlip,
                                    .dpi = options.dpi,
                                    .dpiGiven = options.dpiGiven,
                                    .quiet = options.quiet,
                                    .strict = options.strict,
                                    .largest = kLargestDrawing,
                                    .dxfUnits = options.dxfUnits,
                                    .hersheyFont = hersheyFont});
  if (!drawing) return kBadDrawing;
  if (!options.dumpSegments.empty() &&
      !writeOutput("the segment dump ", options.dumpSegments, encodeSegments(drawing->segments))) {
    return kOutputFailed;
  }
  if (drawing->segments.empty()) {
    return fail(kBadDrawing, options.drawing + ": the drawing has no outlines to cut");
  }
  const auto selection =
      selectForRun(operations, choice->operations, *drawing,
                   {.strict = options.strict, .show = options.showSettings}, error);
  if (!selection) return fail(kBadDrawing, options.drawing + ": " + error);
  const std::vector<int32_t>& notSelected = selection->notSelected;
  const std::vector<Segment>& cutSegments =
      operations.empty() ? drawing->segments : selection->segments;

  // Said even with -q: cutting with values nobody chose deserves a word.
  if (choice->base == SettingsChoice::Base::BuiltIn) {
    std::cerr << "brevanto: no settings file (looked for " << choice->filePath
              << "): using the built-in values of examples/CNC.ini\n";
  }

  // The program is written to a new file beside its target (or a scratch
  // file, for standard output) and read back line by line as it is written:
  // the summary, the preview and the fidelity figure come from these very
  // bytes, and the file is put in place whole only when all is well.
  // With a tool offset the path lies a tool radius beside the drawing by
  // design: the figure measures how far its distance strays from the radius
  // (with operations, each operation's own tool's).
  const bool offsetPath = anyOffset(settings, operations);
  const FigureScope scope = figureScope(settings, operations);
  const bool hatched = anyOfKind(settings, operations, OperationKind::LaserFill) ||
                       anyOfKind(settings, operations, OperationKind::Pocket);
  const bool reordered = settings.cutOrder != CutOrder::Drawing || !operations.empty();
  std::optional<double> tolerance;
  if (options.tolerance != "none" && scope.measured) {
    tolerance = std::strtod(options.tolerance.c_str(), nullptr);
  }
  StagedFile programFile;
  if (!programFile.open(options.splitByTool ? std::string() : programPath, error)) {
    return fail(kOutputFailed, "cannot write the program " +
                                   (toStdout ? std::string("(scratch file)") : programPath) + ": " +
                                   error);
  }
  // Nothing else is printed while the program is made: the progress line has
  // the terminal's last line to itself.
  ProgressLine progress(!options.quiet);
  progress.stage("making and checking the program");
  MadeProgram made = makeProgram(cutSegments, settings, tolerance,
                                 {.file = &programFile,
                                  .keepMoves = !options.preview.empty(),
                                  .shapesInOrder = !offsetPath && !reordered && !hatched,
                                  .offsetPath = offsetPath,
                                  .operations = jobOperations(operations)});
  progress.finish();
  const JobReport& report = made.report;
  switch (report.result) {
    case BREVANTO_SETTINGS_REFUSED:
      return fail(kSettingsRefused, "settings refused: " + report.error);
    case BREVANTO_OUTPUT_FAILED:
      return fail(kOutputFailed,
                  "cannot write the program " +
                      (toStdout ? std::string("(scratch file)") : programPath) + ": " +
                      (programFile.error().empty() ? report.error : programFile.error()));
    case BREVANTO_OUT_OF_MEMORY:
      return fail(kBadDrawing, options.drawing + ": " + report.error);
    default:
      if (!report.ok()) return fail(kBadDrawing, options.drawing + ": " + report.error);
      break;
  }
  const Deviation& deviation = made.deviation;
  if (tolerance && deviation.measured && deviation.whole && deviation.distance > *tolerance) {
    std::string changed;
    for (const std::string& c : made.changes) changed += "; tried " + c;
    return fail(kDeviationExceeded,
                "nothing written: the program would stray further from the "
                "drawing than the tolerance " +
                    options.tolerance + " mm: " + describeDeviation(deviation) + changed +
                    " (--tolerance none writes it anyway)");
  }
  const std::string nowhere = toolFitsNowhere(report, made.totals, choice->value("txtWZDia").text);
  if (!nowhere.empty()) return fail(kSettingsRefused, nowhere);
  // Under --strict a shape cut only in part is as bad as one left out.
  if (options.strict && !report.toolMisfits.empty()) {
    return fail(kBadDrawing, options.drawing +
                                 ": --strict: the tool does not fit, its path "
                                 "would be left out in " +
                                 misfitPlaces(report) + "; nothing written");
  }
  std::vector<std::string> toolPrograms;
  if (options.splitByTool) {
    // Said even with -q: run one after another, the programs may cut a part
    // free before a shape inside it is done.
    if (const auto again = toolTakenAgain(operations, report.writtenOperations)) {
      const std::string what = "the cutting order takes up tool T" + std::to_string(*again) +
                               " again after another tool; one program per tool cannot keep "
                               "that order (a part may be cut free before a shape inside it)";
      if (options.strict)
        return fail(kBadDrawing, "--split-by-tool: " + what + "; nothing written");
      std::cerr << "brevanto: warning: " << what << "\n";
    }
    const auto written =
        writeToolPrograms({.segments = &cutSegments,
                           .settings = &settings,
                           .tolerance = tolerance,
                           .operations = &operations,
                           .programPath = programPath},
                          toolsInOrder(operations, report.writtenOperations, settings), error);
    if (!written) return fail(kOutputFailed, error);
    toolPrograms = *written;
  } else if (toStdout) {
    std::cout.flush();
    if (!programFile.copyTo(stdout, error)) {
      return fail(kOutputFailed, "cannot write the program to standard output: " + error);
    }
  } else if (!programFile.commit(error)) {
    return fail(kOutputFailed, "cannot write the program " + programPath + ": " + error);
  }

  std::vector<SummaryRow> rows = summarize(drawing->facts, report, made.totals);
  for (const SummaryRow& row : deviationRows(scope, deviation, tolerance, options.tolerance))
    rows.push_back(row);
  for (const SummaryRow& row : operationRows(operations, report, made.totals, notSelected))
    rows.push_back(row);
  for (const std::string& c : made.changes) rows.push_back({"to keep the tolerance", c});
  if (!toolPrograms.empty()) rows.push_back({"programs, run in this order", joined(toolPrograms)});
  // Said even with -q: part of the drawing is not cut.
  if (!report.toolMisfits.empty()) {
    std::cerr << "brevanto: warning: the tool does not fit, its path is left out in "
              << misfitPlaces(report) << "\n";
  }
  if (!options.quiet) {
    std::cerr << "brevanto: " << options.drawing << " -> "
              << (toStdout               ? "standard output"
                  : toolPrograms.empty() ? programPath
                                         : joined(toolPrograms))
              << "\n"
              << formatSummary(rows);
  }
  // With an offset the preview shows the cut one tool diameter wide.
  PreviewKerf kerf;
  if (offsetPath) kerf = {static_cast<double>(settings.toolDiameter), &report};
  PreviewOperations shown{.names = {}, .notSelected = notSelected, .report = &report};
  for (const ChosenOperation& op : operations) shown.names.push_back(op.name);
  if (!options.preview.empty() &&
      !writeOutput("the preview ", options.preview,
                   renderPreview(drawing->segments, made.moves, rows, kerf, &report,
                                 operations.empty() ? nullptr : &shown))) {
    return kOutputFailed;
  }
  if (options.maxDeviation && deviation.measured && scope.measured) {
    char limit[64];
    std::snprintf(limit, sizeof limit, "%.4f mm", *options.maxDeviation);
    if (deviation.distance > *options.maxDeviation) {
      return fail(kDeviationExceeded, "the program strays further from the drawing than " +
                                          std::string(limit) + ": " + describeDeviation(deviation));
    }
    // A check cut short cannot vouch for the rest of the path.
    if (!deviation.whole) {
      return fail(kDeviationExceeded, "cannot tell whether the program stays within " +
                                          std::string(limit) + ": " + describeDeviation(deviation));
    }
  }
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(__GLIBC__)
  // A run builds, frees and builds again blocks of tens of megabytes (the
  // moves for the preview, the preview's text, each shape's trees): kept in
  // the heap instead of handed back to the system and asked for anew, their
  // pages are not faulted in and zeroed again each time, which costs as
  // much system time as the figure costs computing.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
  Options options;
  CLI::App app{
      "Turns the outlines of an SVG or DXF drawing into a G-code milling program (or, with "
      "Machine=laser, a laser cutting or engraving one).",
      "brevanto"};
  declareOptions(app, options);
  app.set_version_flag("--version", std::string("brevanto ") + BREVANTO_VERSION);
  app.footer(helpFooter(kLargestDrawing));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kOk : kUsage;
  }
  options.dpiGiven = app.count("--dpi") > 0;
  if (options.drawing.empty() && !options.showSettings) {
    std::cerr << "brevanto: no drawing given (see brevanto --help)\n";
    return kUsage;
  }
  return run(options);
}
