#include "elliptical_arc.h"

#include <algorithm>
#include <cmath>
#include <numbers>

// SVG++ is a third-party header; its own warnings are not ours.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include <svgpp/utility/arc_endpoint_to_center.hpp>
#pragma GCC diagnostic pop

namespace brevanto::cli {

ArcCentre arcCentre(double x0, double y0, double rx, double ry, double phi, bool largeArc,
                    bool sweep, double x, double y) {
  ArcCentre c{0.0, 0.0, rx, ry, 0.0, 0.0};
  // Scales rx and ry up in place when the ellipse cannot reach the end.
  svgpp::arc_endpoint_to_center(x0, y0, x, y, c.rx, c.ry, phi, largeArc, sweep, c.cx, c.cy,
                                c.theta1, c.theta2);
  constexpr double kTwoPi = 2.0 * std::numbers::pi;
  if (sweep && c.theta2 < c.theta1) c.theta2 += kTwoPi;
  if (!sweep && c.theta2 > c.theta1) c.theta2 -= kTwoPi;
  return c;
}

ArcOutline ellipticalArc(double x0, double y0, double rx, double ry, double xAxisRotationDegrees,
                         bool largeArc, bool sweep, double x, double y) {
  ArcOutline out;
  if (x == x0 && y == y0) return out;
  rx = std::fabs(rx);
  ry = std::fabs(ry);
  out.kind = ArcOutline::Kind::Line;
  if (rx == 0.0 || ry == 0.0 || !std::isfinite(rx) || !std::isfinite(ry)) return out;
  const double phi = xAxisRotationDegrees * std::numbers::pi / 180.0;
  const ArcCentre c = arcCentre(x0, y0, rx, ry, phi, largeArc, sweep, x, y);
  const double theta1 = c.theta1;
  const double theta2 = c.theta2;
  const double sweepAngle = std::fabs(theta2 - theta1);
  if (!std::isfinite(sweepAngle)) return out;
  out.kind = ArcOutline::Kind::Cubics;
  // Fewest pieces of at most a quarter turn, each with handles of length
  // 4/3·tan(sweep/4) along the tangents: the cubic then meets the ellipse at
  // both ends and in the middle of the piece.
  const double quarter = std::numbers::pi / 2.0;
  const int pieces = std::max(1, static_cast<int>(std::ceil(sweepAngle / quarter - 1e-9)));
  const double step = (theta2 - theta1) / pieces;
  const double handle = 4.0 / 3.0 * std::tan(step / 4.0);
  const double cosPhi = std::cos(phi);
  const double sinPhi = std::sin(phi);
  auto pointAt = [&](double eta, double& px, double& py) {
    const double ex = c.rx * std::cos(eta);
    const double ey = c.ry * std::sin(eta);
    px = c.cx + ex * cosPhi - ey * sinPhi;
    py = c.cy + ex * sinPhi + ey * cosPhi;
  };
  auto tangentAt = [&](double eta, double& tx, double& ty) {
    const double dx = -c.rx * std::sin(eta);
    const double dy = c.ry * std::cos(eta);
    tx = dx * cosPhi - dy * sinPhi;
    ty = dx * sinPhi + dy * cosPhi;
  };
  double fromX = x0, fromY = y0;
  out.cubics.reserve(static_cast<size_t>(pieces));
  for (int i = 0; i < pieces; ++i) {
    const double eta1 = theta1 + step * i;
    const double eta2 = i + 1 == pieces ? theta2 : theta1 + step * (i + 1);
    double t1x = 0.0, t1y = 0.0, t2x = 0.0, t2y = 0.0, toX = x, toY = y;
    tangentAt(eta1, t1x, t1y);
    tangentAt(eta2, t2x, t2y);
    if (i + 1 < pieces) pointAt(eta2, toX, toY);  // the last piece ends exactly where the data says
    out.cubics.push_back({fromX + handle * t1x, fromY + handle * t1y, toX - handle * t2x,
                          toY - handle * t2y, toX, toY});
    fromX = toX;
    fromY = toY;
  }
  return out;
}

}  // namespace brevanto::cli
