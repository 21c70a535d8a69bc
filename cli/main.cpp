// brevanto: reads a drawing, fills the Segment array as a drawing program's
// macro would, runs the library's job (the code path of sp) and reports.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "io/input_file.h"
#include "io/output_file.h"
#include "progress.h"
#include "report/fidelity.h"
#include "report/job_summary.h"
#include "report/program_moves.h"
#include "report/toolpath_preview.h"
#include "seg_file.h"
#include "settings_check.h"
#include "settings_choice.h"
#include "svg/svg_import.h"
#include "tolerance.h"

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

struct Options {
  std::string drawing;
  std::string output;
  bool quiet = false;
  std::optional<std::string> settingsFile;
  std::vector<std::string> assignments;
  std::string cutOrder;    // --cut-order: CutOrder for this run
  std::string toolOffset;  // --offset: ToolOffset for this run
  bool showSettings = false;
  bool noFlip = false;
  std::string preview;
  std::string dumpSegments;
  std::optional<double> maxDeviation;  // mm
  double dpi = 96.0;
  bool strict = false;
  std::optional<std::string> dialect;  // --dialect NAME: short for --set Dialect=NAME
  std::string tolerance = "0.05";      // mm, or "none"
};

std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The program's usual file name ending for each dialect: what the
// controllers' own file dialogs look for.
std::string programExtension(std::string_view dialect) {
  std::string name = lowered(std::string(dialect));
  const auto first = name.find_first_not_of(" \t\r");
  name = first == std::string::npos
             ? ""
             : name.substr(first, name.find_last_not_of(" \t\r") + 1 - first);
  if (name == "linuxcnc") return ".ngc";
  if (name == "grbl") return ".nc";
  return ".tap";
}

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

bool isSegFile(const std::string& path) {
  const std::string ext = lowered(std::filesystem::path(path).extension().string());
  return ext == ".seg";
}

// The drawing's segments and what the summary says of them; nullopt after
// reporting why the drawing cannot be used.
struct Drawing {
  std::vector<Segment> segments;
  DrawingFacts facts;
};

std::optional<Drawing> readDrawing(const Options& options, int& status) {
  status = kBadDrawing;
  std::string bytes;
  std::string error;
  if (!readRegularFile(options.drawing, kLargestDrawing, bytes, error)) {
    fail(kBadDrawing, "cannot read " + options.drawing + ": " + error);
    return std::nullopt;
  }
  Drawing d;
  if (isSegFile(options.drawing)) {
    if (!decodeSegments(bytes, d.segments, error)) {
      fail(kBadDrawing, options.drawing + ": " + error);
      return std::nullopt;
    }
    int32_t shapes = 0;
    for (size_t i = 0; i < d.segments.size(); ++i) {
      if (i == 0 || d.segments[i].shapeKey != d.segments[i - 1].shapeKey) ++shapes;
    }
    d.facts.shapes = shapes;
  } else {
    const ImportOptions importOptions{.flipY = !options.noFlip, .dpi = options.dpi};
    ImportResult r = importSvg(bytes, importOptions);
    if (!r.ok()) {
      const std::string where =
          r.errorLine > 0 ? options.drawing + ":" + std::to_string(r.errorLine) : options.drawing;
      fail(kBadDrawing, where + ": " + r.error);
      return std::nullopt;
    }
    constexpr size_t kShownWarnings = 10;
    for (size_t i = 0; i < r.warnings.size() && i < kShownWarnings; ++i) {
      std::cerr << "brevanto: " << options.drawing << ": " << r.warnings[i] << "\n";
    }
    if (r.warnings.size() > kShownWarnings) {
      std::cerr << "brevanto: " << options.drawing << ": " << r.warnings.size() - kShownWarnings
                << " more notes like these\n";
    }
    d.facts.shapes = r.shapes;
    d.facts.skippedElements = r.skippedCount();
    for (const auto& [name, count] : r.skippedElements) {
      if (!d.facts.skippedDetail.empty()) d.facts.skippedDetail += ", ";
      d.facts.skippedDetail += name + " " + std::to_string(count);
    }
    for (const std::string& line : describeImport(r, importOptions)) {
      if (!options.quiet) std::cerr << "brevanto: " << options.drawing << ": " << line << "\n";
    }
    if (options.strict && r.leftOutCount() > 0) {
      fail(kBadDrawing, options.drawing + ": --strict: " + std::to_string(r.leftOutCount()) +
                            " element(s) left out, nothing written");
      return std::nullopt;
    }
    d.segments = std::move(r.segments);
  }
  if (d.segments.size() > static_cast<size_t>(INT32_MAX)) {
    fail(kBadDrawing, options.drawing + ": too many segments");
    return std::nullopt;
  }
  d.facts.segments = static_cast<int32_t>(d.segments.size());
  status = kOk;
  return d;
}

