// Entries of the stick that are not regular files: a link to a file outside
// the stick, a folder that is a link to a folder outside, a FIFO and a device
// node. Whatever the command, the agent neither follows nor opens them, never
// blocks on them, and leaves them and everything outside the stick as they
// were: write status 1, read status 3, delete removes nothing, the listing
// leaves them out.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "AgentHarness.h"
#include "MovieFile.h"

namespace tevrano::agent_test {
namespace {

enum class Kind { kFileLink, kFolderLink, kFifo, kDeviceNode };

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kFileLink:
      return "file link";
    case Kind::kFolderLink:
      return "folder link";
    case Kind::kFifo:
      return "FIFO";
    case Kind::kDeviceNode:
      return "device node";
  }
  return "?";
}

constexpr const char* kMovie = "ch01_20100101_120000.mov";
constexpr const char* kPicture = "ch01_20100101_120000.jpg";
constexpr const char* kRom = "fw.rom";

class StickEntries : public AgentTest {
 public:
  void SetUp() override {
    AgentTest::SetUp();
    SetDf("/dev/sda1", 1000000, 2500);
    movie_ = BuildMovie(MovieSpec{}).bytes;
  }

  // Lays out the stick afresh: "outside" holds a movie, a picture and a
  // firmware image; the stick's Movie, Picture and root entries of those
  // names are of the kind under test. False when the kind can't be made here.
  bool Arrange(Kind kind) {
    Remove("mnt");
    Remove("outside");
    MakeDir("mnt");
    WriteFile(std::string("outside/") + kMovie, movie_);
    WriteFile(std::string("outside/") + kPicture, Bytes(300, 2));
    WriteFile(std::string("outside/") + kRom, Bytes(400, 3));
    if (kind == Kind::kFolderLink) {
      EXPECT_EQ(symlink(At("outside").c_str(), At("mnt/Movie").c_str()), 0);
      EXPECT_EQ(symlink(At("outside").c_str(), At("mnt/Picture").c_str()), 0);
      WriteFile(std::string("mnt/") + kRom, Bytes(400, 3));  // the listing runs
      return true;
    }
    MakeStickFolders();
    const std::pair<std::string, std::string> entries[] = {
        {std::string("mnt/Movie/") + kMovie, std::string("outside/") + kMovie},
        {std::string("mnt/Picture/") + kPicture, std::string("outside/") + kPicture},
        {std::string("mnt/") + kRom, std::string("outside/") + kRom},
    };
    for (const auto& [entry, target] : entries) {
      const std::string path = At(entry);
      switch (kind) {
        case Kind::kFileLink:
          EXPECT_EQ(symlink(At(target).c_str(), path.c_str()), 0);
          break;
        case Kind::kFifo:
          EXPECT_EQ(mkfifo(path.c_str(), 0666), 0);
          break;
        case Kind::kDeviceNode:
          // The null device's numbers: nothing happens should it be used.
          if (mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
            mknod_error_ = errno;
            return false;
          }
          break;
        case Kind::kFolderLink:
          break;
      }
    }
    return true;
  }

  // The entries are still there, of the same kind, and nothing outside the
  // stick changed.
  void ExpectUntouched(Kind kind) {
    EXPECT_EQ(ReadFile(std::string("outside/") + kMovie), movie_);
    EXPECT_EQ(ReadFile(std::string("outside/") + kPicture), Bytes(300, 2));
    EXPECT_EQ(ReadFile(std::string("outside/") + kRom), Bytes(400, 3));
    struct stat st;
    const std::string movie =
        kind == Kind::kFolderLink ? std::string("mnt/Movie") : std::string("mnt/Movie/") + kMovie;
    ASSERT_EQ(lstat(At(movie).c_str(), &st), 0) << movie;
    switch (kind) {
      case Kind::kFileLink:
      case Kind::kFolderLink:
        EXPECT_TRUE(S_ISLNK(st.st_mode));
        break;
      case Kind::kFifo:
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
        break;
      case Kind::kDeviceNode:
        EXPECT_TRUE(S_ISCHR(st.st_mode));
        break;
    }
  }

