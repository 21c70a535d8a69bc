#pragma once

#include <bit>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "brevanto/brevanto.h"

namespace brevanto::test {

// A .seg file is what the calling macro hands to sp(): Segment records of 80
// bytes back to back, little-endian, nothing before, between or after them.
static_assert(std::endian::native == std::endian::little,
              "Segment records are stored little-endian, as in memory here");

inline std::vector<Segment> readSegFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw std::runtime_error("cannot open " + path);
  std::vector<Segment> records;
  Segment record;
  size_t got = 0;
  while ((got = std::fread(&record, 1, sizeof record, file)) == sizeof record) {
    records.push_back(record);
  }
  std::fclose(file);
  if (got != 0) throw std::runtime_error(path + ": size is not a multiple of 80 bytes");
  return records;
}

inline void writeSegFile(const std::string& path, const std::vector<Segment>& records) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot create " + path);
  const size_t written = std::fwrite(records.data(), sizeof(Segment), records.size(), file);
  const bool closed = std::fclose(file) == 0;
  if (written != records.size() || !closed) throw std::runtime_error("cannot write " + path);
}

}  // namespace brevanto::test
