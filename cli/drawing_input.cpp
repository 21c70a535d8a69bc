#include "drawing_input.h"

#include <filesystem>
#include <iostream>
#include <string>

#include "dxf/dxf_import.h"
#include "dxf/group_reader.h"
#include "io/input_file.h"
#include "seg_file.h"
#include "svg/svg_import.h"

namespace brevanto::cli {
namespace {

void fail(const std::string& message) {
  std::cerr << "brevanto: " << message << "\n";
}

std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool isSegFile(const std::string& path) {
  const std::string ext = lowered(std::filesystem::path(path).extension().string());
  return ext == ".seg";
}

// Says what the reader left out and noted, and takes its segments into the
// drawing; false after saying why the drawing cannot be used.
bool take(ImportResult& r, const std::vector<std::string>& description,
          const DrawingRequest& options, Drawing& d) {
  if (!r.ok()) {
    const std::string where =
        r.errorLine > 0 ? options.path + ":" + std::to_string(r.errorLine) : options.path;
    fail(where + ": " + r.error);
    return false;
  }
  constexpr size_t kShownWarnings = 10;
  for (size_t i = 0; i < r.warnings.size() && i < kShownWarnings; ++i) {
    std::cerr << "brevanto: " << options.path << ": " << r.warnings[i] << "\n";
  }
  if (r.warnings.size() > kShownWarnings) {
    std::cerr << "brevanto: " << options.path << ": " << r.warnings.size() - kShownWarnings
              << " more notes like these\n";
  }
  d.facts.shapes = r.shapes;
  d.facts.skippedElements = r.skippedCount();
  for (const auto& [name, count] : r.skippedElements) {
    if (!d.facts.skippedDetail.empty()) d.facts.skippedDetail += ", ";
    d.facts.skippedDetail += name + " " + std::to_string(count);
  }
  for (const std::string& line : description) {
    if (!options.quiet) std::cerr << "brevanto: " << options.path << ": " << line << "\n";
  }
  if (options.strict && r.leftOutCount() > 0) {
    fail(options.path + ": --strict: " + std::to_string(r.leftOutCount()) +
         " element(s) left out, nothing written");
    return false;
  }
  d.segments = std::move(r.segments);
  return true;
}

}  // namespace

std::optional<Drawing> readDrawing(const DrawingRequest& options) {
  std::string bytes;
  std::string error;
  if (!readRegularFile(options.path, options.largest, bytes, error)) {
    fail("cannot read " + options.path + ": " + error);
    return std::nullopt;
  }
  Drawing d;
  if (isSegFile(options.path)) {
    if (!decodeSegments(bytes, d.segments, error)) {
      fail(options.path + ": " + error);
      return std::nullopt;
    }
    int32_t shapes = 0;
    for (size_t i = 0; i < d.segments.size(); ++i) {
      if (i == 0 || d.segments[i].shapeKey != d.segments[i - 1].shapeKey) ++shapes;
    }
    d.facts.shapes = shapes;
  } else if (dxf::looksLikeDxf(bytes)) {
    dxf::DxfOptions dxfOptions;
    if (!options.dxfUnits.empty()) dxfOptions.unit = dxf::unitNamed(options.dxfUnits);
    dxf::DxfImport r = dxf::importDxf(bytes, dxfOptions);
    if (!take(r.result, dxf::describeDxf(r), options, d)) return std::nullopt;
    d.tags = std::move(r.tags);
  } else if (const std::string_view kind = foreignFileKind(bytes); !kind.empty()) {
    fail(options.path + ": it is " + std::string(kind) +
         ", not an SVG drawing; brevanto reads SVG and DXF drawings and .seg files of "
         "Segment records");
    return std::nullopt;
  } else {
    const ImportOptions importOptions{
        .flipY = options.flipY, .dpi = options.dpi, .dpiGiven = options.dpiGiven};
    ImportResult r = importSvg(bytes, importOptions, options.hersheyFont);
    if (!take(r, describeImport(r, importOptions), options, d)) return std::nullopt;
    d.facts.texts = r.texts;
    for (const std::string& font : r.fonts)
      d.facts.fonts += (d.facts.fonts.empty() ? "" : ", ") + font;
    d.facts.scaleNote = oldPixelScaleNote(r, importOptions);
    if (options.strict && !d.facts.scaleNote.empty()) {
      fail(options.path + ": --strict: " + d.facts.scaleNote + "; nothing written");
      return std::nullopt;
    }
    d.tags = std::move(r.tags);
  }
  if (d.segments.size() > static_cast<size_t>(INT32_MAX)) {
    fail(options.path + ": too many segments");
    return std::nullopt;
  }
  d.facts.segments = static_cast<int32_t>(d.segments.size());
  return d;
}

}  // namespace brevanto::cli
