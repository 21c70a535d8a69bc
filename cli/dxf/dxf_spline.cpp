#include "dxf_spline.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace brevanto::cli::dxf {
namespace {

// A point in homogeneous form: (w x, w y, w).
struct H {
  double x = 0.0, y = 0.0, w = 1.0;
};

H mix(const H& p, const H& q, double t) {
  return {p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t, p.w + (q.w - p.w) * t};
}

Point projected(const H& p) {
  return {p.x / p.w, p.y / p.w};
}

using Bezier = std::vector<H>;

// The Bezier points of the span [t[p-1], t[p]] of a B-spline of degree p
// with control points d[0..p] and knots t[0..2p-1] around the span: each is
// the blossom at (a..a, b..b), found by de Boor's steps with the arguments
// taken in turn. Local to the span, so a long spline costs time in
// proportion to its length.
Bezier spanBezier(const H* d, const double* t, int p) {
  const double a = t[p - 1], b = t[p];
  Bezier out(static_cast<size_t>(p) + 1);
  std::vector<H> level(static_cast<size_t>(p) + 1);
  for (int k = 0; k <= p; ++k) {
    std::copy(d, d + p + 1, level.begin());
    for (int r = 1; r <= p; ++r) {
      const double u = r <= p - k ? a : b;
      for (int i = p; i >= r; --i) {
        const double lo = t[i - 1], hi = t[i + p - r];
        level[static_cast<size_t>(i)] = mix(level[static_cast<size_t>(i) - 1],
                                            level[static_cast<size_t>(i)], (u - lo) / (hi - lo));
      }
    }
    out[static_cast<size_t>(k)] = level[static_cast<size_t>(p)];
  }
  return out;
}

// de Casteljau in homogeneous form: the point and the first derivative of
// the curve the Bezier stands for.
void evaluate(const Bezier& bz, double t, Point& point, Point& slope) {
  std::vector<H> v(bz);
  const size_t n = v.size() - 1;
  for (size_t r = 1; r < n; ++r) {
    for (size_t i = 0; i + r <= n; ++i) v[i] = mix(v[i], v[i + 1], t);
  }
  const H& p0 = v[0];
  const H& p1 = v[1];
  const H at = mix(p0, p1, t);
  const double deg = static_cast<double>(n);
  const H dh{deg * (p1.x - p0.x), deg * (p1.y - p0.y), deg * (p1.w - p0.w)};
  point = projected(at);
  slope = {(dh.x - dh.w * point.x) / at.w, (dh.y - dh.w * point.y) / at.w};
}

// A cubic for the curve's piece [t0, t1] through its end points with its end
// tangents; halved where it strays further than `tolerance` at any of a few
// points between (matched by parameter, which bounds the distance).
void fit(const Bezier& bz, double t0, double t1, double tolerance, int depth,
         std::vector<Piece>& out) {
  Point a, da, b, db;
  evaluate(bz, t0, a, da);
  evaluate(bz, t1, b, db);
  const double h = (t1 - t0) / 3.0;
  Piece c{a, {a.x + da.x * h, a.y + da.y * h}, {b.x - db.x * h, b.y - db.y * h}, b, true, false};
  bool good = true;
  for (int i = 1; i < 8 && good; ++i) {
    const double s = i / 8.0, u = 1.0 - s;
    Point on, slope;
    evaluate(bz, t0 + (t1 - t0) * s, on, slope);
    const double x =
        u * u * u * c.p0.x + 3 * u * u * s * c.p1.x + 3 * u * s * s * c.p2.x + s * s * s * c.p3.x;
    const double y =
        u * u * u * c.p0.y + 3 * u * u * s * c.p1.y + 3 * u * s * s * c.p2.y + s * s * s * c.p3.y;
    good = std::hypot(x - on.x, y - on.y) <= tolerance;
  }
  if (good || depth >= 12) {
    out.push_back(c);
    return;
  }
  const double mid = (t0 + t1) * 0.5;
  fit(bz, t0, mid, tolerance, depth + 1, out);
  fit(bz, mid, t1, tolerance, depth + 1, out);
}

void emitBezier(const Bezier& bz, bool rational, double tolerance, std::vector<Piece>& out) {
  const size_t p = bz.size() - 1;
  if (rational || p > 3) {
    fit(bz, 0.0, 1.0, tolerance, 0, out);
    return;
  }
  const Point q0 = projected(bz[0]), q3 = projected(bz[p]);
  if (p == 1) {
    out.push_back({q0, q0, q3, q3, false, false});
  } else if (p == 2) {  // raised to a cubic exactly
    const Point m = projected(bz[1]);
    out.push_back({q0,
                   {q0.x + (m.x - q0.x) * 2.0 / 3.0, q0.y + (m.y - q0.y) * 2.0 / 3.0},
                   {q3.x + (m.x - q3.x) * 2.0 / 3.0, q3.y + (m.y - q3.y) * 2.0 / 3.0},
                   q3,
                   true,
                   false});
  } else {
    out.push_back({q0, projected(bz[1]), projected(bz[2]), q3, true, false});
  }
}

bool fromControlPoints(const SplineData& s, double tolerance, size_t most, std::vector<Piece>& out,
                       std::string& problem) {
  const int p = s.degree;
  const size_t n = s.control.size();
  if (p < 1 || p > kMostSplineDegree) {
    problem = "degree " + std::to_string(p) + " (this reader takes 1 to " +
              std::to_string(kMostSplineDegree) + ")";
    return false;
  }
  if (n < static_cast<size_t>(p) + 1 || s.knots.size() != n + static_cast<size_t>(p) + 1) {
    problem = std::to_string(n) + " control points and " + std::to_string(s.knots.size()) +
              " knots do not make a spline of degree " + std::to_string(p);
    return false;
  }
  for (size_t i = 1; i < s.knots.size(); ++i) {
    if (!(s.knots[i] >= s.knots[i - 1])) {
      problem = "its knots decrease";
      return false;
    }
  }
  const bool weighted = s.weights.size() == n;
  bool rational = false;
  std::vector<H> d(n);
  for (size_t i = 0; i < n; ++i) {
    const double w = weighted ? s.weights[i] : 1.0;
    if (!(w > 0.0)) {
      problem = "a weight that is not positive";
      return false;
    }
    rational = rational || w != 1.0;
    d[i] = {s.control[i].x * w, s.control[i].y * w, w};
  }
  for (size_t k = static_cast<size_t>(p); k < n; ++k) {
    if (!(s.knots[k] < s.knots[k + 1])) continue;  // an empty span
    if (out.size() > most) {
      problem = kTooManyPieces;
      return false;
    }
    emitBezier(
        spanBezier(&d[k - static_cast<size_t>(p)], &s.knots[k + 1 - static_cast<size_t>(p)], p),
        rational, tolerance, out);
  }
  return true;
}

// The cubic spline through the fit points, parameter by chord length, so
// that the slope is about one unit per unit and a given end tangent (made a
// unit vector) is the slope there; a free end has no curvature.
bool fromFitPoints(const SplineData& s, std::vector<Piece>& out, std::string& problem) {
  std::vector<Point> q;
  for (const Vec3& v : s.fit) {
    if (q.empty() || v.x != q.back().x || v.y != q.back().y) q.push_back({v.x, v.y});
  }
  if ((s.flags & 1) != 0 && q.size() > 2 &&
      (q.front().x != q.back().x || q.front().y != q.back().y)) {
    q.push_back(q.front());
  }
  if (q.size() < 2) {
    problem = "fewer than two distinct fit points";
    return false;
  }
  const size_t n = q.size();
  std::vector<double> h(n - 1);
  for (size_t i = 0; i + 1 < n; ++i) h[i] = std::hypot(q[i + 1].x - q[i].x, q[i + 1].y - q[i].y);
  const auto unit = [](const Vec3& t, Point& u) {
    const double len = std::hypot(t.x, t.y);
    if (!(len > 0.0)) return false;
    u = {t.x / len, t.y / len};
    return true;
  };
  Point t0, t1;
  const bool clamped0 = unit(s.startTangent, t0), clamped1 = unit(s.endTangent, t1);
  // Slopes m[i] from continuity of the second derivative: a tridiagonal
  // system, solved per axis.
  std::vector<Point> m(n);
  for (int axis = 0; axis < 2; ++axis) {
    const auto at = [axis](const Point& p) { return axis == 0 ? p.x : p.y; };
    std::vector<double> lower(n), diag(n), upper(n), rhs(n);
    if (clamped0) {
      diag[0] = 1.0, rhs[0] = at(t0);
    } else {
      diag[0] = 2.0, upper[0] = 1.0, rhs[0] = 3.0 * (at(q[1]) - at(q[0])) / h[0];
    }
    for (size_t i = 1; i + 1 < n; ++i) {
      lower[i] = h[i];
      diag[i] = 2.0 * (h[i - 1] + h[i]);
      upper[i] = h[i - 1];
      rhs[i] = 3.0 * (h[i] * (at(q[i]) - at(q[i - 1])) / h[i - 1] +
                      h[i - 1] * (at(q[i + 1]) - at(q[i])) / h[i]);
    }
    if (clamped1) {
      diag[n - 1] = 1.0, rhs[n - 1] = at(t1);
    } else {
      lower[n - 1] = 1.0, diag[n - 1] = 2.0;
      rhs[n - 1] = 3.0 * (at(q[n - 1]) - at(q[n - 2])) / h[n - 2];
    }
    for (size_t i = 1; i < n; ++i) {
      const double f = lower[i] / diag[i - 1];
      diag[i] -= f * upper[i - 1];
      rhs[i] -= f * rhs[i - 1];
    }
    std::vector<double> x(n);
    x[n - 1] = rhs[n - 1] / diag[n - 1];
    for (size_t i = n - 1; i-- > 0;) x[i] = (rhs[i] - upper[i] * x[i + 1]) / diag[i];
    for (size_t i = 0; i < n; ++i) (axis == 0 ? m[i].x : m[i].y) = x[i];
  }
  for (size_t i = 0; i + 1 < n; ++i) {
    const double k = h[i] / 3.0;
    out.push_back({q[i],
                   {q[i].x + m[i].x * k, q[i].y + m[i].y * k},
                   {q[i + 1].x - m[i + 1].x * k, q[i + 1].y - m[i + 1].y * k},
                   q[i + 1],
                   true,
                   false});
  }
  return true;
}

}  // namespace

bool splinePieces(const SplineData& spline, double tolerance, size_t most, std::vector<Piece>& out,
                  std::string& problem) {
  if (!spline.control.empty()) return fromControlPoints(spline, tolerance, most, out, problem);
  if (!spline.fit.empty()) return fromFitPoints(spline, out, problem);
  problem = "neither control points nor fit points";
  return false;
}

}  // namespace brevanto::cli::dxf
