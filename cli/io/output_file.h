#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace brevanto::cli {

// Puts `bytes` in place of the file `target` as one step: they are written to
// a new file beside it, flushed to the disk, and renamed over the target only
// when all of it is there. On any failure (a full disk, a kill, a missing
// folder) the target is as it was, a good earlier program included. A
// symbolic link is followed, to a file that does not exist yet too: the file
// it names is replaced or made, and the link kept. A read-only file is
// refused, as a shell refuses to write it.
// False with `error` (the reason, from the system) when it cannot be done.
bool replaceFile(const std::string& target, std::string_view bytes, std::string& error);

// A file made beside its target and put in place whole (as replaceFile does),
// written piece by piece: a program too large to hold in memory goes to the
// disk as it is made. Until commit, the target is as it was; a file never
// committed is removed. A target that is a device or a pipe (/dev/null, a
// FIFO) is never replaced: it is written at commit.
class StagedFile {
 public:
  StagedFile() = default;
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // An empty target: a scratch file of the system's, for copyTo.
  bool open(const std::string& target, std::string& error);
  // After a failure, write, restart and commit fail, and commit says why.
  bool write(std::string_view bytes);
  bool restart();  // empties the file, to be written again
  // Flushed to the disk and renamed over the target.
  bool commit(std::string& error);
  bool copyTo(std::FILE* out, std::string& error);
  bool copyTo(int out, std::string& error);
  // The whole file, for a second reading; the file stays open for writing.
  bool readAll(std::string& bytes);
  // Why the last write, restart or commit failed; empty when none did.
  [[nodiscard]] const std::string& error() const { return error_; }

 private:
  // Hands the file's bytes, from its start, to `take` piece by piece.
  bool readEach(const std::function<bool(std::string_view)>& take);

  int fd_ = -1;
  bool direct_ = false;  // the target is a device or pipe, written at commit
  std::string target_;
  std::string temporary_;
  int removalSlot_ = -1;  // removed on SIGINT, SIGTERM or SIGHUP while staged
  std::string error_;
};

// Whether two paths name the same file: the same path, a link to it or a hard
// link (the same device and inode), or, for files that do not exist yet, the
// same place once the folders are resolved.
bool samePlace(const std::string& a, const std::string& b);

}  // namespace brevanto::cli
