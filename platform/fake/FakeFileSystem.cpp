#include "platform/fake/FakeFileSystem.h"

#include <algorithm>
#include <cstring>

namespace tevrano::platform {

class FakeFile : public File {
 public:
  FakeFile(FakeFileSystem& owner, std::shared_ptr<std::vector<uint8_t>> bytes, FileMode mode)
      : owner_(owner), bytes_(std::move(bytes)), mode_(mode) {}

  int64_t Read(void* out, size_t count) override {
    if (!open_ || mode_ != FileMode::kRead) return -1;
    std::lock_guard<std::mutex> lock(owner_.mutex_);
    if (position_ >= bytes_->size()) return 0;
    const size_t n = std::min(count, bytes_->size() - static_cast<size_t>(position_));
    if (n) std::memcpy(out, bytes_->data() + position_, n);
    position_ += n;
    return static_cast<int64_t>(n);
  }

  bool Write(const void* bytes, size_t count) override {
    if (!open_ || mode_ == FileMode::kRead) return false;
    std::lock_guard<std::mutex> lock(owner_.mutex_);
    if (owner_.failWrites) {
      failed_ = true;
      return false;
    }
    std::vector<uint8_t>& b = *bytes_;
    if (mode_ == FileMode::kAppend) position_ = b.size();
    if (b.size() < position_ + count) b.resize(position_ + count, 0);
    if (count) std::memcpy(b.data() + position_, bytes, count);
    position_ += count;
    return true;
  }

  bool Seek(int64_t offset) override {
    if (!open_ || offset < 0) return false;
    position_ = static_cast<uint64_t>(offset);
    return true;
  }

  int64_t Size() override {
    if (!open_) return -1;
    std::lock_guard<std::mutex> lock(owner_.mutex_);
    return static_cast<int64_t>(bytes_->size());
  }

  bool Close() override {
    if (!open_) return false;
    open_ = false;
    return !failed_;
  }

 private:
  FakeFileSystem& owner_;
  std::shared_ptr<std::vector<uint8_t>> bytes_;
  FileMode mode_;
  uint64_t position_ = 0;
  bool open_ = true;
  bool failed_ = false;
};

FakeFileSystem::FakeFileSystem() {
  folders_.insert("/");
}

std::string FakeFileSystem::Normal(std::string_view path) {
  std::string out;
  for (char c : path) {
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out.push_back(c);
  }
  if (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

std::string FakeFileSystem::Parent(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::unique_ptr<File> FakeFileSystem::Open(std::string_view path, FileMode mode) {
  const std::string p = Normal(path);
  std::lock_guard<std::mutex> lock(mutex_);
  if (p.empty() || folders_.count(p)) return nullptr;
  auto it = files_.find(p);
  if (mode == FileMode::kRead) {
    if (it == files_.end()) return nullptr;
    return std::make_unique<FakeFile>(*this, it->second, mode);
  }
  if (it == files_.end()) {
    const std::string parent = Parent(p);
    if (parent != "." && !folders_.count(parent)) return nullptr;
    it = files_.emplace(p, std::make_shared<std::vector<uint8_t>>()).first;
  } else if (mode == FileMode::kWrite) {
    // Emptied in place: a file still open elsewhere sees the same bytes.
    it->second->clear();
  }
  return std::make_unique<FakeFile>(*this, it->second, mode);
}

bool FakeFileSystem::ListFolder(std::string_view path, std::vector<FolderEntry>& entries) {
  entries.clear();
  const std::string p = Normal(path);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!folders_.count(p)) return false;
  for (const auto& [name, bytes] : files_)
    if (Parent(name) == p) entries.push_back({name.substr(name.rfind('/') + 1), false});
  for (const std::string& name : folders_)
    if (name != "/" && Parent(name) == p)
      entries.push_back({name.substr(name.rfind('/') + 1), true});
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return true;
}

bool FakeFileSystem::MakeFolder(std::string_view path) {
  const std::string p = Normal(path);
  std::lock_guard<std::mutex> lock(mutex_);
  if (p.empty() || files_.count(p)) return false;
  if (folders_.count(p)) return true;
  const std::string parent = Parent(p);
  if (parent != "." && !folders_.count(parent)) return false;
  folders_.insert(p);
  return true;
}

bool FakeFileSystem::IsFolder(std::string_view path) {
  const std::string p = Normal(path);
  std::lock_guard<std::mutex> lock(mutex_);
  return folders_.count(p) != 0;
}

void FakeFileSystem::AddFolderLocked(const std::string& path) {
  if (path.empty() || path == "." || folders_.count(path)) return;
  AddFolderLocked(Parent(path));
  folders_.insert(path);
}

void FakeFileSystem::AddFolder(std::string_view path) {
  std::lock_guard<std::mutex> lock(mutex_);
  AddFolderLocked(Normal(path));
}

void FakeFileSystem::AddFile(std::string_view path, std::vector<uint8_t> bytes) {
  const std::string p = Normal(path);
  std::lock_guard<std::mutex> lock(mutex_);
  AddFolderLocked(Parent(p));
  files_[p] = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
}

std::optional<std::vector<uint8_t>> FakeFileSystem::Contents(std::string_view path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = files_.find(Normal(path));
  if (it == files_.end()) return std::nullopt;
  return *it->second;
}

bool FakeFileSystem::Exists(std::string_view path) const {
  const std::string p = Normal(path);
  std::lock_guard<std::mutex> lock(mutex_);
  return files_.count(p) || folders_.count(p);
}

}  // namespace tevrano::platform
