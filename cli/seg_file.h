#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "brevanto/brevanto.h"

namespace brevanto::cli {

// The raw form of the Segment array: 80-byte records back to back,
// little-endian, exactly what a macro passes to sp.
inline constexpr size_t kSegmentRecordSize = 80;

// Decodes the bytes; false (with `error`) when their size is not a whole
// number of records.
bool decodeSegments(std::string_view bytes, std::vector<Segment>& out, std::string& error);

std::string encodeSegments(const std::vector<Segment>& segments);

}  // namespace brevanto::cli
