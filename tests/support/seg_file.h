#pragma once

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "../../cli/seg_file.h"
#include "brevanto/brevanto.h"
#include "support/temp_dir.h"

namespace brevanto::test {

// A .seg file is what the calling macro hands to sp(): Segment records of 80
// bytes back to back, little-endian, nothing before, between or after them.
// Read and written with the command's codec.
inline std::vector<Segment> readSegFile(const std::string& path) {
  if (!std::ifstream(path, std::ios::binary)) throw std::runtime_error("cannot open " + path);
  std::vector<Segment> records;
  std::string error;
  if (!cli::decodeSegments(readFileBytes(path), records, error)) {
    throw std::runtime_error(path + ": " + error);
  }
  return records;
}

inline void writeSegFile(const std::string& path, const std::vector<Segment>& records) {
  if (!writeFileBytes(path, cli::encodeSegments(records))) {
    throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace brevanto::test
