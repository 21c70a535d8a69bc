#include "dxf_entities.h"

#include <numbers>

#include "dxf_space.h"
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
// arc are the vertices exactly. A 3D polyline's vertices are in world
// coordinates: `world` takes them to millimetres, seen from above.
bool polylinePieces(const Entity& e, const Space* world, size_t most, std::vector<Piece>& out) {
  const size_t n = e.vertices.size();
  const size_t count = e.closed ? n : n - 1;
  for (size_t i = 0; i < count && n > 1; ++i) {
    if (out.size() > most) return false;
    const Vertex& v = e.vertices[i];
    const Vertex& w = e.vertices[(i + 1) % n];
    const Point a = world ? world->top({v.x, v.y, v.z}) : Point{v.x, v.y};
    const Point b = world ? world->top({w.x, w.y, w.z}) : Point{w.x, w.y};
    if (a.x == b.x && a.y == b.y) continue;
    if (world != nullptr || v.bulge == 0.0 || !std::isfinite(v.bulge)) {
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

// A spline in world coordinates seen from above through `map`: the picture
// of a B-spline under an affine map is the B-spline of its mapped points,
// with the same knots and weights.
SplineData splineSeenFromAbove(const SplineData& s, const Space& map) {
  SplineData out = s;
  const auto place = [&map](Vec3& p) {
    const Point q = map.top(p);
    p = {q.x, q.y, 0.0};
  };
  const auto turn = [&map](Vec3& d) {
    d = {map.m[0][0] * d.x + map.m[0][1] * d.y + map.m[0][2] * d.z,
         map.m[1][0] * d.x + map.m[1][1] * d.y + map.m[1][2] * d.z, 0.0};
  };
  for (Vec3& p : out.control) place(p);
  for (Vec3& p : out.fit) place(p);
  turn(out.startTangent);
  turn(out.endTangent);
  return out;
}

// The map of an ellipse's unit circle: its major axis, its minor axis
// (ratio times the normal crossed with the major axis) and the normal.
std::optional<Space> ellipseSpace(const Entity& e) {
  const Vec3& n = e.normal;
  const double len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  if (!(len > 0.0) || !(e.radius > 0.0)) return std::nullopt;
  const double k = e.radius / len;
  const Vec3 m = e.b;
  const Vec3 minor{k * (n.y * m.z - n.z * m.y), k * (n.z * m.x - n.x * m.z),
                   k * (n.x * m.y - n.y * m.x)};
  return Space::axes(m, minor, {n.x / len, n.y / len, n.z / len}, e.a);
}

}  // namespace

bool entityOutline(const Entity& e, const Space& toMm, size_t most, Outline& out,
                   std::string& problem) {
  std::vector<Piece>& pieces = out.pieces;
  // Arcs, circles and 2D polylines are drawn in a plane of their own; they
  // are cut where that plane lies parallel to the table.
  const Space own = toMm.after(ocs(e.normal));
  std::optional<Affine> map = Affine{};
  switch (e.kind) {
    case Kind::Line: {
      // In world coordinates, cut as seen from above.
      const Point a = toMm.top(e.a), b = toMm.top(e.b);
      if (a.x != b.x || a.y != b.y) pieces.push_back(linePiece(a, b));
      break;
    }
    case Kind::Circle:
      map = own.level(e.a.z);
      if (map && e.radius > 0.0) appendArc(e.a.x, e.a.y, e.radius, 0.0, kTurn, 0, pieces);
      out.closed = true;
      break;
    case Kind::Arc:
      map = own.level(e.a.z);
      if (map && e.radius > 0.0) {
        appendArc(e.a.x, e.a.y, e.radius, e.start * kDegree,
                  sweepBetween(e.start * kDegree, e.end * kDegree), 0, pieces);
      }
      break;
    case Kind::Ellipse: {
      const std::optional<Space> local = ellipseSpace(e);
      if (!local) break;
      map = toMm.after(*local).level(0.0);
      const double sweep = sweepBetween(e.start, e.end);
      out.closed = sweep == kTurn;
      if (map) appendArc(0.0, 0.0, 1.0, e.start, out.closed ? kTurn : sweep, 0, pieces);
      break;
    }
    case Kind::Polyline:
      if (!e.worldPolyline) map = own.level(e.a.z);
      if (map && !polylinePieces(e, e.worldPolyline ? &toMm : nullptr, most, pieces)) {
        problem = kTooManyPieces;
        return false;
      }
      out.closed = e.closed;
      break;
    case Kind::Spline: {
      // Where z does not reach x and y, the spline is made in the file's
      // units and then mapped; otherwise its points are seen from above
      // first.
      if (toMm.flat()) map = toMm.plan();
      const SplineData& spline = toMm.flat() ? *e.spline : splineSeenFromAbove(*e.spline, toMm);
      if (!splinePieces(spline, 0.001 / map->stretch(), most, pieces, problem)) return false;
      break;
    }
    case Kind::Insert:
    case Kind::LeftOut:
      break;
  }
  if (!map) {
    problem = kTilted;
    return false;
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
  mapPieces(pieces, *map);
  return true;
}

}  // namespace brevanto::cli::dxf
