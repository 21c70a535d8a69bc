#include "command_options.h"

#include <charconv>
#include <functional>
#include <string>

#include "dxf/dxf_units.h"

namespace brevanto::cli {
namespace {

// A check for a number option: plain decimal digits (no hexadecimal, no
// "inf"), above `least` (or at least it) and at most `most`; otherwise
// `refusal`, said in words rather than as the double's full range.
std::function<std::string(const std::string&)> decimalIn(double least, bool leastIncluded,
                                                         double most, std::string refusal) {
  return [=](const std::string& text) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const char* first = text.data() + (text.starts_with('+') ? 1 : 0);
    const auto parsed = std::from_chars(first, end, value);
    const bool fits = parsed.ec == std::errc() && parsed.ptr == end &&
                      (leastIncluded ? value >= least : value > least) && value <= most;
    return fits ? std::string() : refusal;
  };
}

}  // namespace

void declareOptions(CLI::App& app, Options& options) {
  app.add_option("DRAWING", options.drawing,
                 "SVG or DXF drawing (told apart by content), or a .seg file of raw 80-byte "
                 "Segment records (little-endian)");
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
                 "the controllers the program is written for: classic (the default; grbl for a "
                 "laser, see Machine and Kind), linuxcnc or "
                 "grbl; short for --set Dialect=NAME")
      ->type_name("NAME");
  app.add_option("--cut-order", options.cutOrder,
                 "drawing or inside-first: the same as --set CutOrder=...")
      ->type_name("ORDER");
  app.add_option("--offset", options.toolOffset,
                 "none, outside or inside: the same as --set ToolOffset=...")
      ->type_name("SIDE");
  app.add_option("--operation", options.operationValues,
                 "NAME:KEY=VALUE: one value of the operation NAME for this run, over its "
                 "[operation NAME] section (which it makes if there is none; repeatable)")
      ->type_name("NAME:KEY=VALUE")
      ->allow_extra_args(false);
  app.add_flag(
      "--split-by-tool", options.splitByTool,
      "write one complete program per tool instead of one with tool changes: "
      "STEM-T<n>.EXT beside the program file (part.nc gives part-T1.nc, part-T2.nc); the "
      "summary says in which order to run them; a warning (with --strict: exit 1) where the "
      "cutting order takes a tool up again after another. Not with -o -");
  app.add_flag("--show-settings", options.showSettings,
               "print the settings in effect as a settings file (each value's origin in a comment) "
               "that --settings reads back as it is");
  app.add_option("--origin", options.origin,
                 "page, drawing or centre: where X0 Y0 lies, the same as --set Origin=...; drawing "
                 "puts the lower-left corner of the shapes cut at X0 Y0 (zero the machine on the "
                 "stock's corner), centre their middle")
      ->type_name("WHERE");
  app.add_flag("--no-flip", options.noFlip,
               "mirror the part: keep SVG's downward y axis instead of flipping y about the page "
               "height, so the program cuts the drawing upside down (mirrored top to bottom). "
               "Only for a machine whose Y axis points towards the operator, or to cut a part "
               "from its back face. DXF's y points up and is never flipped");
  app.add_option("--preview", options.preview,
                 "also write an SVG picture of the toolpath to this file");
  app.add_option("--dump-segments", options.dumpSegments,
                 "also write the Segment records passed to the library to this .seg file");
  app.add_option("--max-deviation", options.maxDeviation,
                 "fail with exit status 4 when the written path strays further than MM from the "
                 "drawing, or when the drawing is too dense to check whole (the program is still "
                 "written)")
      ->type_name("MM")
      ->check(decimalIn(0.0, true, 1e6, "give a number of mm from 0 to 1000000"));
  app.add_option("--tolerance", options.tolerance,
                 "keep the program within MM of the drawing (default 0.05): a shape that strays "
                 "further is made again with a finer joining precision, then with its curves cut "
                 "in two, a few times (the whole job, where an offset or cut order still strays); "
                 "if that does not do, nothing is written and the exit status is 4. none: the "
                 "library's own result, as a macro gets it")
      ->type_name("MM|none")
      ->check([](const std::string& text) {
        if (text == "none") return std::string();
        return decimalIn(0.0, false, 1e6,
                         "give a positive number of mm in decimal digits, such as 0.05 (at most "
                         "1000000), or none")(text);
      });
  app.add_option("--dpi", options.dpi,
                 "pixels per inch for drawings whose size is not in mm, cm, in, pt or pc: px and "
                 "unitless lengths (default 96, as CSS; 72 or 90 for some older editors)")
      ->type_name("N")
      ->check(decimalIn(0.0, false, 1e6,
                        "give a positive number of pixels per inch in decimal digits, such as 96 "
                        "(at most 1000000)"));
  app.add_option("--dxf-units", options.dxfUnits,
                 "the unit of a DXF drawing's numbers, instead of the one it states ($INSUNITS): " +
                     std::string(dxf::kUnitNames) +
                     "; a drawing that states none is read in mm (the summary says so)")
      ->type_name("UNIT")
      ->check([](const std::string& text) {
        return dxf::unitNamed(text) ? std::string() : "give one of " + std::string(dxf::kUnitNames);
      });
  app.add_flag(
      "--strict", options.strict,
      "exit with status 1, writing nothing, when any content is left out (text along a path, "
      "vertical or right-to-left text, images, "
      "invisible shapes, clipped-away pieces, unusable elements; in DXF also hatches, "
      "dimensions, points, 3D entities, entities on frozen or off layers), when a shape is "
      "not cut in full (no operation selects it, or the tool does not fit beside it), or when "
      "the drawing's scale is in doubt (pixels of an Inkscape before 0.92: give --dpi)");
}

}  // namespace brevanto::cli
