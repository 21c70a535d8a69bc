#include "dxf_geometry.h"

#include <algorithm>
#include <numbers>

namespace brevanto::cli::dxf {

void appendArc(double cx, double cy, double r, double from, double sweep, int64_t run,
               std::vector<Piece>& out) {
  constexpr double kEighth = std::numbers::pi / 4.0;
  const int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / kEighth - 1e-9)));
  const double step = sweep / pieces;
  // Handles of 4/3 tan(step / 4) along the tangents put the cubic's middle
  // exactly on the circle.
  const double handle = 4.0 / 3.0 * std::tan(step / 4.0) * r;
  for (int i = 0; i < pieces; ++i) {
    const double t0 = from + step * i;
    const double t1 = from + step * (i + 1);
    const double c0 = std::cos(t0), s0 = std::sin(t0), c1 = std::cos(t1), s1 = std::sin(t1);
    Piece p;
    p.cubic = true;
    p.arc = true;
    p.run = run;
    p.p0 = {cx + r * c0, cy + r * s0};
    p.p3 = {cx + r * c1, cy + r * s1};
    p.p1 = {p.p0.x - handle * s0, p.p0.y + handle * c0};
    p.p2 = {p.p3.x + handle * s1, p.p3.y - handle * c1};
    // Consecutive pieces share their points exactly.
    if (!out.empty() && i > 0) p.p0 = out.back().p3;
    out.push_back(p);
  }
}

void mapPieces(std::vector<Piece>& pieces, const Affine& map) {
  const bool round = map.similar();
  for (Piece& p : pieces) {
    p.p0 = map.apply(p.p0);
    p.p1 = map.apply(p.p1);
    p.p2 = map.apply(p.p2);
    p.p3 = map.apply(p.p3);
    p.arc = p.arc && round;
  }
}

}  // namespace brevanto::cli::dxf
