#include "path_commands.h"

#include <cmath>
#include <optional>

#include "elliptical_arc.h"

namespace brevanto::cli {
namespace {

struct Direction {
  double dx, dy;
};

std::optional<Direction> between(double x0, double y0, double x1, double y1) {
  if (x0 == x1 && y0 == y1) return std::nullopt;
  return Direction{x1 - x0, y1 - y0};
}

// The first of the candidate directions that is not zero.
std::optional<Direction> firstOf(std::initializer_list<std::optional<Direction>> candidates) {
  for (const auto& c : candidates) {
    if (c) return c;
  }
  return std::nullopt;
}

// Directions at both ends of a cubic, looking past control points that sit
// on the end point.
void cubicEnds(double x0, double y0, double x1, double y1, double x2, double y2, double x3,
               double y3, std::optional<Direction>& start, std::optional<Direction>& end) {
  start = firstOf({between(x0, y0, x1, y1), between(x0, y0, x2, y2), between(x0, y0, x3, y3)});
  end = firstOf({between(x2, y2, x3, y3), between(x1, y1, x3, y3), between(x0, y0, x3, y3)});
}

double angleOf(const std::optional<Direction>& in, const std::optional<Direction>& out) {
  if (in && out) {
    const double a = std::atan2(in->dy, in->dx);
    const double b = std::atan2(out->dy, out->dx);
    return std::atan2(std::sin(a) + std::sin(b), std::cos(a) + std::cos(b));
  }
  if (in) return std::atan2(in->dy, in->dx);
  if (out) return std::atan2(out->dy, out->dx);
  return 0.0;
}

}  // namespace

std::vector<MarkerVertex> markerVertices(const std::vector<PathCommand>& path) {
  struct Vertex {
    double x, y;
    std::optional<Direction> in, out;
  };
  std::vector<Vertex> vertices;
  double x = 0.0, y = 0.0, startX = 0.0, startY = 0.0;
  size_t subpathVertex = 0;
  std::optional<Direction> firstOut;  // the current subpath's first direction
  // A segment from the current point: the last vertex's outgoing direction,
  // and a new vertex at its end with its incoming one.
  auto segment = [&](double toX, double toY, std::optional<Direction> startDir,
                     std::optional<Direction> endDir) {
    if (vertices.empty()) vertices.push_back({x, y, std::nullopt, std::nullopt});
    if (!vertices.back().out) vertices.back().out = startDir;
    if (!firstOut) firstOut = startDir;
    vertices.push_back({toX, toY, endDir, std::nullopt});
    x = toX;
    y = toY;
  };
  for (const PathCommand& c : path) {
    const auto& v = c.v;
    switch (c.kind) {
      case PathCommand::Move:
        x = startX = v[0];
        y = startY = v[1];
        subpathVertex = vertices.size();
        firstOut.reset();
        vertices.push_back({x, y, std::nullopt, std::nullopt});
        break;
      case PathCommand::Line: {
        const auto d = between(x, y, v[0], v[1]);
        segment(v[0], v[1], d, d);
        break;
      }
      case PathCommand::Cubic: {
        std::optional<Direction> start, end;
        cubicEnds(x, y, v[0], v[1], v[2], v[3], v[4], v[5], start, end);
        segment(v[4], v[5], start, end);
        break;
      }
      case PathCommand::Arc: {
        const ArcOutline arc =
            ellipticalArc(x, y, v[0], v[1], v[2], v[3] != 0.0, v[4] != 0.0, v[5], v[6]);
        std::optional<Direction> start, end;
        if (arc.kind == ArcOutline::Kind::Cubics) {
          const ArcCubic& first = arc.cubics.front();
          const ArcCubic& last = arc.cubics.back();
          const double lastX = arc.cubics.size() > 1 ? arc.cubics[arc.cubics.size() - 2].x : x;
          const double lastY = arc.cubics.size() > 1 ? arc.cubics[arc.cubics.size() - 2].y : y;
          std::optional<Direction> ignored;
          cubicEnds(x, y, first.x1, first.y1, first.x2, first.y2, first.x, first.y, start, ignored);
          cubicEnds(lastX, lastY, last.x1, last.y1, last.x2, last.y2, last.x, last.y, ignored, end);
        } else {
          start = end = between(x, y, v[5], v[6]);
        }
        segment(v[5], v[6], start, end);
        break;
      }
      case PathCommand::Close: {
        if (vertices.empty()) break;
        const auto closing = between(x, y, startX, startY);
        if (closing) {
          segment(startX, startY, closing, closing);
        } else {
          vertices.back().x = startX;
          vertices.back().y = startY;
        }
        // A closed subpath turns at its start: in along its last segment,
        // out along its first.
        vertices.back().out = firstOut;
        if (subpathVertex < vertices.size()) vertices[subpathVertex].in = vertices.back().in;
        x = startX;
        y = startY;
        break;
      }
    }
  }
  std::vector<MarkerVertex> out;
  out.reserve(vertices.size());
  for (size_t i = 0; i < vertices.size(); ++i) {
    const Vertex& w = vertices[i];
    const auto role = i == 0                     ? MarkerVertex::Start
                      : i + 1 == vertices.size() ? MarkerVertex::End
                                                 : MarkerVertex::Mid;
    // The path's ends look along the path only: in at the end, out at the start.
    const double angle = role == MarkerVertex::Start ? angleOf(std::nullopt, w.out)
                         : role == MarkerVertex::End ? angleOf(w.in, std::nullopt)
                                                     : angleOf(w.in, w.out);
    out.push_back({role, w.x, w.y, angle});
  }
  return out;
}

}  // namespace brevanto::cli
