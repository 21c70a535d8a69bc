// Runs one drawing through the library's job, as the golden tests do, for a
// build that has no test framework (the 32-bit x86 build under emulation).
//
//   golden_runner run SEG INI OUT     settings from INI, program into OUT;
//                                     prints "result N" and "error TEXT"
//   golden_runner generate SEED COUNT SEG
//                                     writes a random drawing of COUNT records
//   golden_runner libm X              prints asin, acos and atan of X, exactly
//   golden_runner numbers SEED COUNT  reads COUNT generated settings texts and
//                                     prints each with what the library makes
//                                     of it: "TEXT|BITS LENGTH RANGE"
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <numbers>
#include <string>
#include <vector>

#include "brevanto/brevanto.h"
#include "brevanto/host.h"
#include "support/number_line.h"
#include "support/seg_file.h"

namespace {

constexpr double kPi = std::numbers::pi;

int runCase(const std::string& segPath, const std::string& iniPath, const std::string& outPath) {
  const std::vector<Segment> segments = brevanto::test::readSegFile(segPath);
  brevanto::JobOptions options;
  options.settings = [iniPath](std::string_view name) {
    return brevanto::readSettingsFileValue(iniPath, name);
  };
  options.programPath = outPath;
  const brevanto::JobReport report = brevanto::runJob(segments, options);
  std::printf("result %d\nerror %s\n", static_cast<int>(report.result), report.error.c_str());
  return 0;
}

// splitmix64: integer arithmetic only, so the same seed gives the same
// drawing on every build.
struct Random {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1) with all 53 bits of the fraction used.
  double unit() { return std::ldexp(static_cast<double>(next() >> 11), -53); }
  double between(double low, double high) { return low + (high - low) * unit(); }
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
};

Segment line(double x0, double y0, double x3, double y3) {
  Segment s{};
  s.x0 = x0, s.y0 = y0, s.x3 = x3, s.y3 = y3;
  s.x1 = x0, s.y1 = y0, s.x2 = x3, s.y2 = y3;
  s.length = static_cast<float>(std::hypot(x3 - x0, y3 - y0));
  return s;
}

// Shapes of chained segments that give every joining stage work: lines with
// sharp and with slight bends, cubics that follow a circle (arc fitting and
// arc merging) and free cubics, some shapes closed.
std::vector<Segment> randomDrawing(uint64_t seed, int count) {
  Random random{seed};
  std::vector<Segment> records;
  int32_t shape = 0;
  while (static_cast<int>(records.size()) < count) {
    ++shape;
    const int32_t colour = random.below(3) == 0 ? 0xFF : 0;
    const int pieces = 1 + random.below(30);
    const double startX = random.between(-200, 200);
    const double startY = random.between(-200, 200);
    double x = startX;
    double y = startY;
    double heading = random.between(0, 2 * kPi);
    for (int i = 0; i < pieces && static_cast<int>(records.size()) < count; ++i) {
      Segment s{};
      const int kind = random.below(10);
      if (kind < 3) {  // a line at any angle
        heading = random.between(0, 2 * kPi);
        const double d = random.between(0.01, 40);
        s = line(x, y, x + d * std::cos(heading), y + d * std::sin(heading));
      } else if (kind < 5) {  // a line bending slightly from the last direction
        heading += random.between(-0.01, 0.01);
        const double d = random.between(0.1, 20);
        s = line(x, y, x + d * std::cos(heading), y + d * std::sin(heading));
      } else if (kind < 8) {  // a cubic along a circular arc
        const double radius = random.between(0.5, 60);
        const double sweep = random.between(0.05, kPi / 2) * (random.below(2) ? 1 : -1);
        const double side = sweep > 0 ? kPi / 2 : -kPi / 2;
        const double cx = x + radius * std::cos(heading + side);
        const double cy = y + radius * std::sin(heading + side);
        const double a0 = std::atan2(y - cy, x - cx);
        const double a3 = a0 + sweep;
        const double k = 4.0 / 3.0 * std::tan(sweep / 4) * radius;
        s.x0 = x, s.y0 = y;
        s.x3 = cx + radius * std::cos(a3), s.y3 = cy + radius * std::sin(a3);
        s.x1 = x - k * std::sin(a0), s.y1 = y + k * std::cos(a0);
        s.x2 = s.x3 + k * std::sin(a3), s.y2 = s.y3 - k * std::cos(a3);
        s.kind = 1;
        s.length = static_cast<float>(std::fabs(sweep) * radius);
        heading += sweep;
      } else {  // a free cubic
        s.x0 = x, s.y0 = y;
        s.x1 = x + random.between(-30, 30), s.y1 = y + random.between(-30, 30);
        s.x3 = x + random.between(-40, 40), s.y3 = y + random.between(-40, 40);
        s.x2 = s.x3 + random.between(-30, 30), s.y2 = s.y3 + random.between(-30, 30);
        s.kind = 1;
        s.length = static_cast<float>(random.between(0.5, 120));
        heading = std::atan2(s.y3 - s.y2, s.x3 - s.x2);
      }
      s.shapeKey = shape;
      s.colour = colour;
      records.push_back(s);
      x = s.x3;
      y = s.y3;
    }
    if (pieces > 2 && random.below(2) == 0 && static_cast<int>(records.size()) < count) {
      Segment close = line(x, y, startX, startY);  // back to the start
      close.shapeKey = shape;
      close.colour = colour;
      records.push_back(close);
    }
  }
  return records;
}

