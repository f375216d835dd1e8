#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/posix/PosixFileSystem.h"

namespace tevrano::platform {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

// The in-memory fake and the POSIX file system keep one contract: every
// test below runs on both, the POSIX one inside a fresh temporary folder.
struct FakeFiles {
  FakeFileSystem files;
  std::string root = "/work";
  FakeFiles() { files.AddFolder(root); }
};

struct DiskFiles {
  PosixFileSystem files;
  std::string root;
  DiskFiles() {
    root = ::testing::TempDir() + "tevrano-files-" + std::to_string(std::random_device{}());
    files.MakeFolder(root);
  }
  ~DiskFiles() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
};

template <typename T>
class FileSystemContract : public ::testing::Test {
 protected:
  T fixture;
  FileSystem& fs = fixture.files;
  std::string Path(std::string_view name) { return fixture.root + "/" + std::string(name); }
  std::vector<uint8_t> Read(std::string_view name) {
    std::vector<uint8_t> out;
    EXPECT_EQ(ReadWholeFile(fs, Path(name), 1 << 20, out), ReadFileResult::kOk);
    return out;
  }
  void Write(std::string_view name, std::string_view text) {
    ASSERT_TRUE(WriteWholeFile(fs, Path(name), Bytes(text)));
  }
};

using Implementations = ::testing::Types<FakeFiles, DiskFiles>;
struct ImplementationName {
  template <typename T>
  static std::string GetName(int) {
    return std::is_same_v<T, FakeFiles> ? "InMemory" : "Posix";
  }
};
TYPED_TEST_SUITE(FileSystemContract, Implementations, ImplementationName);

TYPED_TEST(FileSystemContract, WrittenBytesReadBackWithTheirSize) {
  this->Write("a.bin", "hello");
  auto f = this->fs.Open(this->Path("a.bin"), FileMode::kRead);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Size(), 5);
  char buf[8] = {};
  EXPECT_EQ(f->Read(buf, 3), 3);
  EXPECT_EQ(f->Read(buf + 3, 8), 2);
  EXPECT_EQ(f->Read(buf, 8), 0);  // at the end
  EXPECT_EQ(std::string(buf, 5), "hello");
  EXPECT_TRUE(f->Seek(1));
  EXPECT_EQ(f->Read(buf, 2), 2);
  EXPECT_EQ(std::string(buf, 2), "el");
}

TYPED_TEST(FileSystemContract, WriteEmptiesAndAppendKeeps) {
  this->Write("a.txt", "first text");
  this->Write("a.txt", "new");
  EXPECT_EQ(this->Read("a.txt"), Bytes("new"));
  auto f = this->fs.Open(this->Path("a.txt"), FileMode::kAppend);
  ASSERT_TRUE(f);
  ASSERT_TRUE(f->Seek(0));  // appending ignores the position
  EXPECT_TRUE(f->Write("er", 2));
  EXPECT_TRUE(f->Close());
  EXPECT_EQ(this->Read("a.txt"), Bytes("newer"));
  // Append makes a missing file.
  auto g = this->fs.Open(this->Path("b.txt"), FileMode::kAppend);
  ASSERT_TRUE(g);
  EXPECT_TRUE(g->Write("x", 1));
  g.reset();  // destroying closes
  EXPECT_EQ(this->Read("b.txt"), Bytes("x"));
}

TYPED_TEST(FileSystemContract, SeekPastTheEndReadsNothingAndWritingFillsTheGapWithZeros) {
  auto f = this->fs.Open(this->Path("gap.bin"), FileMode::kWrite);
  ASSERT_TRUE(f);
  EXPECT_TRUE(f->Write("ab", 2));
  EXPECT_TRUE(f->Seek(5));
  EXPECT_TRUE(f->Write("c", 1));
  EXPECT_EQ(f->Size(), 6);
  EXPECT_FALSE(f->Seek(-1));
  EXPECT_TRUE(f->Close());
  EXPECT_EQ(this->Read("gap.bin"), (std::vector<uint8_t>{'a', 'b', 0, 0, 0, 'c'}));
  auto r = this->fs.Open(this->Path("gap.bin"), FileMode::kRead);
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->Seek(100));
  char c;
  EXPECT_EQ(r->Read(&c, 1), 0);
}

TYPED_TEST(FileSystemContract, CallsAgainstTheModeOrAfterCloseFail) {
  this->Write("f.txt", "abc");
  auto r = this->fs.Open(this->Path("f.txt"), FileMode::kRead);
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->Write("x", 1));
  auto w = this->fs.Open(this->Path("g.txt"), FileMode::kWrite);
  ASSERT_TRUE(w);
  char c;
  EXPECT_EQ(w->Read(&c, 1), -1);
  EXPECT_TRUE(w->Close());
  EXPECT_FALSE(w->Close());
  EXPECT_FALSE(w->Write("x", 1));
  EXPECT_FALSE(w->Seek(0));
  EXPECT_EQ(w->Size(), -1);
  EXPECT_TRUE(r->Close());
  EXPECT_EQ(r->Read(&c, 1), -1);
}

