#pragma once

#include <cstdint>
#include <stdexcept>

#include "brevanto/brevanto.h"

namespace brevanto {

// A job that cannot go on, with the result sp() returns for it and the
// message spLastError() gives. Every failure the job foresees is raised as
// one of these, so the entry maps them by their code, not by guessing from
// standard exception types that any library call might throw.
class JobError : public std::runtime_error {
 public:
  JobError(int32_t code, const std::string& message) : std::runtime_error(message), code_(code) {}
  [[nodiscard]] int32_t code() const { return code_; }

 private:
  int32_t code_;
};

}  // namespace brevanto
