#pragma once

#include <string>

namespace brevanto {

// What stands at the place of the program file, links followed.
enum class TargetKind {
  Missing,   // nothing yet
  Regular,   // a file the job may replace
  ReadOnly,  // a file marked read-only: refused, as a shell refuses to write it
  Other,     // a device, a pipe or anything else that is written into, never replaced
};

struct ProgramTarget {
  std::string path;  // where the bytes go: a link's final target, else the path itself
  TargetKind kind = TargetKind::Missing;
};

ProgramTarget inspectTarget(const std::string& path);

// A name for the new program beside `target`, unique among processes and
// attempts; the file is made empty, failing when anything is there already.
// "" when no file can be made there (a read-only folder).
std::string createBeside(const std::string& target);

// Puts `from` in place of `to` in one step (the file's permissions kept on
// POSIX); false when the system refuses, as Windows does while another
// program holds `to` open.
bool replaceWith(const std::string& from, const std::string& to);

void removeFile(const std::string& path);

}  // namespace brevanto