// Exact (hexadecimal) and shortest-round-trip values, to compare the math
// libraries of two builds.
int printLibm(double x) {
  const double values[] = {std::asin(x), std::acos(x), std::atan(x)};
  const char* names[] = {"asin", "acos", "atan"};
  for (int i = 0; i < 3; ++i) std::printf("%s %a %.17g\n", names[i], values[i], values[i]);
  return 0;
}

// Texts of number syntax made with integers only, so every build reads the
// same ones: signs, blanks, long decimal digit strings, hexadecimal digits,
// exponents from far below the subnormals to beyond the largest double.
int printNumbers(uint64_t seed, int count) {
  Random random{seed};
  const char* const words[] = {"", " ", "-", "+", "0x", ".", "nan", "inf", "e", "p", "x"};
  for (int i = 0; i < count; ++i) {
    std::string text = words[random.below(5)];
    const bool hex = random.below(2) == 0;
    if (hex) text += "0x";
    for (int n = random.below(hex ? 40 : 400); n > 0; --n) {
      text += (hex ? "0123456789abcdef" : "0123456789")[random.below(hex ? 16 : 10)];
      if (random.below(60) == 0) text += '.';
    }
    text += hex ? "p" : "e";
    text += std::to_string(random.below(1500) - 1150);
    if (random.below(8) == 0) text += words[random.below(11)];
    std::printf("%s\n", brevanto::test::numberLine(text).c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "run" && argc == 5) return runCase(argv[2], argv[3], argv[4]);
    if (command == "generate" && argc == 5) {
      const uint64_t seed = std::strtoull(argv[2], nullptr, 10);
      const int count = std::atoi(argv[3]);
      brevanto::test::writeSegFile(argv[4], randomDrawing(seed, count));
      return 0;
    }
    if (command == "libm" && argc == 3) return printLibm(std::strtod(argv[2], nullptr));
    if (command == "numbers" && argc == 4) {
      return printNumbers(std::strtoull(argv[2], nullptr, 10), std::atoi(argv[3]));
    }
    std::fprintf(stderr,
                 "usage: %s run SEG INI OUT\n"
                 "       %s generate SEED COUNT SEG\n"
                 "       %s libm X\n"
                 "       %s numbers SEED COUNT\n",
                 argv[0], argv[0], argv[0], argv[0]);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "golden_runner: %s\n", e.what());
    return 1;
  }
}
