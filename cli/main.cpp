// brevanto: reads a drawing, fills the Segment array as a drawing program's
// macro would, runs the library's job (the code path of sp) and reports.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "brevanto/brevanto.h"
#include "entry/job.h"
#include "report/fidelity.h"
#include "report/job_summary.h"
#include "platform/output_location.h"
#include "platform/settings_file.h"
#include "report/program_moves.h"
#include "seg_file.h"
#include "settings_choice.h"
#include "svg/svg_import.h"
#include "report/toolpath_preview.h"

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

struct Options {
  std::string drawing;
  std::string output;
  bool quiet = false;
  std::optional<std::string> settingsFile;
  std::vector<std::string> assignments;
  bool showSettings = false;
  bool noFlip = false;
  std::string preview;
  std::string dumpSegments;
  std::optional<double> maxDeviation;  // mm
  double dpi = 96.0;
  bool strict = false;
};

int fail(int status, const std::string& message) {
  std::cerr << "brevanto: " << message << "\n";
  return status;
}

// In one read: drawings can be large.
bool readWholeFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  bytes.resize(static_cast<size_t>(size));
  in.seekg(0);
  in.read(bytes.data(), size);
  return in.gcount() == size;
}

bool writeWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

bool isSegFile(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
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
  if (!readWholeFile(options.drawing, bytes)) {
    fail(kBadDrawing, "cannot read " + options.drawing);
    return std::nullopt;
  }
  Drawing d;
  if (isSegFile(options.drawing)) {
    std::string error;
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
  for (std::string_view name : kSettingNames) {
    std::cout << name << "=" << choice.text(name) << "    (" << choice.origin(name) << ")\n";
  }
}

// A private file for the program when it goes to standard output.
std::optional<std::string> makeTemporaryProgramPath() {
  std::error_code ec;
  const auto dir = std::filesystem::temp_directory_path(ec);
  if (ec) return std::nullopt;
  std::string pattern = (dir / "brevanto-XXXXXX").string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) return std::nullopt;
  close(fd);
  return pattern;
}

