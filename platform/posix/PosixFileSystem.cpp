#include "platform/posix/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tevrano::platform {
namespace {

class PosixFile : public File {
 public:
  PosixFile(int fd, FileMode mode) : fd_(fd), mode_(mode) {}
  ~PosixFile() override { Close(); }

  int64_t Read(void* out, size_t count) override {
    if (fd_ < 0 || mode_ != FileMode::kRead) return -1;
    for (;;) {
      const ssize_t n = ::read(fd_, out, count);
      if (n >= 0) return n;
      if (errno != EINTR) return -1;
    }
  }

  bool Write(const void* bytes, size_t count) override {
    if (fd_ < 0 || mode_ == FileMode::kRead) return false;
    const auto* p = static_cast<const uint8_t*>(bytes);
    while (count > 0) {
      const ssize_t n = ::write(fd_, p, count);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        failed_ = true;
        return false;
      }
      p += n;
      count -= static_cast<size_t>(n);
    }
    return true;
  }

  bool Seek(int64_t offset) override {
    if (fd_ < 0 || offset < 0) return false;
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
  }

  int64_t Size() override {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return st.st_size;
  }

  bool Close() override {
    if (fd_ < 0) return false;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed && !failed_;
  }

 private:
  int fd_;
  FileMode mode_;
  bool failed_ = false;  // a write went wrong: Close() reports it
};

// Paths arrive as views; the calls need terminated strings.
std::string Terminated(std::string_view path) {
  return std::string(path);
}

}  // namespace

std::unique_ptr<File> PosixFileSystem::Open(std::string_view path, FileMode mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case FileMode::kRead:
      flags |= O_RDONLY;
      break;
    case FileMode::kWrite:
      flags |= O_WRONLY | O_CREAT | O_TRUNC;
      break;
    case FileMode::kAppend:
      flags |= O_WRONLY | O_CREAT | O_APPEND;
      break;
  }
  const std::string p = Terminated(path);
  int fd;
  do {
    fd = ::open(p.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return nullptr;
  // A folder opens for reading on Linux; it is not a file.
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd, mode);
}

bool PosixFileSystem::ListFolder(std::string_view path, std::vector<FolderEntry>& entries) {
  entries.clear();
  const std::string p = Terminated(path);
  DIR* dir = ::opendir(p.c_str());
  if (!dir) return false;
  while (const dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    FolderEntry entry{e->d_name, false};
    if (e->d_type == DT_DIR) {
      entry.folder = true;
    } else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      entry.folder = IsFolder(p + "/" + entry.name);
    }
    entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return true;
}

bool PosixFileSystem::MakeFolder(std::string_view path) {
  const std::string p = Terminated(path);
  if (::mkdir(p.c_str(), 0755) == 0) return true;
  return errno == EEXIST && IsFolder(path);
}

bool PosixFileSystem::IsFolder(std::string_view path) {
  const std::string p = Terminated(path);
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace tevrano::platform
