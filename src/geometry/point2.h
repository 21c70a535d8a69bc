#pragma once

namespace brevanto {

// A point in drawing units, which the program treats as millimetres.
struct Point2 {
  double x = 0.0;
  double y = 0.0;
};

}  // namespace brevanto
