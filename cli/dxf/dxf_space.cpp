#include "dxf_space.h"

#include <cmath>

namespace brevanto::cli::dxf {

Space Space::after(const Space& inner) const {
  Space r;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      r.m[i][j] = m[i][0] * inner.m[0][j] + m[i][1] * inner.m[1][j] + m[i][2] * inner.m[2][j];
    }
    r.t[i] = m[i][0] * inner.t[0] + m[i][1] * inner.t[1] + m[i][2] * inner.t[2] + t[i];
  }
  return r;
}

Point Space::top(const Vec3& p) const {
  return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + t[0],
          m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + t[1]};
}

std::optional<Affine> Space::level(double elevation) const {
  // The plane's x and y axes must keep z, within a tilt of 10^-6 (a
  // normal written in single precision, say): seen from above such a plane
  // shrinks by 5 parts in 10^13, nothing on any table, and the outline is
  // cut as seen from above.
  for (int j = 0; j < 2; ++j) {
    const double length = std::fabs(m[0][j]) + std::fabs(m[1][j]) + std::fabs(m[2][j]);
    if (!(std::fabs(m[2][j]) <= 1e-6 * length)) return std::nullopt;
  }
  return Affine{
      m[0][0], m[0][1], m[1][0], m[1][1], m[0][2] * elevation + t[0], m[1][2] * elevation + t[1]};
}

Space Space::scaled(double s) {
  Space r;
  for (int i = 0; i < 3; ++i) r.m[i][i] = s;
  return r;
}

Space Space::axes(const Vec3& x, const Vec3& y, const Vec3& z, const Vec3& to) {
  return {{{x.x, y.x, z.x}, {x.y, y.y, z.y}, {x.z, y.z, z.z}}, {to.x, to.y, to.z}};
}

Space ocs(const Vec3& normal) {
  const double len = std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
  Space r;
  if (!(len > 0.0) || !std::isfinite(len)) return r;
  const Vec3 n{normal.x / len, normal.y / len, normal.z / len};
  if (n.x == 0.0 && n.y == 0.0) {
    if (n.z < 0.0) r.m[0][0] = r.m[2][2] = -1.0;
    return r;
  }
  // The arbitrary axis rule: the plane's x axis is world y (or z, for a
  // normal close to the z axis) crossed with the normal; its y axis is the
  // normal crossed with that.
  const bool nearZ = std::fabs(n.x) < 1.0 / 64.0 && std::fabs(n.y) < 1.0 / 64.0;
  Vec3 ax = nearZ ? Vec3{n.z, 0.0, -n.x} : Vec3{-n.y, n.x, 0.0};
  const double axLen = std::sqrt(ax.x * ax.x + ax.y * ax.y + ax.z * ax.z);
  ax = {ax.x / axLen, ax.y / axLen, ax.z / axLen};
  const Vec3 ay{n.y * ax.z - n.z * ax.y, n.z * ax.x - n.x * ax.z, n.x * ax.y - n.y * ax.x};
  return Space::axes(ax, ay, n, {});
}

}  // namespace brevanto::cli::dxf
