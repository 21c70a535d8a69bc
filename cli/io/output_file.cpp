#include "io/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace brevanto::cli {
namespace {

namespace fs = std::filesystem;

std::string systemError() {
  return std::strerror(errno);
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// The file a link names, through any number of links; the path itself
// otherwise.
std::string resolvedTarget(const std::string& target) {
  std::error_code ec;
  if (!fs::is_symlink(target, ec)) return target;
  const fs::path resolved = fs::weakly_canonical(target, ec);
  return ec ? target : resolved.string();
}

}  // namespace

bool replaceFile(const std::string& target, std::string_view bytes, std::string& error) {
  const fs::path path = resolvedTarget(target);
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  // A hidden name in the same folder, so the rename never crosses a file
  // system; O_EXCL never reuses a file that someone else made.
  static std::minstd_rand serial{std::random_device{}()};
  int fd = -1;
  std::string temporary;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary =
        (folder / ("." + path.filename().string() + "." + std::to_string(serial()) + ".tmp"))
            .string();
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = systemError();
    return false;
  }
  // A file that already exists keeps its permissions.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd, st.st_mode & 07777);
  bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
  if (!ok) error = systemError();
  if (::close(fd) != 0 && ok) {
    error = systemError();
    ok = false;
  }
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
    error = systemError();
    ok = false;
  }
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

bool samePlace(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) {
    const bool same = fs::equivalent(a, b, ec);
    if (!ec) return same;
  }
  const fs::path ra = fs::weakly_canonical(fs::absolute(a, ec), ec);
  const fs::path rb = fs::weakly_canonical(fs::absolute(b, ec), ec);
  return ra == rb;
}

}  // namespace brevanto::cli
