#include "io/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <random>
#include <utility>

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

// The file a chain of links ends at, a link to nothing included (the file
// is made where it points, and the link kept); the path itself otherwise.
std::string resolvedTarget(const std::string& target) {
  fs::path at(target);
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(at, ec)) break;
    const fs::path next = fs::read_symlink(at, ec);
    if (ec) break;
    at = next.is_absolute() ? next : at.parent_path() / next;
  }
  return at.string();
}

// The staged files of this run, for a signal handler to remove when Ctrl-C,
// a SIGTERM or a closed terminal ends the command half way: a long job would
// otherwise leave a large hidden file beside its target. The handler may
// only unlink paths prepared in advance, then end the command as the signal
// would have.
struct StagedPath {
  char path[4096];
  volatile std::sig_atomic_t armed;
};
StagedPath stagedPaths[8];

extern "C" void removeStagedAndStop(int signal) {
  for (StagedPath& staged : stagedPaths) {
    if (staged.armed != 0) ::unlink(staged.path);
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// The slot that now holds `path`, or -1 when none is free.
int armRemoval(const std::string& path) {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = removeStagedAndStop;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction before {};
      // A signal the command was started to ignore (nohup) stays ignored.
      if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
      ::sigaction(signal, &action, nullptr);
    }
    return true;
  }();
  (void)installed;
  for (int slot = 0; slot < static_cast<int>(std::size(stagedPaths)); ++slot) {
    StagedPath& staged = stagedPaths[slot];
    if (staged.armed != 0 || path.size() >= sizeof staged.path) continue;
    std::memcpy(staged.path, path.c_str(), path.size() + 1);
    staged.armed = 1;
    return slot;
  }
  return -1;
}

void disarmRemoval(int slot) {
  if (slot >= 0) stagedPaths[slot].armed = 0;
}

}  // namespace

StagedFile::~StagedFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  disarmRemoval(removalSlot_);
}

bool StagedFile::open(const std::string& target, std::string& error) {
  target_ = target.empty() ? target : resolvedTarget(target);
  // A device or a pipe (-o /dev/null, a FIFO) cannot be replaced: renaming
  // over it would put a plain file in its place. It gets the bytes written
  // into it at commit, from a scratch file.
  struct stat st {};
  const bool exists = !target_.empty() && ::stat(target_.c_str(), &st) == 0;
  direct_ = exists && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
  // A shell refuses to write over a read-only file; so does the command,
  // though renaming over it would succeed. No write bit at all counts even
  // for the superuser, whom access() lets write anything.
  if (exists && S_ISREG(st.st_mode) &&
      ((st.st_mode & 0222) == 0 || ::access(target_.c_str(), W_OK) != 0)) {
    error = "Permission denied: the file is read-only";
    return false;
  }
  if (target_.empty() || direct_) {
    // An unnamed file of the system's, gone when closed.
    std::FILE* scratch = std::tmpfile();
    if (scratch != nullptr) fd_ = ::dup(::fileno(scratch));
    if (scratch != nullptr) std::fclose(scratch);
    if (fd_ < 0) error = systemError();
    return fd_ >= 0;
  }
  const fs::path path(target_);
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  // A hidden name in the same folder, so the rename never crosses a file
  // system; O_EXCL never reuses a file that someone else made.
  static std::minstd_rand serial{std::random_device{}()};
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temporary_ =
        (folder / ("." + path.filename().string() + "." + std::to_string(serial()) + ".tmp"))
            .string();
    fd_ = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    error = systemError();
    temporary_.clear();
    return false;
  }
  removalSlot_ = armRemoval(temporary_);
  // A file that already exists keeps its permissions.
  if (exists && S_ISREG(st.st_mode)) ::fchmod(fd_, st.st_mode & 07777);
  return true;
}

bool StagedFile::write(std::string_view bytes) {
  if (fd_ < 0 || !writeAll(fd_, bytes)) {
    if (error_.empty()) error_ = fd_ < 0 ? "not open" : systemError();
    return false;
  }
  return true;
}

bool StagedFile::restart() {
  if (fd_ >= 0 && ::ftruncate(fd_, 0) == 0 && ::lseek(fd_, 0, SEEK_SET) == 0) return true;
  if (error_.empty()) error_ = systemError();
  return false;
}

bool StagedFile::commit(std::string& error) {
  if (direct_) {
    const int out = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    bool ok = error_.empty() && out >= 0 && copyTo(out, error_);
    if (!ok && error_.empty()) error_ = systemError();
    if (out >= 0) ::close(out);
    if (!ok) error = error_;
    return ok;
  }
  bool ok = error_.empty() && fd_ >= 0 && ::fsync(fd_) == 0;
  if (!ok && error_.empty()) error_ = systemError();
  if (fd_ >= 0 && ::close(fd_) != 0 && ok) {
    error_ = systemError();
    ok = false;
  }
  fd_ = -1;
  if (ok && ::rename(temporary_.c_str(), target_.c_str()) != 0) {
    error_ = systemError();
    ok = false;
  }
  if (ok) {
    temporary_.clear();  // it is the target now
    disarmRemoval(std::exchange(removalSlot_, -1));
  }
  if (!ok) error = error_;
  return ok;
}

bool StagedFile::copyTo(std::FILE* out, std::string& error) {
  if (std::fflush(out) != 0) {
    error = systemError();
    return false;
  }
  return copyTo(::fileno(out), error);
}

bool StagedFile::readEach(const std::function<bool(std::string_view)>& take) {
  if (fd_ < 0 || ::lseek(fd_, 0, SEEK_SET) != 0) return false;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!take(std::string_view(buffer, static_cast<size_t>(n)))) return false;
  }
}

bool StagedFile::copyTo(int out, std::string& error) {
  if (readEach([out](std::string_view bytes) { return writeAll(out, bytes); })) return true;
  error = systemError();
  return false;
}

bool StagedFile::readAll(std::string& bytes) {
  bytes.clear();
  return readEach([&bytes](std::string_view piece) {
           bytes.append(piece);
           return true;
         }) &&
         ::lseek(fd_, 0, SEEK_END) >= 0;
}

bool replaceFile(const std::string& target, std::string_view bytes, std::string& error) {
  StagedFile file;
  return file.open(target, error) && file.write(bytes) && file.commit(error);
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