void showSettings(const SettingsChoice& choice) {
  for (const SettingInfo& s : kSettings) {
    const ChosenValue& v = choice.value(s.name);
    std::cout << s.name << "=" << v.text << "    (" << v.origin << ")\n";
  }
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
  const auto choice = chooseSettings(options.settingsFile, assignments, error);
  if (!choice) return fail(kSettingsRefused, error);
  if (options.showSettings) showSettings(*choice);
  if (const auto refusal = checkSettings(*choice)) {
    return fail(kSettingsRefused, "setting refused: " + *refusal);
  }
  if (options.drawing.empty()) return kOk;  // only --show-settings

  const bool toStdout = options.output == "-";
  std::string programPath = options.output;
  if (toStdout) {
    programPath.clear();
  } else if (programPath.empty()) {
    programPath = std::filesystem::path(options.drawing)
                      .replace_extension(programExtension(choice->value("Dialect").text))
                      .string();
  }
  if (!outputsAreDistinct(options, programPath)) return kOutputFailed;

  int status = kOk;
  const auto drawing = readDrawing(options, status);
  if (!drawing) return status;
  if (!options.dumpSegments.empty() &&
      !writeOutput("the segment dump ", options.dumpSegments, encodeSegments(drawing->segments))) {
    return kOutputFailed;
  }
  if (drawing->segments.empty()) {
    return fail(kBadDrawing, options.drawing + ": the drawing has no outlines to cut");
  }

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
  // design: the distance to the drawing is no measure of fidelity there.
  const std::string offset = lowered(choice->value("ToolOffset").text);
  const bool offsetPath = offset.find_first_not_of(" \t") != std::string::npos &&
                          offset.find("none") == std::string::npos;
  const std::string order = lowered(choice->value("CutOrder").text);
  const bool reordered = order.find("inside") != std::string::npos;
  std::optional<double> tolerance;
  if (options.tolerance != "none" && !offsetPath) {
    tolerance = std::strtod(options.tolerance.c_str(), nullptr);
  }
  StagedFile programFile;
  if (!programFile.open(programPath, error)) {
    return fail(kOutputFailed, "cannot write the program " +
                                   (toStdout ? std::string("(scratch file)") : programPath) + ": " +
                                   error);
  }
  // Nothing else is printed while the program is made: the progress line has
  // the terminal's last line to itself.
  ProgressLine progress(!options.quiet);
  progress.stage("making and checking the program");
  MadeProgram made = makeProgram(drawing->segments, choice->source(), tolerance,
                                 {.file = &programFile,
                                  .keepMoves = !options.preview.empty(),
                                  .shapesInOrder = !offsetPath && !reordered});
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
  if (toStdout) {
    std::cout.flush();
    if (!programFile.copyTo(stdout, error)) {
      return fail(kOutputFailed, "cannot write the program to standard output: " + error);
    }
  } else if (!programFile.commit(error)) {
    return fail(kOutputFailed, "cannot write the program " + programPath + ": " + error);
  }

  std::vector<SummaryRow> rows = summarize(drawing->facts, report, made.totals);
  rows.push_back({"largest deviation",
                  offsetPath ? "not measured: the path lies beside the drawing by the tool radius"
                             : describeDeviation(deviation)});
  std::string toleranceRow = options.tolerance + " mm";
  if (offsetPath) {
    toleranceRow = "not applied: the path is offset from the drawing";
  } else if (!tolerance) {
    toleranceRow = "none (as the job made it)";
  } else if (!deviation.whole) {
    toleranceRow += ", not verified: the drawing is too dense to check whole";
  }
  rows.push_back({"tolerance", toleranceRow});
  for (const std::string& c : made.changes) rows.push_back({"to keep the tolerance", c});
  // Said even with -q: part of the drawing is not cut.
  if (!report.toolMisfits.empty()) {
    std::cerr << "brevanto: warning: the tool does not fit, its path is left out in "
              << misfitPlaces(report) << "\n";
  }
  if (!options.quiet) {
    std::cerr << "brevanto: " << options.drawing << " -> "
              << (toStdout ? "standard output" : programPath) << "\n"
              << formatSummary(rows);
  }
  // With an offset the preview shows the cut one tool diameter wide (the
  // value was checked above as a plain number above 0).
  PreviewKerf kerf;
  if (offsetPath) {
    kerf = {std::strtod(choice->value("txtWZDia").text.c_str(), nullptr), &report};
  }
  if (!options.preview.empty() &&
      !writeOutput("the preview ", options.preview,
                   renderPreview(drawing->segments, made.moves, rows, kerf))) {
    return kOutputFailed;
  }
  if (options.maxDeviation && deviation.measured && !offsetPath) {
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

// The part of --help after the options, in paragraphs. The settings come
// from kSettings, the table the job reads, and their ranges from the checks.
std::string helpFooter() {
  std::string text =
      "Settings (NAME for --set, or a NAME=VALUE line of the settings file), their built-in "
      "values and what each may hold, a plain decimal number with a decimal point (no comma, "
      "unit, hex, NaN or infinity):\n";
  for (const SettingInfo& s : kSettings) {
    text +=
        "  " + std::string(s.name) + "=" + std::string(s.builtIn) + "  " + std::string(s.meaning);
    if (const std::string_view range = settingRange(s.name); !range.empty()) {
      text += "; " + std::string(range);
    }
    text += "\n";
  }
  text += "\nDefault settings file: " + defaultSettingsFilePath() +
          " ($BREVANTO_SETTINGS overrides); with none, the built-in values (those of "
          "examples/CNC.ini). A settings file is a regular file of at most " +
          describeSize(kLargestSettingsFile) + "; its lines may stand under [" +
          std::string(kSettingsSection) +
          "] (any other section is refused), '#' and ';' start comments, a UTF-8 byte-order "
          "mark is allowed.\n\n"
          "SVG: path, rect, circle, ellipse, line, polyline, polygon, groups, use, transforms, "
          "viewBox, clip paths, markers, <style> sheets; units mm, cm, in, pt, px (96 per inch, "
          "or --dpi). Each subpath is one shape; its colour is the stroke, else the fill. What "
          "shows nothing (no stroke or fill, opacity 0, hidden, clipped away), text and images "
          "are left out and listed with the line of the first of each kind. A drawing is a "
          "regular file of at most 10000000 elements, counting what use references repeat, "
          "and of at most " +
          describeSize(kLargestDrawing) +
          ".\n\n"
          "Outputs: the program, the preview and the segment dump are each written whole to a "
          "new file beside their target and then renamed over it, so a failed run leaves an "
          "earlier file as it was (a device or pipe such as /dev/null is written into, once "
          "all is done, never replaced); none may be the drawing or another output.\n\n"
          "Exit status: 0 success, 1 unreadable or invalid drawing (or, with --strict, content "
          "left out), 2 settings refused (also: with --offset, a tool that fits in no shape), 3 "
          "output not written, 4 the path strays further than "
          "--max-deviation, 64 wrong usage.\n";
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  CLI::App app{"Turns the outlines of an SVG drawing into a G-code milling program.", "brevanto"};
  app.add_option("DRAWING", options.drawing,
                 "SVG drawing, or a .seg file of raw 80-byte Segment records (little-endian)");
  app.add_option("-o,--output", options.output,
                 "program file; default: the drawing's name beside it, ending in .tap (classic), "
                 ".ngc (linuxcnc) or .nc (grbl); - for standard output");
  app.add_flag("-q,--quiet", options.quiet,
               "no summary on standard error (errors, and the use of built-in settings, are still "
               "reported)");
  app.add_option("--settings", options.settingsFile,
                 "settings file of NAME=VALUE lines to use instead of the default one");
  app.add_option("--set", options.assignments,
                 "NAME=VALUE: one setting for this run only (repeatable)")
      ->type_name("NAME=VALUE")
      ->allow_extra_args(false);
  app.add_option("--dialect", options.dialect,
                 "the controllers the program is written for: classic (the default), linuxcnc or "
                 "grbl; short for --set Dialect=NAME")
      ->type_name("NAME");
  app.add_option("--cut-order", options.cutOrder,
                 "drawing or inside-first: the same as --set CutOrder=...")
      ->type_name("ORDER");
  app.add_option("--offset", options.toolOffset,
                 "none, outside or inside: the same as --set ToolOffset=...")
      ->type_name("SIDE");
  app.add_flag("--show-settings", options.showSettings,
               "print the settings in effect and where each comes from");
  app.add_flag("--no-flip", options.noFlip,
               "keep SVG's downward y axis (by default y is flipped about the page height)");
  app.add_option("--preview", options.preview,
                 "also write an SVG picture of the toolpath to this file");
  app.add_option("--dump-segments", options.dumpSegments,
                 "also write the Segment records passed to the library to this .seg file");
  app.add_option("--max-deviation", options.maxDeviation,
                 "fail with exit status 4 when the written path strays further than MM from the "
                 "drawing, or when the drawing is too dense to check whole (the program is still "
                 "written)")
      ->type_name("MM")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--tolerance", options.tolerance,
                 "keep the program within MM of the drawing (default 0.05): where it strays "
                 "further, the job is run again with a finer joining precision, then with the "
                 "curves cut in two, a few times; if that does not do, nothing is written and the "
                 "exit status is 4. none: the library's own result, as a macro gets it")
      ->type_name("MM|none")
      ->check([](const std::string& text) {
        char* end = nullptr;
        const double mm = std::strtod(text.c_str(), &end);
        if (text == "none" || (end != text.c_str() && *end == '\0' && mm > 0.0 && mm < 1e6)) {
          return std::string();
        }
        return std::string("--tolerance takes a positive number of mm, or none");
      });
  app.add_option("--dpi", options.dpi,
                 "pixels per inch for drawings whose size is not in mm, cm, in, pt or pc: px and "
                 "unitless lengths (default 96, as CSS; 72 or 90 for some older editors)")
      ->type_name("N")
      ->check(CLI::PositiveNumber);
  app.add_flag("--strict", options.strict,
               "exit with status 1, writing nothing, when any content is left out (text, images, "
               "invisible shapes, clipped-away pieces, unusable elements)");
  app.set_version_flag("--version", std::string("brevanto ") + BREVANTO_VERSION);
  app.footer(helpFooter());
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kOk : kUsage;
  }
  if (options.drawing.empty() && !options.showSettings) {
    std::cerr << "brevanto: no drawing given (see brevanto --help)\n";
    return kUsage;
  }
  return run(options);
}
