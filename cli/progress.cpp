#include "progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace brevanto::cli {

ProgressLine::ProgressLine(bool wanted) {
  if (wanted && isatty(STDERR_FILENO) == 1) thread_ = std::thread([this] { run(); });
}

ProgressLine::~ProgressLine() {
  finish();
}

void ProgressLine::finish() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ProgressLine::run() {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  bool shown = false;
  std::unique_lock<std::mutex> lock(mutex_);
  // Nothing for the first second: a quick run prints no progress at all.
  while (!wake_.wait_for(lock, std::chrono::milliseconds(shown ? 500 : 1000),
                         [this] { return done_; })) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count();
    std::fprintf(stderr, "\r\033[Kbrevanto: %s... %lld s", stage_.load(),
                 static_cast<long long>(seconds));
    std::fflush(stderr);
    shown = true;
  }
  if (shown) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
}

}  // namespace brevanto::cli