TYPED_TEST(FileSystemContract, WhatCannotBeOpened) {
  this->fs.MakeFolder(this->Path("dir"));
  struct Case {
    const char* what;
    std::string path;
    FileMode mode;
  } cases[] = {
      {"missing", this->Path("none.txt"), FileMode::kRead},
      {"folder missing", this->Path("nodir/new.txt"), FileMode::kWrite},
      {"folder missing, append", this->Path("nodir/new.txt"), FileMode::kAppend},
      {"a folder", this->Path("dir"), FileMode::kRead},
      {"a folder for writing", this->Path("dir"), FileMode::kWrite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(this->fs.Open(c.path, c.mode));
  }
  std::vector<uint8_t> out{1};
  EXPECT_EQ(ReadWholeFile(this->fs, this->Path("none.txt"), 10, out), ReadFileResult::kMissing);
  EXPECT_TRUE(out.empty());
}

TYPED_TEST(FileSystemContract, ReadWholeFileRefusesAFileLargerThanAsked) {
  this->Write("big.bin", "0123456789");
  std::vector<uint8_t> out;
  EXPECT_EQ(ReadWholeFile(this->fs, this->Path("big.bin"), 9, out), ReadFileResult::kTooLarge);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(ReadWholeFile(this->fs, this->Path("big.bin"), 10, out), ReadFileResult::kOk);
  EXPECT_EQ(out.size(), 10u);
}

TYPED_TEST(FileSystemContract, FoldersAreMadeListedSortedAndRecognised) {
  FileSystem& fs = this->fs;
  EXPECT_TRUE(fs.MakeFolder(this->Path("sub")));
  EXPECT_TRUE(fs.MakeFolder(this->Path("sub")));  // already there
  EXPECT_FALSE(fs.MakeFolder(this->Path("no/such")));
  this->Write("b.txt", "b");
  this->Write("a.txt", "a");
  this->Write("sub/inner.txt", "i");
  EXPECT_FALSE(fs.MakeFolder(this->Path("a.txt")));  // a file has that name

  std::vector<FolderEntry> entries;
  ASSERT_TRUE(fs.ListFolder(this->fixture.root, entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "a.txt");
  EXPECT_FALSE(entries[0].folder);
  EXPECT_EQ(entries[1].name, "b.txt");
  EXPECT_EQ(entries[2].name, "sub");
  EXPECT_TRUE(entries[2].folder);
  ASSERT_TRUE(fs.ListFolder(this->Path("sub/"), entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "inner.txt");
  EXPECT_FALSE(fs.ListFolder(this->Path("a.txt"), entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(fs.ListFolder(this->Path("none"), entries));

  EXPECT_TRUE(fs.IsFolder(this->fixture.root));
  EXPECT_TRUE(fs.IsFolder(this->Path("sub")));
  EXPECT_FALSE(fs.IsFolder(this->Path("a.txt")));
  EXPECT_FALSE(fs.IsFolder(this->Path("none")));
}

TEST(FakeFileSystem, AFullDiskFailsTheWriteAndTheClose) {
  FakeFileSystem fs;
  auto f = fs.Open("/movie.bin", FileMode::kWrite);
  ASSERT_TRUE(f);
  EXPECT_TRUE(f->Write("ab", 2));
  fs.failWrites = true;
  EXPECT_FALSE(f->Write("cd", 2));
  EXPECT_FALSE(f->Close());
  EXPECT_EQ(fs.Contents("/movie.bin"), Bytes("ab"));
  EXPECT_FALSE(WriteWholeFile(fs, "/other.bin", Bytes("x")));
}

TEST(FakeFileSystem, AddedFilesBringTheirFoldersAndPathsAreNormalised) {
  FakeFileSystem fs;
  fs.AddFile("/data//skins/a.YUV2", Bytes("skin"));
  EXPECT_TRUE(fs.IsFolder("/data"));
  EXPECT_TRUE(fs.IsFolder("/data/skins/"));
  std::vector<uint8_t> out;
  EXPECT_EQ(ReadWholeFile(fs, "/data/skins/a.YUV2", 100, out), ReadFileResult::kOk);
  EXPECT_EQ(out, Bytes("skin"));
  EXPECT_FALSE(fs.Contents("/data/skins/b.YUV2"));
}

}  // namespace
}  // namespace tevrano::platform