int run(const Options& options) {
  std::string error;
  const auto choice = chooseSettings(options.settingsFile, options.assignments, error);
  if (!choice) return fail(kSettingsRefused, error);
  if (options.showSettings) showSettings(*choice);
  if (options.drawing.empty()) return kOk;  // only --show-settings

  int status = kOk;
  const auto drawing = readDrawing(options, status);
  if (!drawing) return status;
  if (!options.dumpSegments.empty() &&
      !writeWholeFile(options.dumpSegments, encodeSegments(drawing->segments))) {
    return fail(kOutputFailed, "cannot write " + options.dumpSegments);
  }
  if (drawing->segments.empty()) {
    return fail(kBadDrawing, options.drawing + ": the drawing has no outlines to cut");
  }

  // Said even with -q: cutting with values nobody chose deserves a word.
  if (choice->base == SettingsChoice::Base::BuiltIn) {
    std::cerr << "brevanto: no settings file (looked for " << choice->filePath
              << "): using the built-in values of examples/CNC.ini\n";
  }
  installSettings(*choice);

  const bool toStdout = options.output == "-";
  std::string programPath = options.output;
  if (toStdout) {
    const auto temporary = makeTemporaryProgramPath();
    if (!temporary) return fail(kOutputFailed, "cannot create a temporary file for the program");
    programPath = *temporary;
  } else if (programPath.empty()) {
    programPath = std::filesystem::path(options.drawing).replace_extension(".tap").string();
  }
  std::error_code ec;
  if (std::filesystem::equivalent(programPath, options.drawing, ec)) {
    return fail(kOutputFailed, "the program would overwrite the drawing " + options.drawing);
  }
  setOutputPath(programPath);

  JobReport report;
  report.keepElements = true;  // for the deviation figure
  const auto lastIndex = static_cast<int32_t>(drawing->segments.size()) - 1;
  const int32_t result = runGuardedJob(drawing->segments.data(), &lastIndex, &report);
  std::string program;
  const bool programRead = result >= -1 && readWholeFile(programPath, program);
  if (toStdout) std::filesystem::remove(programPath, ec);
  switch (result) {
    case BREVANTO_SETTINGS_REFUSED:
      return fail(kSettingsRefused, std::string("settings refused: ") + lastJobError());
    case BREVANTO_OUTPUT_FAILED:
      return fail(kOutputFailed, "cannot write the program " + programPath + ": " + lastJobError());
    case BREVANTO_OUT_OF_MEMORY:
      return fail(kBadDrawing, options.drawing + ": " + lastJobError());
    default:
      break;
  }
  if (!programRead) return fail(kOutputFailed, "the program " + programPath + " was not written");
  if (toStdout) {
    std::cout.write(program.data(), static_cast<std::streamsize>(program.size()));
    std::cout.flush();
    if (!std::cout) return fail(kOutputFailed, "cannot write the program to standard output");
  }

  const std::vector<ProgramMove> moves = readProgramMoves(program);
  std::vector<SummaryRow> rows = summarize(drawing->facts, report, moves);
  const Deviation deviation = measureDeviation(drawing->segments, report.elements);
  rows.push_back({"largest deviation", describeDeviation(deviation)});
  if (!options.quiet) {
    std::cerr << "brevanto: " << options.drawing << " -> "
              << (toStdout ? "standard output" : programPath) << "\n"
              << formatSummary(rows);
  }
  if (!options.preview.empty() &&
      !writeWholeFile(options.preview, renderPreview(drawing->segments, moves, rows))) {
    return fail(kOutputFailed, "cannot write the preview " + options.preview);
  }
  if (options.maxDeviation && deviation.measured && deviation.distance > *options.maxDeviation) {
    char limit[64];
    std::snprintf(limit, sizeof limit, "%.4f mm", *options.maxDeviation);
    return fail(kDeviationExceeded, "the program strays further from the drawing than " +
                                        std::string(limit) + ": " + describeDeviation(deviation));
  }
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  CLI::App app{"Turns the outlines of an SVG drawing into a G-code milling program.", "brevanto"};
  app.add_option("DRAWING", options.drawing,
                 "SVG drawing, or a .seg file of raw 80-byte Segment records (little-endian)");
  app.add_option("-o,--output", options.output,
                 "program file; default: the drawing's name with .tap, beside it; - for standard "
                 "output");
  app.add_flag("-q,--quiet", options.quiet,
               "no summary on standard error (errors, and the use of built-in settings, are still "
               "reported)");
  app.add_option("--settings", options.settingsFile,
                 "settings file of NAME=VALUE lines to use instead of the default one");
  app.add_option("--set", options.assignments,
                 "NAME=VALUE: one setting for this run only (repeatable)")
      ->type_name("NAME=VALUE")
      ->allow_extra_args(false);
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
                 "drawing (the program is still written)")
      ->type_name("MM")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--dpi", options.dpi,
                 "pixels per inch for drawings whose size is not in mm, cm, in, pt or pc: px and "
                 "unitless lengths (default 96, as CSS; 72 or 90 for some older editors)")
      ->type_name("N")
      ->check(CLI::PositiveNumber);
  app.add_flag("--strict", options.strict,
               "exit with status 1, writing nothing, when any content is left out (text, images, "
               "invisible shapes, clipped-away parts, unusable elements)");
  app.set_version_flag("--version", std::string("brevanto ") + BREVANTO_VERSION);
  app.footer(
      "Settings (NAME for --set): txtFeedZ plunge feed, txtMaxZ depth per pass, txtDepth total "
      "depth, txtSaveZ safe height, txtFeedCut cutting feed, txtWZNummer tool number, txtWZDia "
      "tool diameter, Prezision joining precision. Default settings file: " +
      defaultSettingsFilePath() +
      " ($BREVANTO_SETTINGS overrides); with none, the values of examples/CNC.ini.\n"
      "SVG: path, rect, circle, ellipse, line, polyline, polygon, groups, use, transforms, "
      "viewBox, clip paths, markers, <style> sheets; units mm, cm, in, pt, px (96 per inch, or "
      "--dpi). Each subpath is one shape; its colour is the stroke, else the fill. What shows "
      "nothing (no stroke or fill, opacity 0, hidden, clipped away), text and images are left "
      "out and listed with the line of the first of each kind.\n"
      "Exit status: 0 success, 1 unreadable or invalid drawing (or, with --strict, content left "
      "out), 2 settings refused, 3 output "
      "not written, 4 the path strays further than --max-deviation, 64 wrong usage.\n");
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
