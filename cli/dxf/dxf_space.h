#pragma once

#include <optional>

#include "dxf_document.h"
#include "dxf_geometry.h"

namespace brevanto::cli::dxf {

// x' = m x + t in three dimensions: how an entity's own coordinates, or a
// block's, reach world coordinates and then millimetres. Blocks inserted
// in tilted planes, and entities drawn in them, compose in three
// dimensions; what is cut is the result seen from above.
struct Space {
  double m[3][3] = {{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
  double t[3] = {0.0, 0.0, 0.0};

  // This map after `inner`. Each sum runs in the order the plane's own
  // composition (Affine::after) uses, so that maps that keep z to itself
  // give the same numbers to the last bit.
  [[nodiscard]] Space after(const Space& inner) const;
  // A point's place seen from above: its x and y once mapped.
  [[nodiscard]] Point top(const Vec3& p) const;
  // Whether z does not reach x and y: points then map by their x and y.
  [[nodiscard]] bool flat() const { return m[0][2] == 0.0 && m[1][2] == 0.0; }
  // The map of x and y alone (z taken as 0).
  [[nodiscard]] Affine plan() const { return {m[0][0], m[0][1], m[1][0], m[1][1], t[0], t[1]}; }
  // The plane z = `elevation` mapped to world x and y, when the map keeps
  // it parallel to the table; nullopt when it tilts it (a circle there
  // would be seen from above as an ellipse that was never drawn).
  [[nodiscard]] std::optional<Affine> level(double elevation) const;

  [[nodiscard]] static Space scaled(double s);
  // The map taking x, y and z to the three vectors given, then moved by `to`.
  [[nodiscard]] static Space axes(const Vec3& x, const Vec3& y, const Vec3& z, const Vec3& to);
};

// An entity's own coordinate system, the plane of its extrusion direction
// `normal` (by the arbitrary axis rule), to world coordinates: the
// identity for (0,0,1), a mirror in x for (0,0,-1), which CAD programs
// write for mirrored arcs and polylines; the identity for a normal of no
// length.
Space ocs(const Vec3& normal);

}  // namespace brevanto::cli::dxf
