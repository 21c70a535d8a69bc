#include "dxf_entities.h"

#include <numbers>

#include "dxf_spline.h"

namespace brevanto::cli::dxf {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kTurn = 2.0 * std::numbers::pi;

// Sweep from `from` to `to` counter-clockwise, in (0, 2 pi]. Angles that
// are equal, or a whole turn apart as far as the file's digits tell (2 pi
// written as 6.28318530718), make a whole turn.
double sweepBetween(double from, double to) {
  constexpr double kHair = 1e-9;
  double sweep = std::fmod(to - from, kTurn);
  if (sweep < 0.0) sweep += kTurn;
  if (sweep <= kHair || sweep >= kTurn - kHair) sweep = kTurn;
  return sweep;
}

Piece linePiece(Point a, Point b) {
  return {a, a, b, b, false, false};
}

// A polyline's pieces: straight, or arcs from their bulges. The ends of an
// arc are the vertices exactly.
bool polylinePieces(const Entity& e, size_t most, std::vector<Piece>& out) {
  const size_t n = e.vertices.size();
  const size_t count = e.closed ? n : n - 1;
  for (size_t i = 0; i < count && n > 1; ++i) {
    if (out.size() > most) return false;
    const Vertex& v = e.vertices[i];
    const Vertex& w = e.vertices[(i + 1) % n];
    const Point a{v.x, v.y}, b{w.x, w.y};
    if (a.x == b.x && a.y == b.y) continue;
    if (v.bulge == 0.0 || !std::isfinite(v.bulge)) {
      out.push_back(linePiece(a, b));
      continue;
    }
    // A bulge b turns through 4 atan(b); the centre lies off the chord's
    // middle by (1 - b^2) / (4 b) chords, to the left for a positive bulge.
    const double sweep = 4.0 * std::atan(v.bulge);
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double k = (1.0 - v.bulge * v.bulge) / (4.0 * v.bulge);
    const double cx = (a.x + b.x) * 0.5 - dy * k, cy = (a.y + b.y) * 0.5 + dx * k;
    const double r = std::hypot(a.x - cx, a.y - cy);
    const size_t first = out.size();
    appendArc(cx, cy, r, std::atan2(a.y - cy, a.x - cx), sweep, static_cast<int64_t>(i) + 1, out);
    out[first].p0 = a;
    out.back().p3 = b;
  }
  return true;
}

}  // namespace

Affine planeToWorld(const Vec3& normal) {
  const double len = std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
  if (!(len > 0.0)) return {};
  const Vec3 n{normal.x / len, normal.y / len, normal.z / len};
  if (n.x == 0.0 && n.y == 0.0) return n.z > 0.0 ? Affine{} : Affine{-1.0, 0.0, 0.0, 1.0, 0, 0};
  // The arbitrary axis rule: the plane's x axis is world y (or z, for a
  // normal close to the z axis) crossed with the normal; its y axis is the
  // normal crossed with that.
  const bool nearZ = std::fabs(n.x) < 1.0 / 64.0 && std::fabs(n.y) < 1.0 / 64.0;
  Vec3 ax = nearZ ? Vec3{n.z, 0.0, -n.x} : Vec3{-n.y, n.x, 0.0};
  const double axLen = std::sqrt(ax.x * ax.x + ax.y * ax.y + ax.z * ax.z);
  ax = {ax.x / axLen, ax.y / axLen, ax.z / axLen};
  const Vec3 ay{n.y * ax.z - n.z * ax.y, n.z * ax.x - n.x * ax.z, n.x * ax.y - n.y * ax.x};
  return {ax.x, ay.x, ax.y, ay.y, 0.0, 0.0};
}

bool entityOutline(const Entity& e, const Affine& toMm, size_t most, Outline& out,
                   std::string& problem) {
  std::vector<Piece>& pieces = out.pieces;
  Affine local = planeToWorld(e.normal);
  switch (e.kind) {
    case Kind::Line:
      local = Affine{};  // world coordinates
      if (e.a.x != e.b.x || e.a.y != e.b.y)
        pieces.push_back(linePiece({e.a.x, e.a.y}, {e.b.x, e.b.y}));
      break;
    case Kind::Circle:
      if (e.radius > 0.0) appendArc(e.a.x, e.a.y, e.radius, 0.0, kTurn, 0, pieces);
      out.closed = true;
      break;
    case Kind::Arc:
      if (e.radius > 0.0) {
        appendArc(e.a.x, e.a.y, e.radius, e.start * kDegree,
                  sweepBetween(e.start * kDegree, e.end * kDegree), 0, pieces);
      }
      break;
    case Kind::Ellipse: {
      // The unit circle mapped onto the ellipse: major axis, and the minor
      // axis (ratio times the normal crossed with the major axis).
      const Vec3& n = e.normal;
      const double len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
      if (!(len > 0.0) || !(e.radius > 0.0)) break;
      const double k = e.radius / len;
      const Vec3 m = e.b;
      const Vec3 minor{k * (n.y * m.z - n.z * m.y), k * (n.z * m.x - n.x * m.z),
                       k * (n.x * m.y - n.y * m.x)};
      local = {m.x, minor.x, m.y, minor.y, e.a.x, e.a.y};
      const double sweep = sweepBetween(e.start, e.end);
      out.closed = sweep == kTurn;
      appendArc(0.0, 0.0, 1.0, e.start, out.closed ? kTurn : sweep, 0, pieces);
      break;
    }
    case Kind::Polyline:
      if (e.worldPolyline) local = Affine{};
      if (!polylinePieces(e, most, pieces)) {
        problem = kTooManyPieces;
        return false;
      }
      out.closed = e.closed;
      break;
    case Kind::Spline:
      local = Affine{};
      if (!splinePieces(*e.spline, 0.001 / toMm.stretch(), most, pieces, problem)) return false;
      break;
    case Kind::Insert:
    case Kind::LeftOut:
      break;
  }
  for (const Piece& p : pieces) {
    for (const Point& q : {p.p0, p.p1, p.p2, p.p3}) {
      if (!std::isfinite(q.x) || !std::isfinite(q.y)) {
        problem = "a point that is not a finite number";
        pieces.clear();
        return false;
      }
    }
  }
  mapPieces(pieces, toMm.after(local));
  return true;
}

}  // namespace brevanto::cli::dxf
