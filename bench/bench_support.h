// What the benchmarks share: a line record of a generated drawing, and the
// wall and thread CPU time of a piece of work.
#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <streambuf>

#include "brevanto/brevanto.h"

namespace brevanto::bench {

inline Segment lineSegment(double x0, double y0, double x3, double y3, int32_t shape) {
  Segment s{};
  s.x0 = x0;
  s.y0 = y0;
  s.x3 = x3;
  s.y3 = y3;
  s.length = static_cast<float>(std::hypot(x3 - x0, y3 - y0));
  s.shapeKey = shape;
  s.colour = 0x0000FF;
  return s;
}

// The arc about (cx, cy) of radius r from angle a0 to a1 (radians) as one
// cubic with handles 4/3 tan(sweep / 4).
inline Segment arcSegment(double cx, double cy, double r, double a0, double a1, int32_t shape) {
  const double h = 4.0 / 3.0 * std::tan((a1 - a0) / 4.0) * r;
  Segment s{};
  s.kind = 1;
  s.x0 = cx + r * std::cos(a0);
  s.y0 = cy + r * std::sin(a0);
  s.x1 = s.x0 - h * std::sin(a0);
  s.y1 = s.y0 + h * std::cos(a0);
  s.x3 = cx + r * std::cos(a1);
  s.y3 = cy + r * std::sin(a1);
  s.x2 = s.x3 + h * std::sin(a1);
  s.y2 = s.y3 - h * std::cos(a1);
  s.length = static_cast<float>(r * std::fabs(a1 - a0));
  s.shapeKey = shape;
  s.colour = 0x0000FF;
  return s;
}

// CPU time of this thread, system time (the writes and flushes) included:
// steadier than wall time on a machine shared with other work.
inline double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Discards the program: a benchmark measures the job, not a disk.
class NullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

struct Spent {
  double wall = 0;
  double cpu = 0;
};

inline void timeInto(Spent& spent, auto&& work) {
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = threadCpuSeconds();
  work();
  spent.cpu += threadCpuSeconds() - cpuStart;
  spent.wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace brevanto::bench
