#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace brevanto::cli {

// A line on standard error that says what the command is doing, for runs
// that take more than a second: "brevanto: making the program... 3 s",
// updated in place. Only where standard error is a terminal (a log file gets
// no carriage returns) and not with -q; the line is wiped when the run moves
// on to its summary or ends.
class ProgressLine {
 public:
  explicit ProgressLine(bool wanted);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // What the command does now; a string literal.
  void stage(const char* what) { stage_.store(what); }
  // Wipes the line and stops updating it.
  void finish();

 private:
  void run();

  std::atomic<const char*> stage_{"starting"};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace brevanto::cli
