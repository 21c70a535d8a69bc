#pragma once

// defaultProgramPath() (declared in brevanto/host.h) has one definition per
// platform: output_location_posix.cpp and output_location_windows.cpp.
#include "brevanto/host.h"
