#include "program_moves.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>

namespace brevanto::cli {

double ProgramMove::arcSweep() const {
  const double chord = std::hypot(toX - fromX, toY - fromY);
  const double r = std::fabs(radius);
  if (r == 0.0) return 0.0;
  const double half = std::asin(std::min(1.0, chord / (2.0 * r)));
  const double shorter = 2.0 * half;
  return radius < 0.0 ? 2.0 * std::numbers::pi - shorter : shorter;
}

void ProgramMove::pointAlong(double fraction, double& x, double& y) const {
  if (!isArc() || radius == 0.0) {
    x = fromX + (toX - fromX) * fraction;
    y = fromY + (toY - fromY) * fraction;
    return;
  }
  // The centre lies left of the chord for a short counter-clockwise arc and
  // right of it for a short clockwise one; the long way round swaps sides.
  const double dx = toX - fromX, dy = toY - fromY;
  const double chord = std::hypot(dx, dy);
  const double r = std::fabs(radius);
  const double half = chord / 2.0;
  const double offset = std::sqrt(std::max(0.0, r * r - half * half));
  const bool counterClockwise = kind == Kind::CounterClockwiseArc;
  const double side = (counterClockwise ? 1.0 : -1.0) * (radius < 0.0 ? -1.0 : 1.0);
  const double cx = fromX + dx / 2.0 + (chord > 0.0 ? side * offset * -dy / chord : 0.0);
  const double cy = fromY + dy / 2.0 + (chord > 0.0 ? side * offset * dx / chord : 0.0);
  const double start = std::atan2(fromY - cy, fromX - cx);
  const double angle = start + (counterClockwise ? 1.0 : -1.0) * arcSweep() * fraction;
  x = cx + r * std::cos(angle);
  y = cy + r * std::sin(angle);
}

double ProgramMove::length() const {
  if (isArc()) {
    const double planar = std::fabs(radius) * arcSweep();
    return std::hypot(planar, toZ - fromZ);
  }
  return std::hypot(toX - fromX, toY - fromY, toZ - fromZ);
}

std::vector<ProgramMove> readProgramMoves(std::string_view program) {
  std::vector<ProgramMove> moves;
  double x = 0.0, y = 0.0, z = 0.0, feed = 0.0;
  bool xKnown = false, yKnown = false, zKnown = false;
  int motion = -1;  // modal G0..G3
  int32_t shape = 0;
  size_t start = 0;
  while (start < program.size()) {
    size_t end = program.find('\n', start);
    if (end == std::string_view::npos) end = program.size();
    std::string line(program.substr(start, end - start));
    start = end + 1;
    if (line.find("NEXT SHAPE") != std::string::npos) ++shape;
    if (line.find("HOME POSITION") != std::string::npos) shape = 0;
    // Drop comments.
    for (size_t open = line.find('('); open != std::string::npos; open = line.find('(')) {
      const size_t close = line.find(')', open);
      line.erase(open, close == std::string::npos ? std::string::npos : close - open + 1);
    }
    bool hasX = false, hasY = false, hasZ = false;
    double nx = x, ny = y, nz = z, r = 0.0;
    const char* p = line.c_str();
    while (*p != '\0') {
      const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
      if (letter < 'A' || letter > 'Z') {
        ++p;
        continue;
      }
      char* after = nullptr;
      const double value = std::strtod(p + 1, &after);
      if (after == p + 1) {
        ++p;
        continue;
      }
      p = after;
      switch (letter) {
        case 'G':
          if (value >= 0.0 && value <= 3.0 && value == std::floor(value)) {
            motion = static_cast<int>(value);
          }
          break;
        case 'X':
          nx = value;
          hasX = true;
          break;
        case 'Y':
          ny = value;
          hasY = true;
          break;
        case 'Z':
          nz = value;
          hasZ = true;
          break;
        case 'R':
          r = value;
          break;
        case 'F':
          feed = value;
          break;
        default:
          break;
      }
    }
    if (motion < 0 || !(hasX || hasY || hasZ)) continue;
    ProgramMove m;
    m.kind = motion == 0   ? ProgramMove::Kind::Rapid
             : motion == 1 ? ProgramMove::Kind::Line
             : motion == 2 ? ProgramMove::Kind::ClockwiseArc
                           : ProgramMove::Kind::CounterClockwiseArc;
    m.fromX = x;
    m.fromY = y;
    m.fromZ = z;
    m.toX = nx;
    m.toY = ny;
    m.toZ = nz;
    m.radius = r;
    m.feed = motion == 0 ? 0.0 : feed;
    m.shape = shape;
    m.fromKnown = (xKnown || !hasX) && (yKnown || !hasY) && (zKnown || !hasZ);
    moves.push_back(m);
    x = nx;
    y = ny;
    z = nz;
    xKnown = xKnown || hasX;
    yKnown = yKnown || hasY;
    zKnown = zKnown || hasZ;
  }
  return moves;
}

}  // namespace brevanto::cli
