#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace tevrano::platform {

// Files and folders in memory, with the contract of the real ones. The root
// "/" always exists. Paths are taken as written apart from repeated and
// trailing slashes ("/a//b/" is "/a/b"). Open files share their bytes with
// the store, so a test sees what was written before the file is closed.
class FakeFileSystem : public FileSystem {
 public:
  FakeFileSystem();

  std::unique_ptr<File> Open(std::string_view path, FileMode mode) override;
  bool ListFolder(std::string_view path, std::vector<FolderEntry>& entries) override;
  bool MakeFolder(std::string_view path) override;
  bool IsFolder(std::string_view path) override;

  // Test side. AddFile makes the folders above `path` as needed.
  void AddFile(std::string_view path, std::vector<uint8_t> bytes);
  void AddFolder(std::string_view path);
  std::optional<std::vector<uint8_t>> Contents(std::string_view path) const;
  bool Exists(std::string_view path) const;
  // Every later write fails (a full disk); files still open.
  bool failWrites = false;

  static std::string Normal(std::string_view path);

 private:
  using Bytes = std::shared_ptr<std::vector<uint8_t>>;
  static std::string Parent(const std::string& path);
  void AddFolderLocked(const std::string& path);

  mutable std::mutex mutex_;
  std::map<std::string, Bytes> files_;
  std::set<std::string> folders_;
  friend class FakeFile;
};

}  // namespace tevrano::platform
