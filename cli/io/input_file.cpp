#include "io/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace brevanto::cli {
namespace {

std::string kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "it is a folder, not a file";
  if (S_ISFIFO(mode)) return "it is a FIFO (named pipe), not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
  if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
  return "it is not a regular file";
}

}  // namespace

std::string describeSize(size_t bytes) {
  constexpr size_t kMiB = size_t{1} << 20;
  if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  return std::to_string(bytes) + " bytes";
}

bool readRegularFile(const std::string& path, size_t limit, std::string& bytes,
                     std::string& error) {
  // O_NONBLOCK: opening a FIFO without a writer would otherwise wait forever,
  // before fstat could tell what the path is.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0;
  if (!ok) {
    error = std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    error = kindOf(st.st_mode);
    ok = false;
  } else if (static_cast<unsigned long long>(st.st_size) > limit) {
    error = "it is larger than " + describeSize(limit) + " (" + std::to_string(st.st_size) +
            " bytes), more than the command reads";
    ok = false;
  }
  if (ok) {
    // The size fstat gave, plus one byte to notice a file that grows meanwhile.
    bytes.resize(static_cast<size_t>(st.st_size) + 1);
    size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = std::strerror(errno);
        ok = false;
        break;
      }
      if (n == 0) break;
      got += static_cast<size_t>(n);
    }
    if (ok && got > static_cast<size_t>(st.st_size)) {
      error = "it changed while it was read";
      ok = false;
    }
    bytes.resize(ok ? got : 0);
  }
  ::close(fd);
  return ok;
}

std::string_view foreignFileKind(std::string_view bytes) {
  static constexpr struct {
    std::string_view start;
    std::string_view kind;
  } kKinds[] = {
      {"\x89PNG\r\n\x1A\n", "a PNG image"},
      {"\xFF\xD8\xFF", "a JPEG image"},
      {"GIF8", "a GIF image"},
      {"%PDF-", "a PDF document"},
      {"%!PS", "a PostScript file"},
      {"\x1F\x8B", "a gzip-compressed file (a .svgz? unpack it with gunzip first)"},
      {"PK\x03\x04", "a ZIP archive"},
      {"AutoCAD Binary DXF", "a DXF drawing"},
      {"AC10", "a DWG drawing"},
  };
  for (const auto& k : kKinds) {
    if (bytes.starts_with(k.start)) return k.kind;
  }
  // A text DXF file opens with the group code 0 and SECTION, one a line.
  const auto first = bytes.find_first_not_of(" \t\r\n");
  if (first != std::string_view::npos && bytes.substr(first).starts_with("0")) {
    const auto next = bytes.find_first_not_of(" \t\r\n", first + 1);
    if (next != std::string_view::npos && next > first + 1 &&
        bytes.substr(next).starts_with("SECTION")) {
      return "a DXF drawing";
    }
  }
  return {};
}

}  // namespace brevanto::cli
