#include <windows.h>

#include <filesystem>
#include <string>

#include "platform/file_replace.h"

namespace brevanto {

// Links are left to the system: MoveFileEx replaces the name given.
ProgramTarget inspectTarget(const std::string& path) {
  ProgramTarget target{path, TargetKind::Missing};
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return target;
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    target.kind = TargetKind::Other;
  } else if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    target.kind = TargetKind::ReadOnly;
  } else {
    target.kind = TargetKind::Regular;
  }
  return target;
}

std::string createBeside(const std::string& target) {
  const std::filesystem::path path(target);
  const std::string stem =
      "~" + path.filename().string() + "." + std::to_string(GetCurrentProcessId());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name =
        (path.parent_path() / (stem + "-" + std::to_string(attempt) + ".tmp")).string();
    const HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return name;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return {};
}

// Refused (ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED) while another
// program, a controller's loader say, has the old program open.
bool replaceWith(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void removeFile(const std::string& path) {
  DeleteFileA(path.c_str());
}

}  // namespace brevanto
