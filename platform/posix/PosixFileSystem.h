#pragma once
#include "platform/FileSystem.h"

namespace tevrano::platform {

// Files and folders through the POSIX calls (open, read, write, lseek,
// fstat, opendir, mkdir, stat). Shared by every host on a POSIX system and
// by tests that need the real disk. Holds no state of its own.
class PosixFileSystem : public FileSystem {
 public:
  std::unique_ptr<File> Open(std::string_view path, FileMode mode) override;
  bool ListFolder(std::string_view path, std::vector<FolderEntry>& entries) override;
  bool MakeFolder(std::string_view path) override;
  bool IsFolder(std::string_view path) override;
};

}  // namespace tevrano::platform
