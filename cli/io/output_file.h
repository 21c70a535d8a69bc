#pragma once

#include <string>
#include <string_view>

namespace brevanto::cli {

// Puts `bytes` in place of the file `target` as one step: they are written to
// a new file beside it, flushed to the disk, and renamed over the target only
// when all of it is there. On any failure (a full disk, a kill, a missing
// folder) the target is as it was, a good earlier program included. A
// symbolic link is followed: the file it names is replaced and the link kept.
// False with `error` (the reason, from the system) when it cannot be done.
bool replaceFile(const std::string& target, std::string_view bytes, std::string& error);

// Whether two paths name the same file: the same path, a link to it or a hard
// link (the same device and inode), or, for files that do not exist yet, the
// same place once the folders are resolved.
bool samePlace(const std::string& a, const std::string& b);

}  // namespace brevanto::cli
