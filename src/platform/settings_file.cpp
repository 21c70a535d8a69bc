#include "platform/settings_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace brevanto {
namespace {

// The registry reads a value into 255 bytes, its NUL included.
constexpr size_t kLongestValue = 254;

std::string_view trimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// A settings file holds a few short lines; anything larger is not one.
constexpr std::uintmax_t kLargestFile = 1 << 20;

// The file's bytes; "" when it is missing or unreadable (a folder, no
// permission), not a plain file (a FIFO would block the job, and with it
// every other caller, forever; a device such as /dev/zero never ends), or
// larger than kLargestFile. The C streams report a read error instead of
// throwing it.
std::string readWholeFile(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (error || !std::filesystem::is_regular_file(status)) return {};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return {};
  std::string content;
  char chunk[4096];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 && content.size() <= kLargestFile) {
    content.append(chunk, got);
  }
  const bool failed = std::ferror(file) != 0 || content.size() > kLargestFile;
  std::fclose(file);
  return failed ? std::string() : content;
}

const char* nonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

std::string readSettingsFileValue(const std::string& path, std::string_view name) {
  const std::string content = readWholeFile(path);

  std::string_view found;
  std::string_view all(content);
  // Only the lines before any section, or under [CNC], are the job's: the
  // command's [operation NAME] sections hold values of their own.
  bool inBase = true;
  // A byte-order mark, which Windows editors put before UTF-8 text, is not
  // part of the first name.
  if (all.starts_with("\xEF\xBB\xBF")) all.remove_prefix(3);
  for (size_t start = 0; start < all.size();) {
    size_t end = all.find('\n', start);
    if (end == std::string_view::npos) end = all.size();
    std::string_view line = all.substr(start, end - start);
    start = end + 1;

    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.front() == '[') {
      const size_t close = line.find(']');
      const std::string_view section =
          trimBlanks(line.substr(1, close == line.npos ? line.npos : close - 1));
      inBase = section.size() == 3 && (section[0] | 0x20) == 'c' && (section[1] | 0x20) == 'n' &&
               (section[2] | 0x20) == 'c';
      continue;
    }
    if (!inBase || line.empty() || line.front() == '#' || line.front() == ';') continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (trimBlanks(line.substr(0, equals)) == name) found = line.substr(equals + 1);
  }
  if (found.size() > kLongestValue) return {};
  return std::string(found);
}

std::string defaultSettingsFilePath() {
  if (const char* file = nonEmptyEnv("BREVANTO_SETTINGS")) return file;
  if (const char* config = nonEmptyEnv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
    return std::string(config) + "/brevanto/CNC.ini";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.config/brevanto/CNC.ini";
}

}  // namespace brevanto
