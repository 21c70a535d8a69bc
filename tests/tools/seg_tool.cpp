// Converts Segment record files (.seg) to and from text, one record a line:
//   kind x0 y0 x1 y1 x2 y2 x3 y3 length shapeKey colour
// Lines that are blank or start with '#' are skipped on input.
//   seg_tool dump FILE.seg          prints the records
//   seg_tool make FILE.seg < TEXT   writes the records read from standard input
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/seg_file.h"

namespace {

int dump(const std::string& path) {
  for (const Segment& s : brevanto::test::readSegFile(path)) {
    std::printf("%d %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.9g %d %d\n", s.kind, s.x0,
                s.y0, s.x1, s.y1, s.x2, s.y2, s.x3, s.y3, static_cast<double>(s.length), s.shapeKey,
                s.colour);
  }
  return 0;
}

int make(const std::string& path) {
  std::vector<Segment> records;
  std::string line;
  for (int number = 1; std::getline(std::cin, line); ++number) {
    if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#') continue;
    std::istringstream fields(line);
    fields.imbue(std::locale::classic());
    Segment s{};
    double length = 0.0;
    if (!(fields >> s.kind >> s.x0 >> s.y0 >> s.x1 >> s.y1 >> s.x2 >> s.y2 >> s.x3 >> s.y3 >>
          length >> s.shapeKey >> s.colour)) {
      std::fprintf(stderr, "line %d: expected 12 fields\n", number);
      return 1;
    }
    s.length = static_cast<float>(length);
    records.push_back(s);
  }
  brevanto::test::writeSegFile(path, records);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "dump") != 0 && std::strcmp(argv[1], "make") != 0)) {
    std::fprintf(stderr, "usage: seg_tool dump FILE.seg | seg_tool make FILE.seg < TEXT\n");
    return 2;
  }
  try {
    return std::strcmp(argv[1], "dump") == 0 ? dump(argv[2]) : make(argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "seg_tool: %s\n", e.what());
    return 1;
  }
}