  void CheckEveryCommand(Kind kind) {
    SCOPED_TRACE(KindName(kind));
    if (!Arrange(kind)) GTEST_SKIP() << "mknod is not allowed here: " << strerror(mknod_error_);
    PutProc("usb_storage_data", Bytes(1024, 0x77));
    const std::string movie_name = std::string("Movie/") + kMovie;
    struct Write {
      const char* what;
      WriteRequest request;
    };
    const Write writes[] = {
        {"write (closing chunk)",
         {.sectors = 2, .mode = 2, .create = 0, .no_index = 0, .name = movie_name}},
        {"append, create set",
         {.sectors = 2, .mode = 0, .create = 1, .no_index = 1, .name = movie_name}},
        {"append", {.sectors = 2, .mode = 0, .create = 0, .no_index = 0, .name = movie_name}},
    };
    for (const Write& w : writes) {
      SCOPED_TRACE(w.what);
      Arrange(kind);
      PutProc("usb_storage_inf", w.request.Encode());
      ClearProc("usb_storage");
      EXPECT_EQ(RunCommand(5), 0);
      EXPECT_EQ(ProcInt("usb_storage"), 1);
      ExpectUntouched(kind);
    }
    struct Read {
      const char* what;
      ReadRequest request;
    };
    // In the root the firmware image is the entry under test, or for a folder
    // link the movie reached through it.
    const std::string root_name = kind == Kind::kFolderLink ? movie_name : std::string(kRom);
    const Read reads[] = {
        {"read range", {.op = 0, .offset = 0, .length = 100, .name = kMovie}},
        {"read index", {.op = 1, .format_a = 2, .format_b = 1, .name = kMovie}},
        {"read range in the root",
         {.op = 0, .offset = 0, .length = 100, .in_root = 1, .name = root_name}},
    };
    for (const Read& r : reads) {
      SCOPED_TRACE(r.what);
      Arrange(kind);
      ClearProc("usb_storage_data");
      ClearProc("usb_storage_stsz");
      ClearProc("usb_storage_stco");
      PutProc("usb_storage_inf", r.request.Encode());
      ClearProc("usb_storage");
      EXPECT_EQ(RunCommand(6), 0);
      EXPECT_EQ(ProcInt("usb_storage"), 3);
      EXPECT_FALSE(HasProc("usb_storage_data"));
      EXPECT_FALSE(HasProc("usb_storage_stsz"));
      EXPECT_EQ(Proc("usb_storage_inf"), r.request.Encode());  // no index answer
      ExpectUntouched(kind);
    }
    {
      SCOPED_TRACE("delete");
      Arrange(kind);
      Bytes name;
      PutText(name, kMovie, 64);
      PutProc("usb_storage_inf", name);
      EXPECT_EQ(RunCommand(7), 0);
      ExpectUntouched(kind);
    }
    {
      SCOPED_TRACE("list");
      Arrange(kind);
      EXPECT_EQ(RunCommand(4), 0);
      Listing l = Listing::Decode(Proc("usb_storage_inf"));
      EXPECT_EQ(l.movie_count, 0);
      EXPECT_EQ(l.picture_count, 0);
      // Behind a folder link the listing stops before the firmware images
      // too: a Movie or Picture folder that is not a real folder lists nothing.
      EXPECT_EQ(l.rom_count, 0);
      EXPECT_TRUE(l.movies.empty());
      ExpectUntouched(kind);
    }
  }

 private:
  Bytes movie_;
  int mknod_error_ = 0;
};

TEST_F(StickEntries, FileLinkIsNeitherFollowedNorRemoved) {
  CheckEveryCommand(Kind::kFileLink);
}

TEST_F(StickEntries, FolderLinkIsNeitherFollowedNorListed) {
  CheckEveryCommand(Kind::kFolderLink);
}

TEST_F(StickEntries, FifoNeverBlocksTheAgent) {
  CheckEveryCommand(Kind::kFifo);
}

TEST_F(StickEntries, DeviceNodeIsNeitherOpenedNorRemoved) {
  CheckEveryCommand(Kind::kDeviceNode);
}

// A regular file reached the same way is written, read, listed and removed:
// the refusals above come from the kind of entry, not from its place.
TEST_F(StickEntries, RegularFilesInTheSamePlacesAreUsed) {
  MakeStickFolders();
  WriteFile(std::string("mnt/Movie/") + kMovie, BuildMovie(MovieSpec{}).bytes);
  WriteFile(std::string("mnt/Picture/") + kPicture, Bytes(300, 2));
  WriteFile(std::string("mnt/") + kRom, Bytes(400, 3));
  EXPECT_EQ(RunCommand(4), 0);
  Listing l = Listing::Decode(Proc("usb_storage_inf"));
  EXPECT_EQ(l.movie_count, 1);
  EXPECT_EQ(l.picture_count, 1);
  EXPECT_EQ(l.rom_count, 1);

  ReadRequest index{.op = 1, .format_a = 2, .format_b = 1, .name = kMovie};
  PutProc("usb_storage_inf", index.Encode());
  EXPECT_EQ(RunCommand(6), 0);
  EXPECT_EQ(ProcInt("usb_storage"), 4);
  EXPECT_EQ(Proc("usb_storage_inf").size(), 20u);

  WriteRequest append{.sectors = 1, .mode = 0, .create = 0, .no_index = 1, .name = "fw.rom"};
  PutProc("usb_storage_inf", append.Encode());
  PutProc("usb_storage_data", Bytes(512, 9));
  EXPECT_EQ(RunCommand(5), 0);
  EXPECT_EQ(ProcInt("usb_storage"), 2);
  EXPECT_EQ(ReadFile(std::string("mnt/") + kRom).size(), 912u);

  Bytes name;
  PutText(name, kMovie, 64);
  PutProc("usb_storage_inf", name);
  EXPECT_EQ(RunCommand(7), 0);
  EXPECT_FALSE(Exists(std::string("mnt/Movie/") + kMovie));
}

}  // namespace
}  // namespace tevrano::agent_test
