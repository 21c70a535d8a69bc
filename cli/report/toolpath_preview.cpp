#include "report/toolpath_preview.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string_view>
#include <unordered_set>

#include "report/pocket_shading.h"
#include "report/preview_operations.h"
#include "report/preview_svg.h"

namespace brevanto::cli {

// Where value * 1000 is computed far enough from a half that its rounding
// cannot decide which way it goes, the thousandths are counted in integers;
// only the rest (near halves, huge or non-finite values) goes to to_chars,
// whose fixed form costs several times more.
char* fixed3(char* first, char* last, double value) {
  const double scaled = std::fabs(value) * 1000.0;
  if (scaled < 1e15 && last - first >= 24) {
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    // The product is off by at most half a unit in its last place.
    if (std::fabs(fraction - 0.5) > scaled * 0x1p-51) {
      auto n = static_cast<uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
      char digits[24];
      int count = 0;
      for (; count < 3 || n > 0; ++count, n /= 10) digits[count] = static_cast<char>('0' + n % 10);
      if (count == 3) digits[count++] = '0';
      char* out = first;
      if (std::signbit(value)) *out++ = '-';
      for (int i = count - 1; i >= 3; --i) *out++ = digits[i];
      *out++ = '.';
      for (int i = 2; i >= 0; --i) *out++ = digits[i];
      return out;
    }
  }
  const auto r = std::to_chars(first, last, value, std::chars_format::fixed, 3);
  if (r.ec == std::errc()) return r.ptr;
  *first = '0';
  return first + 1;
}

namespace {

// Well separated hues for consecutive shapes.
std::string shapeColour(int32_t shape) {
  const double hue = std::fmod(static_cast<double>(shape) * 137.508, 360.0);
  char text[48];
  std::snprintf(text, sizeof text, "hsl(%.0f,75%%,42%%)", hue);
  return text;
}

// What a shape is in the nesting, for the picture with a tool offset.
enum class Role { Part, Hole, Open, Unknown };
constexpr size_t kRoles = 4;

Role roleOfDepth(int32_t depth) {
  if (depth < 0) return Role::Open;
  return depth % 2 == 0 ? Role::Part : Role::Hole;
}

const char* roleColour(Role role) {
  switch (role) {
    case Role::Part:
      return "#1f5fbf";
    case Role::Hole:
      return "#d0451b";
    case Role::Open:
      return "#2e8b3a";
    case Role::Unknown:
      break;
  }
  return "#808080";
}

// The role of each shape as the program writes it (ProgramMove::shape - 1).
Role writtenRole(const JobReport& nesting, int32_t shape) {
  const auto written = static_cast<size_t>(shape - 1);
  if (shape < 1 || written >= nesting.writtenShapes.size()) return Role::Unknown;
  const auto index = static_cast<size_t>(nesting.writtenShapes[written]);
  if (index >= nesting.shapes.size()) return Role::Unknown;
  return roleOfDepth(nesting.shapes[index].depth);
}

// The role of each shape of the drawing (each run of one key), matched in
// order with the job's shapes by key: a shape whose segments all vanished in
// the job (curves too short to cut) is left unknown.
std::vector<Role> drawnRoles(const std::vector<Segment>& drawing, const JobReport& nesting) {
  std::vector<Role> roles;
  size_t next = 0;
  for (size_t i = 0; i < drawing.size(); ++i) {
    if (i > 0 && drawing[i - 1].shapeKey == drawing[i].shapeKey) continue;
    if (next < nesting.shapes.size() && nesting.shapes[next].shapeKey == drawing[i].shapeKey) {
      roles.push_back(roleOfDepth(nesting.shapes[next++].depth));
    } else {
      roles.push_back(Role::Unknown);
    }
  }
  return roles;
}

}  // namespace

std::string renderPreview(const std::vector<Segment>& drawing,
                          const std::vector<ProgramMove>& moves,
                          const std::vector<SummaryRow>& legend, const PreviewKerf& kerf,
                          const JobReport* entries, const PreviewOperations* operations) {
  const bool showEntries = entries != nullptr && !entries->entryStrokes.empty();
  const bool showKerf =
      kerf.toolDiameter > 0.0 && kerf.nesting != nullptr && !kerf.nesting->shapes.empty();
  PlaneBox b;
  b.add(0.0, 0.0);  // the origin cross is always in view
  for (const Segment& s : drawing) {
    b.add(s.x0, s.y0);
    b.add(s.x3, s.y3);
  }
  for (const ProgramMove& m : moves) {
    if (m.shape == 0 || !m.fromKnown) continue;  // header and home moves lie outside the work
    b.add(m);
  }
  if (showKerf) {  // the band's edge is in view too
    const double r = 0.5 * kerf.toolDiameter;
    b.add(b.minX - r, b.minY - r);
    b.add(b.maxX + r, b.maxY + r);
  }
  const double spanX = std::max(b.maxX - b.minX, 1e-3);
  const double spanY = std::max(b.maxY - b.minY, 1e-3);
  View v;
  v.scale = kPreviewWidth / spanX;
  // Very tall drawings: keep the picture at most three times as high as wide.
  v.scale = std::min(v.scale, 3.0 * kPreviewWidth / spanY);
  v.originX = b.minX;
  v.topY = b.maxY;
  const double drawingHeight = spanY * v.scale;
  const double width = std::ceil(spanX * v.scale + 2 * kPreviewMargin);
  const double legendTop = kPreviewMargin + drawingHeight + kPreviewMargin;
  // Pockets: their area shaded where no cutting move's disc reaches.
  const PocketShading pockets = pocketShading(entries);
  const bool showLeft = pockets.any;
  const size_t headLines = (showKerf ? 2 : 1) + (showEntries ? 1 : 0) + (showLeft ? 1 : 0) +
                           (operations != nullptr ? kOperationLegendLines : 0);
  // Long rows broken to the picture's width (11 px text, about 6 px a character).
  std::vector<std::pair<std::string, bool>> legendLines;  // a line, and whether it goes on a row
  for (const SummaryRow& row : legend) {
    const std::vector<std::string> lines =
        rowLines(row, static_cast<size_t>(std::max(width / 6.2 - 16.0, 40.0)));
    for (size_t i = 0; i < lines.size(); ++i) legendLines.emplace_back(lines[i], i > 0);
  }
  const double height = std::ceil(
      legendTop + kPreviewLegendLine * static_cast<double>(legendLines.size() + headLines) + 10.0);

  std::string svg;
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(width) + "\" height=\"" +
         number(height) + "\" viewBox=\"0 0 " + number(width) + " " + number(height) + "\">\n";
  svg += "<title>Brevanto toolpath preview</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";

  // The drawing: thin grey, or with a tool offset one path per role.
  std::string drawn[kRoles];
  const std::vector<Role> roles =
      showKerf ? drawnRoles(drawing, *kerf.nesting) : std::vector<Role>{};
  std::string notCut;
  std::unordered_set<int32_t> notCutKeys;
  if (operations != nullptr) {
    notCutKeys.insert(operations->notSelected.begin(), operations->notSelected.end());
  }
  std::string pocketArea;
  size_t run = 0;
  for (size_t i = 0; i < drawing.size(); ++i) {
    const Segment& s = drawing[i];
    if (i > 0 && drawing[i - 1].shapeKey != s.shapeKey) ++run;
    std::string& out = notCutKeys.contains(s.shapeKey) ? notCut
                       : showKerf                      ? drawn[static_cast<size_t>(roles[run])]
                                                       : drawn[size_t(Role::Unknown)];
    const bool continues = i > 0 && drawing[i - 1].shapeKey == s.shapeKey &&
                           drawing[i - 1].x3 == s.x0 && drawing[i - 1].y3 == s.y0;
    const size_t from = out.size();
    if (!continues) addPoint(out, "M", v, s.x0, s.y0);
    if (s.kind == 1) {
      addPoint(out, "C", v, s.x1, s.y1);
      addPoint(out, " ", v, s.x2, s.y2);
      addPoint(out, " ", v, s.x3, s.y3);
    } else {
      addPoint(out, "L", v, s.x3, s.y3);
    }
    if (pockets.keys.contains(s.shapeKey)) pocketArea.append(out, from);
  }
  if (!showKerf) {
    svg += "<path fill=\"none\" stroke=\"#b0b0b0\" stroke-width=\"0.6\" d=\"" +
           drawn[size_t(Role::Unknown)] + "\"/>\n";
  }

  // Axis cross at the origin.
  const double ox = v.px(0.0), oy = v.py(0.0);
  svg += "<g stroke=\"#303030\" stroke-width=\"1\"><line x1=\"" + number(ox - 15) + "\" y1=\"" +
         number(oy) + "\" x2=\"" + number(ox + 30) + "\" y2=\"" + number(oy) + "\"/><line x1=\"" +
         number(ox) + "\" y1=\"" + number(oy + 15) + "\" x2=\"" + number(ox) + "\" y2=\"" +
         number(oy - 30) + "\"/></g>\n";
  svg += "<g font-family=\"sans-serif\" font-size=\"11\" fill=\"#303030\"><text x=\"" +
         number(ox + 32) + "\" y=\"" + number(oy + 4) + "\">X</text><text x=\"" + number(ox - 4) +
         "\" y=\"" + number(oy - 33) + "\">Y</text></g>\n";

  // A laser's program: its burnt lines drawn thin, as the beam burns them;
  // a move with the beam off at the feed (overscan, the way to the next fill
  // line) is not drawn.
  const bool laser =
      std::any_of(moves.begin(), moves.end(), [](const ProgramMove& m) { return m.power > 0.0; });

  // Rapid moves, dashed; cutting moves by shape; the start of each shape.
  // With a tool offset, the first pass of every cutting move again in the
  // band of its shape's role.
  // Cuts by operation where there are operations, else by shape.
  const auto colourOf = [operations](int32_t shape) {
    return operations != nullptr ? cutColour(*operations, shape) : shapeColour(shape);
  };
  std::string rapids;
  std::string cuts;
  std::string starts;
  std::string marks;  // with operations: each shape's number and arrow
  bool unmarked = false;
  std::string bands[kRoles];
  std::string step;     // one move's path data
  std::string reached;  // moves below the stock's top, for the pockets' shading
  Role role = Role::Unknown;
  double bandX = std::numeric_limits<double>::quiet_NaN(), bandY = bandX;
  int32_t currentShape = -1;
  bool shapeStarted = false;
  double penX = std::numeric_limits<double>::quiet_NaN(), penY = penX;  // where the path is
  for (const ProgramMove& m : moves) {
    if (!m.fromKnown || m.shape == 0) continue;  // the way home is left out
    const bool moves2d = m.fromX != m.toX || m.fromY != m.toY || m.curved();
    if (m.kind == ProgramMove::Kind::Rapid) {
      if (moves2d) {
        addPoint(rapids, "M", v, m.fromX, m.fromY);
        addPoint(rapids, "L", v, m.toX, m.toY);
      }
      continue;
    }
    if (laser && m.power <= 0.0) continue;
    if (m.shape != currentShape) {
      if (currentShape >= 0) cuts += "\"/>\n";
      currentShape = m.shape;
      shapeStarted = false;
      penX = penY = std::numeric_limits<double>::quiet_NaN();
      if (showKerf) {
        role = writtenRole(*kerf.nesting, m.shape);
        cuts += std::string(
                    "<path fill=\"none\" stroke-width=\"0.9\" stroke-linejoin=\"round\" "
                    "stroke=\"") +
                roleColour(role) + "\" d=\"";
      } else {
        cuts += std::string("<path fill=\"none\" stroke-width=\"") + (laser ? "0.5" : "1.6") +
                "\" stroke-linejoin=\"round\" stroke=\"" + colourOf(m.shape) + "\" d=\"";
      }
      unmarked = operations != nullptr;
    }
    if (!shapeStarted && m.shape > 0) {
      shapeStarted = true;
      starts += "<circle cx=\"" + number(v.px(m.fromX)) + "\" cy=\"" + number(v.py(m.fromY)) +
                "\" r=\"3.5\" fill=\"" + (showKerf ? roleColour(role) : colourOf(m.shape)) + "\"/>";
    }
    if (!moves2d) continue;  // plunges: no plan-view movement
    if (unmarked) {
      markShape(marks, v, m, m.shape, colourOf(m.shape));
      unmarked = false;
    }
    if (!(m.fromX == penX && m.fromY == penY)) addPoint(cuts, "M", v, m.fromX, m.fromY);
    penX = m.toX;
    penY = m.toY;
    step.clear();
    addStep(step, v, m);
    cuts += step;
    if (showLeft && m.fromZ < 0.0 && m.toZ < 0.0) {
      addPoint(reached, "M", v, m.fromX, m.fromY);
      reached += step;
    }
    if (showKerf && m.pass <= 1) {
      std::string& band = bands[static_cast<size_t>(role)];
      if (!(m.fromX == bandX && m.fromY == bandY)) addPoint(band, "M", v, m.fromX, m.fromY);
      band += step;
      bandX = m.toX;
      bandY = m.toY;
    }
  }
  if (currentShape >= 0) cuts += "\"/>\n";
  if (showKerf) {
    // Each role's band is drawn opaque within a translucent group, so that
    // where the band overlaps itself it is no darker.
    const std::string width = number(kerf.toolDiameter * v.scale);
    for (size_t k = 0; k < kRoles; ++k) {
      if (bands[k].empty()) continue;
      svg += std::string("<g opacity=\"0.3\"><path fill=\"none\" stroke=\"") +
             roleColour(static_cast<Role>(k)) + "\" stroke-width=\"" + width +
             "\" stroke-linecap=\"round\" stroke-linejoin=\"round\" d=\"" + bands[k] + "\"/></g>\n";
    }
    for (size_t k = 0; k < kRoles; ++k) {
      if (drawn[k].empty()) continue;
      svg += std::string("<path fill=\"none\" stroke=\"") + roleColour(static_cast<Role>(k)) +
             "\" stroke-width=\"1.4\" d=\"" + drawn[k] + "\"/>\n";
    }
  }
  // The pockets, shaded where no move's disc reaches.
  if (showLeft) svg += shadedPockets(pocketArea, reached, number(pockets.toolDiameter * v.scale));
  svg +=
      "<path fill=\"none\" stroke=\"#4060a0\" stroke-width=\"0.8\" stroke-dasharray=\"4 3\" d=\"" +
      rapids + "\"/>\n";
  svg += cuts;
  if (showEntries) svg += entryPaths(*entries, v);
  svg += "<g stroke=\"white\" stroke-width=\"1\">" + starts + "</g>\n";
  if (operations != nullptr) {
    svg += notCutSvg(notCut, *operations, v);
    svg += "<g font-family=\"sans-serif\" font-size=\"10\">" + marks + "</g>\n";
  }

  // Legend.
  svg += "<g font-family=\"sans-serif\" font-size=\"13\" fill=\"#202020\">\n";
  double y = legendTop;
  if (showKerf) {
    char diameter[64];
    std::snprintf(diameter, sizeof diameter, "%g", kerf.toolDiameter);
    svg += "<text x=\"" + number(kPreviewMargin) + "\" y=\"" + number(y) +
           "\">wide band: the cut, one tool diameter (" + diameter +
           " mm) wide · thin line in it: the tool's centre · dashed: rapid moves · dot: start "
           "of a shape</text>\n";
    y += kPreviewLegendLine;
    const JobReport& n = *kerf.nesting;
    const auto key = [](Role r, int32_t count, const char* what) {
      return std::string("<tspan fill=\"") + roleColour(r) + "\">■ " + std::to_string(count) + " " +
             what + "</tspan>";
    };
    svg += "<text x=\"" + number(kPreviewMargin) + "\" y=\"" + number(y) +
           "\">drawing: " + key(Role::Part, n.parts, "outlines of parts") + " · " +
           key(Role::Hole, n.holes, "holes") + " · " +
           key(Role::Open, n.openShapes, "open engraving lines (not offset)") + "</text>\n";
  } else {
    svg += "<text x=\"" + number(kPreviewMargin) + "\" y=\"" + number(y) +
           (laser ? "\">grey: drawing · thin colours: burnt lines by shape · dashed: rapid moves · "
                    "dot: start of a shape</text>\n"
            : operations != nullptr
                ? "\">grey: drawing · colours: cutting moves by operation · dashed: rapid moves · "
                  "dot: start of a shape</text>\n"
                : "\">grey: drawing · colours: cutting moves by shape · dashed: rapid moves · dot: "
                  "start of a shape</text>\n");
  }
  y += kPreviewLegendLine;
  if (operations != nullptr) {
    svg += operationLegend(*operations, kPreviewMargin, y);
    y += kPreviewLegendLine * static_cast<double>(kOperationLegendLines);
  }
  if (showEntries) {
    svg += "<text x=\"" + number(kPreviewMargin) + "\" y=\"" + number(y) +
           "\"><tspan fill=\"#101010\">■ holding tabs</tspan> · <tspan fill=\"#e08000\">■ ramp "
           "entries</tspan> · <tspan fill=\"#8a2be2\">■ lead arcs</tspan></text>\n";
    y += kPreviewLegendLine;
  }
  if (showLeft) {
    svg +=
        "<text x=\"" + number(kPreviewMargin) + "\" y=\"" + number(y) +
        "\"><tspan fill=\"#d02020\">■ pockets: left where the tool cannot reach</tspan></text>\n";
    y += kPreviewLegendLine;
  }
  for (const auto& [line, continued] : legendLines) {
    svg += "<text x=\"" + number(kPreviewMargin + (continued ? 24.0 : 0.0)) + "\" y=\"" +
           number(y) + "\">" + escapeXml(line) + "</text>\n";
    y += kPreviewLegendLine;
  }
  svg += "</g>\n</svg>\n";
  return svg;
}

}  // namespace brevanto::cli
