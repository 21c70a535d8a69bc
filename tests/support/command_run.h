#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace brevanto::test {

// One run of the built brevanto command.
struct CommandRun {
  int status = -1;  // the exit status; -1 when it did not exit (a signal)
  std::string out;
  std::string err;
};

// Runs the command with the shell in `dir`, with `env` (assignments, or any
// shell text) before it: `arguments` are shell words too.
inline CommandRun runCommand(const TempDir& dir, const std::string& arguments,
                             const std::string& env = "") {
  const std::string out = dir.file("stdout.txt");
  const std::string err = dir.file("stderr.txt");
  const std::string command = "cd '" + dir.path().string() + "' && " + env + " '" +
                              BREVANTO_CLI_EXECUTABLE + "' " + arguments + " >'" + out + "' 2>'" +
                              err + "'";
  const int raw = std::system(command.c_str());
  CommandRun r;
  r.status = WIFEXITED(raw) && WEXITSTATUS(raw) < 128 ? WEXITSTATUS(raw) : -1;
  r.out = readFileBytes(out);
  r.err = readFileBytes(err);
  return r;
}

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The summary's largest deviation in mm; -1 when the summary gives none
// (not measured, or no summary).
inline double deviationOf(const CommandRun& r) {
  const auto at = r.err.find("largest deviation ..");
  if (at == std::string::npos) return -1.0;
  const auto value = r.err.find_first_not_of(". ", at + 18);
  if (value == std::string::npos || r.err[value] < '0' || r.err[value] > '9') return -1.0;
  return std::strtod(r.err.c_str() + value, nullptr);
}

}  // namespace brevanto::test
