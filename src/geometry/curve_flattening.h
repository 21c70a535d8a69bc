#pragma once

#include <cstdint>
#include <vector>

#include "brevanto/brevanto.h"
#include "geometry/path_element.h"
#include "geometry/point2.h"

namespace brevanto {

// Number of parameter steps a curve of the given measured length is cut into:
// even and between 2 and 120 for every length from 0 up; negative for a
// length of -1 or less, of 2^31 or more, or NaN (such a curve gives nothing).
int32_t SubdivisionCount(float length);

// Point of the cubic Bezier of `segment` at parameter t.
Point2 curvePoint(const Segment& segment, double t);

// Appends the SubdivisionCount/2 arcs (lines, where a triple of samples is
// nearly straight) that approximate the curve of `segment`, from its start
// towards its end. shapeKey and colourIndex of the new elements are 0.
void CurveFlattening(const Segment& segment, std::vector<PathElement>& out);

// About how far the arcs CurveFlattening makes of the curve of `segment`
// stray from it (mm): its distance from each arc halfway between the
// samples the arc passes through. 0 for a line. A job that joins those arcs
// strays at least about this far whatever its precision.
double flatteningStray(const Segment& segment);

}  // namespace brevanto
