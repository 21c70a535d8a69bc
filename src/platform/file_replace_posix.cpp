#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <string>

#include "platform/file_replace.h"

namespace brevanto {
namespace {

namespace fs = std::filesystem;

// The file a chain of links ends at (a link to nothing included: the new
// program is made where it points); the path itself when it is no link.
std::string followLinks(const std::string& path) {
  fs::path at(path);
  for (int hops = 0; hops < 40; ++hops) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(at.c_str(), target, sizeof target - 1);
    if (n < 0) break;
    const fs::path next(std::string(target, static_cast<size_t>(n)));
    at = next.is_absolute() ? next : at.parent_path() / next;
  }
  return at.string();
}

}  // namespace

ProgramTarget inspectTarget(const std::string& path) {
  ProgramTarget target{followLinks(path), TargetKind::Missing};
  struct stat st {};
  if (::stat(target.path.c_str(), &st) != 0) return target;
  if (!S_ISREG(st.st_mode)) {
    target.kind = TargetKind::Other;
  } else if ((st.st_mode & 0222) == 0 || ::access(target.path.c_str(), W_OK) != 0) {
    // No write bit at all counts even for the superuser, whom access() lets
    // write anything: the owner marked the file as not to be changed.
    target.kind = TargetKind::ReadOnly;
  } else {
    target.kind = TargetKind::Regular;
  }
  return target;
}

std::string createBeside(const std::string& target) {
  const fs::path path(target);
  const std::string stem = "." + path.filename().string() + "." + std::to_string(::getpid());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name =
        (path.parent_path() / (stem + "-" + std::to_string(attempt) + ".tmp")).string();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) break;
  }
  return {};
}

bool replaceWith(const std::string& from, const std::string& to) {
  struct stat st {};
  if (::stat(to.c_str(), &st) == 0) ::chmod(from.c_str(), st.st_mode & 07777);
  return ::rename(from.c_str(), to.c_str()) == 0;
}

void removeFile(const std::string& path) {
  ::unlink(path.c_str());
}

}  // namespace brevanto
