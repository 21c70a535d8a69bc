#pragma once

namespace brevanto {

// The precision of the path simplification ("Prezision"), read afresh on
// every call. Text that does not start with a number reads as 0.
double readPrecision();

}  // namespace brevanto
