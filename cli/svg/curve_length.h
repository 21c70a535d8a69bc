#pragma once

#include "brevanto/brevanto.h"

namespace brevanto::cli {

// Length of the cubic Bezier of `segment` (x0..y3), within `tolerance` of the
// true arc length. The control polygon is split until, piece by piece, the
// gap between polygon and chord (which bracket the arc) is small enough.
double cubicLength(const Segment& segment, double tolerance = 0.001);

// The length a curve's record carries. The job uses it only to choose how
// many samples to take of the curve, which depends on whole millimetres, so
// it is measured only as finely as that choice needs and to a tenth of a
// millimetre or 1 %, whichever is looser; where the bounds cannot settle the
// choice, as cubicLength measures it.
float curveRecordLength(const Segment& segment);

// Straight distance from (x0, y0) to (x3, y3).
double lineLength(const Segment& segment);

}  // namespace brevanto::cli
