#pragma once

#include <cstdint>

#include "brevanto/brevanto.h"

namespace brevanto::test {

inline Segment line(double x0, double y0, double x3, double y3, float length, int32_t shapeKey,
                    int32_t colour = 0, int32_t kind = 0) {
  Segment s{};
  s.x0 = x0;
  s.y0 = y0;
  s.x3 = x3;
  s.y3 = y3;
  s.kind = kind;
  s.length = length;
  s.shapeKey = shapeKey;
  s.colour = colour;
  return s;
}

inline Segment curve(double x0, double y0, double x1, double y1, double x2, double y2, double x3,
                     double y3, float length, int32_t shapeKey, int32_t colour = 0) {
  Segment s{};
  s.x0 = x0;
  s.y0 = y0;
  s.x1 = x1;
  s.y1 = y1;
  s.x2 = x2;
  s.y2 = y2;
  s.x3 = x3;
  s.y3 = y3;
  s.kind = 1;
  s.length = length;
  s.shapeKey = shapeKey;
  s.colour = colour;
  return s;
}

}  // namespace brevanto::test
