// The raw form of the Segment array: 80-byte records back to back,
// little-endian, exactly what a macro passes to sp. One codec for the command
// (reading and --dump-segments) and the test tools; header-only so that test
// programs built without the command can use it too.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brevanto/brevanto.h"

namespace brevanto::cli {

inline constexpr size_t kSegmentRecordSize = 80;

namespace seg_detail {

// Field by field in little-endian order, so the file is the same on every host.
template <class T>
void put(std::string& out, T value) {
  unsigned char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  if constexpr (std::endian::native == std::endian::big) {
    for (size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
  }
  out.append(reinterpret_cast<const char*>(bytes), sizeof(T));
}

template <class T>
T take(const char*& in) {
  unsigned char bytes[sizeof(T)];
  std::memcpy(bytes, in, sizeof(T));
  if constexpr (std::endian::native == std::endian::big) {
    for (size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
  }
  in += sizeof(T);
  T value;
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}

}  // namespace seg_detail

// Decodes the bytes; false (with `error`) when their size is not a whole
// number of records.
inline bool decodeSegments(std::string_view bytes, std::vector<Segment>& out, std::string& error) {
  using seg_detail::take;
  if (bytes.size() % kSegmentRecordSize != 0) {
    error = "not a segment file: its size, " + std::to_string(bytes.size()) +
            " bytes, is not a whole number of 80-byte records";
    return false;
  }
  out.clear();
  out.reserve(bytes.size() / kSegmentRecordSize);
  const char* in = bytes.data();
  for (size_t i = 0; i < bytes.size() / kSegmentRecordSize; ++i) {
    Segment s{};
    for (double* field : {&s.x0, &s.y0, &s.x1, &s.y1, &s.x2, &s.y2, &s.x3, &s.y3}) {
      *field = take<double>(in);
    }
    s.kind = take<int32_t>(in);
    s.length = take<float>(in);
    s.shapeKey = take<int32_t>(in);
    s.colour = take<int32_t>(in);
    out.push_back(s);
  }
  return true;
}

inline std::string encodeSegments(const std::vector<Segment>& segments) {
  using seg_detail::put;
  std::string out;
  out.reserve(segments.size() * kSegmentRecordSize);
  for (const Segment& s : segments) {
    for (double v : {s.x0, s.y0, s.x1, s.y1, s.x2, s.y2, s.x3, s.y3}) put(out, v);
    put(out, s.kind);
    put(out, s.length);
    put(out, s.shapeKey);
    put(out, s.colour);
  }
  return out;
}

}  // namespace brevanto::cli
