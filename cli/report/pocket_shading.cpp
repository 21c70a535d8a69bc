#include "report/pocket_shading.h"

#include <algorithm>

namespace brevanto::cli {

PocketShading pocketShading(const JobReport* report) {
  PocketShading out;
  if (report == nullptr) return out;
  for (const JobReport::PocketLeft& p : report->pockets) {
    out.any = true;
    out.keys.insert(p.shapeKey);
    out.keys.insert(p.islands.begin(), p.islands.end());
    out.toolDiameter = std::min(out.toolDiameter, p.toolDiameter);
  }
  return out;
}

std::string shadedPockets(const std::string& area, const std::string& reached,
                          const std::string& width) {
  return "<defs><mask id=\"reached\" maskUnits=\"userSpaceOnUse\"><rect width=\"100%\" "
         "height=\"100%\" fill=\"white\"/><path fill=\"none\" stroke=\"black\" "
         "stroke-linecap=\"round\" stroke-linejoin=\"round\" stroke-width=\"" +
         width + "\" d=\"" + reached +
         "\"/></mask></defs>\n<path fill=\"#d02020\" fill-opacity=\"0.6\" "
         "fill-rule=\"evenodd\" stroke=\"none\" mask=\"url(#reached)\" d=\"" +
         area + "\"/>\n";
}

}  // namespace brevanto::cli
