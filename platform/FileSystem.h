#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tevrano::platform {

// How a file is opened.
enum class FileMode {
  kRead,    // an existing file, read from its start
  kWrite,   // created, or emptied when it exists; written from its start
  kAppend,  // created when missing, kept when it exists; every write goes to its end
};

// An open file. One thread uses it at a time; destroying it closes it.
// Positions and sizes are in bytes from the file's start.
class File {
 public:
  virtual ~File() = default;

  // Reads up to `count` bytes from the position on into `out` and moves the
  // position past them. Returns how many were read (0 at or past the end),
  // -1 on an error or when the file was not opened for reading.
  virtual int64_t Read(void* out, size_t count) = 0;
  // Writes all `count` bytes at the position (at the end in kAppend) and
  // moves the position past them; a position past the end first fills the
  // gap with zeros. False when not all were written or the file was opened
  // for reading.
  virtual bool Write(const void* bytes, size_t count) = 0;
  // Moves the position; it may lie past the end. False for a negative
  // offset (the position stays).
  virtual bool Seek(int64_t offset) = 0;
  // The file's size now, -1 on an error.
  virtual int64_t Size() = 0;
  // Closes the file; false when bytes written could not be stored. Every
  // call after it fails.
  virtual bool Close() = 0;
};

// One entry of a folder listing.
struct FolderEntry {
  std::string name;  // the entry's own name, without the folder
  bool folder = false;
};

// The machine's files and folders. Paths are '/'-separated, absolute or
// relative to the process's working folder. Calls may come from any
// thread; each returned File belongs to its caller.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens `path`; null when it is missing (kRead), cannot be made (its
  // folder is missing), is a folder, or access is refused.
  virtual std::unique_ptr<File> Open(std::string_view path, FileMode mode) = 0;
  // The entries of folder `path` without "." and "..", sorted by name.
  // False (and `entries` empty) when `path` is not a readable folder.
  virtual bool ListFolder(std::string_view path, std::vector<FolderEntry>& entries) = 0;
  // Makes folder `path`, whose parent must exist. True when `path` is a
  // folder afterwards (also when it was one already).
  virtual bool MakeFolder(std::string_view path) = 0;
  // True when `path` names an existing folder.
  virtual bool IsFolder(std::string_view path) = 0;
};

enum class ReadFileResult { kOk, kMissing, kTooLarge, kError };

// Reads the whole of `path` into `out` when it holds at most `maxBytes`;
// `out` is left empty otherwise.
inline ReadFileResult ReadWholeFile(FileSystem& files, std::string_view path, size_t maxBytes,
                                    std::vector<uint8_t>& out) {
  out.clear();
  const std::unique_ptr<File> f = files.Open(path, FileMode::kRead);
  if (!f) return ReadFileResult::kMissing;
  const int64_t size = f->Size();
  if (size < 0) return ReadFileResult::kError;
  if (static_cast<uint64_t>(size) > maxBytes) return ReadFileResult::kTooLarge;
  out.resize(static_cast<size_t>(size));
  size_t got = 0;
  while (got < out.size()) {
    const int64_t n = f->Read(out.data() + got, out.size() - got);
    if (n < 0) {
      out.clear();
      return ReadFileResult::kError;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  // A file that shrank while being read is taken as far as it went.
  if (got != out.size()) out.resize(got);
  return ReadFileResult::kOk;
}

// Writes `bytes` as the whole of `path` (created or emptied first).
inline bool WriteWholeFile(FileSystem& files, std::string_view path,
                           std::span<const uint8_t> bytes) {
  const std::unique_ptr<File> f = files.Open(path, FileMode::kWrite);
  if (!f) return false;
  const bool written = f->Write(bytes.data(), bytes.size());
  return f->Close() && written;
}

}  // namespace tevrano::platform
