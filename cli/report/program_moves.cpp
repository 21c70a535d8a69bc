#include "report/program_moves.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>

namespace brevanto::cli {
namespace {

constexpr double kTurn = 2.0 * std::numbers::pi;

// An angle brought into [0, 2π).
double wrapped(double angle) {
  const double a = std::fmod(angle, kTurn);
  return a < 0.0 ? a + kTurn : a;
}

// The number after a word's letter: from_chars does not take a leading '+'.
const char* readNumber(const char* p, const char* end, double& value) {
  const char* first = p < end && *p == '+' ? p + 1 : p;
  const auto [after, error] = std::from_chars(first, end, value);
  return error == std::errc() ? after : p;
}

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace

// Let the chord run from A to B: d = B - A, c = |d|, its middle M = A + d/2.
// The centre is as far from A as from B, so it lies on the line through M
// perpendicular to the chord, at some distance h from M, and the right
// triangle A, M, centre gives (c/2)^2 + h^2 = r^2, so h = sqrt(r^2 - (c/2)^2).
// A radius a little short of half the chord (a half circle whose numbers were
// rounded) leaves no room: h is 0 and the centre is M.
// n = (-dy, dx) / c is the chord's unit normal to the left of travel. An arc
// that turns counter-clockwise about a centre on its left turns left all the
// way and, when the centre is on the left, is the shorter of the two arcs
// through A and B; so a short counter-clockwise arc has its centre at M + h n,
// a short clockwise one at M - h n. A negative R asks for the longer arc,
// whose centre lies on the other side.
PlanePoint arcCentreFromRadius(PlanePoint from, PlanePoint to, double r, bool clockwise) {
  const double dx = to.x - from.x;
  const double dy = to.y - from.y;
  const double chord = std::sqrt(dx * dx + dy * dy);
  const PlanePoint middle{from.x + dx / 2.0, from.y + dy / 2.0};
  if (chord == 0.0) return middle;
  const double half = chord / 2.0;
  const double h = std::sqrt(std::max(0.0, r * r - half * half));
  const double side = (clockwise == (r < 0.0)) ? 1.0 : -1.0;
  return {middle.x - side * h * dy / chord, middle.y + side * h * dx / chord};
}

PlanePoint ProgramMove::pointAlong(double fraction) const {
  if (!curved()) {
    return {fromX + (toX - fromX) * fraction, fromY + (toY - fromY) * fraction};
  }
  const double turn = kind == Kind::CounterClockwiseArc ? sweep : -sweep;
  const double angle = startAngle + turn * fraction;
  return {centreX + radius * std::cos(angle), centreY + radius * std::sin(angle)};
}

// Square roots of sums of squares rather than hypot, whose care against
// overflow costs more than the rest of reading a move; program coordinates
// are far from overflowing.
double ProgramMove::length() const {
  const double dz = toZ - fromZ;
  if (curved()) return std::sqrt(radius * sweep * radius * sweep + dz * dz);
  const double dx = toX - fromX, dy = toY - fromY;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

void PlaneBox::add(double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  minX = std::min(minX, x);
  minY = std::min(minY, y);
  maxX = std::max(maxX, x);
  maxY = std::max(maxY, y);
}

void PlaneBox::add(const ProgramMove& m) {
  add(m.fromX, m.fromY);
  add(m.toX, m.toY);
  if (!m.curved()) return;
  // G02 runs the arc of the same points the other way: from its end.
  const double first =
      m.kind == ProgramMove::Kind::CounterClockwiseArc ? m.startAngle : m.startAngle - m.sweep;
  addArcExtremes({m.centreX, m.centreY}, m.radius, first, m.sweep);
}

void PlaneBox::addArcExtremes(PlanePoint centre, double radius, double first, double sweep) {
  // The arc reaches the circle's extreme in a direction when it passes that
  // quarter's angle.
  for (int quarter = 0; quarter < 4; ++quarter) {
    if (wrapped(quarter * std::numbers::pi / 2.0 - first) <= sweep) {
      const double c = quarter == 0 ? 1.0 : quarter == 2 ? -1.0 : 0.0;
      const double s = quarter == 1 ? 1.0 : quarter == 3 ? -1.0 : 0.0;
      add(centre.x + radius * c, centre.y + radius * s);
    }
  }
}

bool ProgramMoveReader::read(std::string_view line, ProgramMove& m) {
  const char* p = line.data();
  const char* const lineEnd = p + line.size();
  WrittenBlock block;
  while (p < lineEnd) {
    const char c = *p;
    if (c == '(') {
      const char* close = std::find(p, lineEnd, ')');
      const std::string_view comment(p, static_cast<size_t>(close - p));
      if (contains(comment, "NEXT SHAPE")) {
        shapeBegins();
      } else if (contains(comment, "HOME POSITION")) {
        homeBegins();
      }
      p = close == lineEnd ? lineEnd : close + 1;
      continue;
    }
    if (c == ';') break;
    const char letter = static_cast<char>(c & ~0x20);
    if (letter < 'A' || letter > 'Z') {
      ++p;
      continue;
    }
    double value = 0.0;
    const char* after = readNumber(p + 1, lineEnd, value);
    if (after == p + 1) {
      ++p;
      continue;
    }
    p = after;
    switch (letter) {
      case 'G':
        if (value >= 0.0 && value <= 3.0 && value == std::floor(value)) {
          block.motion = static_cast<int8_t>(value);
        }
        break;
      case 'X':
        block.x = value;
        block.hasX = true;
        break;
      case 'Y':
        block.y = value;
        block.hasY = true;
        break;
      case 'Z':
        block.z = value;
        block.hasZ = true;
        break;
      case 'R':
        block.r = value;
        block.hasR = true;
        break;
      case 'I':
        block.i = value;
        block.hasIJ = true;
        break;
      case 'J':
        block.j = value;
        block.hasIJ = true;
        break;
      case 'F':
        block.f = value;
        block.hasF = true;
        break;
      case 'S':
        block.s = value;
        block.hasS = true;
        break;
      default:
        break;
    }
  }
  return apply(block, m);
}

void ProgramMoveReader::shapeBegins() {
  ++shape_;
  pass_ = 0;
}

void ProgramMoveReader::homeBegins() {
  shape_ = 0;
}

bool ProgramMoveReader::apply(const WrittenBlock& block, ProgramMove& m) {
  if (block.motion >= 0) motion_ = block.motion;
  if (block.hasF) feed_ = block.f;
  if (block.hasS && block.motion >= 0) power_ = block.s;
  const bool hasX = block.hasX, hasY = block.hasY, hasZ = block.hasZ;
  const bool hasR = block.hasR, hasIJ = block.hasIJ;
  const double nx = hasX ? block.x : x_, ny = hasY ? block.y : y_, nz = hasZ ? block.z : z_;
  const double r = block.r, i = block.i, j = block.j;
  if (motion_ < 0 || !(hasX || hasY || hasZ)) return false;
  m = ProgramMove{};
  m.kind = static_cast<ProgramMove::Kind>(motion_);
  m.fromX = x_;
  m.fromY = y_;
  m.fromZ = z_;
  m.toX = nx;
  m.toY = ny;
  m.toZ = nz;
  m.feed = motion_ == 0 ? 0.0 : feed_;
  m.power = power_;
  m.shape = shape_;
  m.fromKnown = (xKnown_ || !hasX) && (yKnown_ || !hasY) && (zKnown_ || !hasZ);
  if (m.isPlunge()) ++pass_;
  m.pass = pass_;
  if (m.isArc() && (hasR || hasIJ)) {
    const bool clockwise = m.kind == ProgramMove::Kind::ClockwiseArc;
    const double x = x_, y = y_;
    const PlanePoint centre =
        hasIJ ? PlanePoint{x + i, y + j} : arcCentreFromRadius({x, y}, {nx, ny}, r, clockwise);
    m.centreX = centre.x;
    m.centreY = centre.y;
    m.radius = std::sqrt((x - centre.x) * (x - centre.x) + (y - centre.y) * (y - centre.y));
    m.endRadius = std::sqrt((nx - centre.x) * (nx - centre.x) + (ny - centre.y) * (ny - centre.y));
    m.startAngle = std::atan2(y - centre.y, x - centre.x);
    if (hasIJ) {
      // From the angles: a move back to its start is a whole turn.
      const double endAngle = std::atan2(ny - centre.y, nx - centre.x);
      const double turned = wrapped(clockwise ? m.startAngle - endAngle : endAngle - m.startAngle);
      m.sweep = turned == 0.0 ? kTurn : turned;
    } else if (m.radius > 0.0) {
      // From the chord, as the R word means it: the shorter arc, or the
      // longer one for a negative R.
      const double half = std::sqrt((nx - x) * (nx - x) + (ny - y) * (ny - y)) / 2.0;
      const double shorter = 2.0 * std::asin(std::min(1.0, half / std::fabs(r)));
      m.sweep = r < 0.0 ? kTurn - shorter : shorter;
    }
  }
  x_ = nx;
  y_ = ny;
  z_ = nz;
  xKnown_ = xKnown_ || hasX;
  yKnown_ = yKnown_ || hasY;
  zKnown_ = zKnown_ || hasZ;
  return true;
}

std::vector<ProgramMove> readProgramMoves(std::string_view program) {
  std::vector<ProgramMove> moves;
  // Blocks run 20 to 40 bytes: reserving by size saves the vector's regrowth.
  moves.reserve(program.size() / 32);
  ProgramMoveReader reader;
  ProgramMove move;
  forEachLine(program, [&](std::string_view line) {
    if (reader.read(line, move)) moves.push_back(move);
  });
  return moves;
}

}  // namespace brevanto::cli
