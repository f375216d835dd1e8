// The listing: which files land in which table, the df figures, full
// tables, overlong names and the header kept between listings.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "AgentHarness.h"

namespace tevrano::agent_test {
namespace {

class ListingCommand : public AgentTest {
 public:
  void SetUp() override {
    AgentTest::SetUp();
    MakeStickFolders();
    SetDf("/dev/sda1", 1000000, 2500);
  }
  void PutFile(const std::string& rel, size_t size) { WriteFile(rel, Bytes(size, 0x5A)); }
  Listing List() {
    EXPECT_EQ(RunCommand(4), 0);
    return Listing::Decode(Proc("usb_storage_inf"));
  }
  static std::vector<ListedFile> Sorted(std::vector<ListedFile> v) {
    std::sort(v.begin(), v.end(),
              [](const ListedFile& a, const ListedFile& b) { return a.name < b.name; });
    return v;
  }
};

TEST_F(ListingCommand, FilesLandInTheirTablesByTheNameRules) {
  struct Case {
    std::string path;
    size_t size;
    bool listed;
  };
  const Case cases[] = {
      {"mnt/Movie/ch01_20100101_120000.mov", 1, true},
      {"mnt/Movie/ch02_20100101_120000.mov", 0, false},       // empty
      {"mnt/Movie/CH01_20100101_120000.mov", 7, true},        // sorts before "ch"
      {"mnt/Movie/ch01-20100101.mov", 8, true},               // no underscore
      {"mnt/Movie/ch01_2010_0101.mov", 9, true},              // -1 is not above 0
      {"mnt/Movie/ch01_20100101_120000_x.mov", 10, true},     // a fourth underscore: -1
      {"mnt/Movie/zz01_20100101_120000.mov", 11, false},      // sorts after "ch"
      {"mnt/Movie/clip.MOV", 12, false},                      // extensions are case-sensitive
      {"mnt/Movie/ch01_20100101_120000.mov.txt", 13, false},  // the last dot wins
      {"mnt/Movie/ch03_20100101_120000.movie", 14, true},     // three characters count
      {"mnt/Picture/ch01_20100101_120000.jpg", 20, true},
      {"mnt/Picture/ch02_20100101_120000.jpg", 0, false},   // empty
      {"mnt/Picture/CH01_20100101_120000.jpg", 21, false},  // pictures refuse negatives
      {"mnt/Picture/ch01_2010_0101.jpg", 22, false},
      {"mnt/Picture/photo.jpeg", 23, false},                // extension "jpe"
      {"mnt/Picture/ch01_20100101_120001.mov", 24, false},  // a movie among pictures
      {"mnt/fw.rom", 30, true},
  };
  for (const Case& c : cases) PutFile(c.path, c.size);
  MakeDir("mnt/Movie/x.mov");  // directories are skipped
  MakeDir("mnt/Picture/ch09_20100101_120000.jpg");
  MakeDir("mnt/dir.rom");

  Listing l = List();
  std::vector<ListedFile> movies, pictures, roms;
  for (const Case& c : cases) {
    if (!c.listed) continue;
    std::string name = c.path.substr(c.path.rfind('/') + 1);
    ListedFile f{name, static_cast<int32_t>(c.size)};
    if (c.path.starts_with("mnt/Movie/"))
      movies.push_back(f);
    else if (c.path.starts_with("mnt/Picture/"))
      pictures.push_back(f);
    else
      roms.push_back(f);
  }
  EXPECT_EQ(Sorted(l.movies), Sorted(movies));
  EXPECT_EQ(Sorted(l.pictures), Sorted(pictures));
  EXPECT_EQ(l.roms, roms);
  EXPECT_EQ(l.total_kib, 1000000);
  EXPECT_EQ(l.used_kib, 2500);
}

TEST_F(ListingCommand, MovieAndPictureTakeSlotZeroOfTheirOwnTables) {
  PutFile("mnt/Movie/ch01_20100101_120000.mov", 100);
  PutFile("mnt/Picture/ch01_20100101_120000.jpg", 200);
  Listing l = List();
  EXPECT_EQ(l.rom_count, 0);
  ASSERT_EQ(l.movie_count, 1);
  ASSERT_EQ(l.picture_count, 1);
  EXPECT_EQ(l.movies[0], (ListedFile{"ch01_20100101_120000.mov", 100}));
  EXPECT_EQ(l.pictures[0], (ListedFile{"ch01_20100101_120000.jpg", 200}));
}

// Firmware images have no size test: an empty one is listed too.
TEST_F(ListingCommand, EmptyFirmwareImageIsListedWithSizeZero) {
  PutFile("mnt/fw.rom", 0);
  PutFile("mnt/Movie/ch01_20100101_120000.mov", 0);
  Listing l = List();
  EXPECT_EQ(l.rom_count, 1);
  EXPECT_EQ(l.roms, (std::vector<ListedFile>{{"fw.rom", 0}}));
  EXPECT_EQ(l.movie_count, 0);  // movies of 0 bytes are not
}

TEST_F(ListingCommand, StickOfSizeZeroListsNothing) {
  SetDf("/dev/sda1", 0, 0);
  PutFile("mnt/Movie/ch01_20100101_120000.mov", 100);
  PutFile("mnt/fw.rom", 100);
  Listing l = List();
  EXPECT_EQ(l.total_kib, 0);
  EXPECT_EQ(l.rom_count + l.movie_count + l.picture_count, 0);
}

TEST_F(ListingCommand, MissingFolderStillWritesAnEmptyListing) {
  Remove("mnt/Picture");
  PutFile("mnt/Movie/ch01_20100101_120000.mov", 100);
  Listing l = List();
  EXPECT_EQ(l.total_kib, 0);  // a fresh run: the header is still zeros
  EXPECT_EQ(l.rom_count + l.movie_count + l.picture_count, 0);
  EXPECT_TRUE(ToolCalls().empty());
}

// A listing that finds no folders keeps the previous listing's sizes, but
// its counts describe its own (empty) tables.
TEST_F(ListingCommand, ListingAfterTheFoldersVanishedHasNoStaleCounts) {
  PutFile("mnt/Movie/ch01_20100101_120000.mov", 100);
  PutFile("mnt/Picture/ch01_20100101_120000.jpg", 100);
  PutProc("usb_storage_mount", Bytes{'/', 'd', 'e', 'v', '/', 's', 'd', 'a', '1', 0});
  // The stick that gets mounted next carries no folders.
  SetToolAction("mount", "rm -rf \"$USB_AGENT_ROOT/mnt/Movie\" \"$USB_AGENT_ROOT/mnt/Picture\"");
  ScriptedRun run = RunScript({11, 4, 2, 4, 12});
  EXPECT_EQ(run.exit_code, 0);
  Listing l = Listing::Decode(Proc("usb_storage_inf"));
  EXPECT_EQ(l.total_kib, 1000000);
  EXPECT_EQ(l.used_kib, 2500);
  EXPECT_EQ(l.movie_count, 0);
  EXPECT_EQ(l.picture_count, 0);
  EXPECT_EQ(Proc("usb_storage_inf"), [] {
    Bytes expected;
    PutLe32(expected, 1000000);
    PutLe32(expected, 2500);
    expected.resize(3352, 0);
    return expected;
  }());
}

TEST_F(ListingCommand, FullTablesStopFillingAndCountWhatWasListed) {
  std::vector<std::string> movies, pictures;
  for (int i = 0; i < 20; ++i) {
    char name[64];
    snprintf(name, sizeof name, "ch%02d_20100101_120000.mov", i);
    movies.push_back(name);
    PutFile(std::string("mnt/Movie/") + name, 1 + i);
  }
  for (int i = 0; i < 40; ++i) {
    char name[64];
    snprintf(name, sizeof name, "ch%02d_20100101_120000.jpg", i);
    pictures.push_back(name);
    PutFile(std::string("mnt/Picture/") + name, 1 + i);
  }
  for (const char* rom : {"a.rom", "b.rom", "c.rom"}) PutFile(std::string("mnt/") + rom, 3);
  Listing l = List();
  ASSERT_EQ(l.movie_count, 16);
  ASSERT_EQ(l.picture_count, 32);
  ASSERT_EQ(l.rom_count, 1);
  for (const ListedFile& f : l.movies) {
    auto it = std::find(movies.begin(), movies.end(), f.name);
    ASSERT_NE(it, movies.end()) << f.name;
    EXPECT_EQ(f.size, 1 + (it - movies.begin()));
  }
  for (const ListedFile& f : l.pictures)
    EXPECT_NE(std::find(pictures.begin(), pictures.end(), f.name), pictures.end()) << f.name;
  auto sorted = Sorted(l.movies);
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}

TEST_F(ListingCommand, NamesThatDoNotFitThePathOrTheEntryAreSkipped) {
  // "/mnt/Movie/" is 11 characters and a path at most 68: names up to 57.
  std::string stem = "ch01_20100101_120000";
  std::string fits = stem + std::string(57 - stem.size() - 4, 'a') + ".mov";
  std::string too_long = stem + std::string(58 - stem.size() - 4, 'b') + ".mov";
  std::string longer = stem + std::string(70, 'c') + ".mov";
  std::string rom_fits = std::string(59, 'r') + ".rom";  // "/mnt/" + 63
  std::string rom_too_long = std::string(60, 's') + ".rom";
  PutFile("mnt/Movie/" + fits, 5);
  PutFile("mnt/Movie/" + too_long, 6);
  PutFile("mnt/Movie/" + longer, 7);
  PutFile("mnt/" + rom_fits, 8);
  Listing l = List();
  EXPECT_EQ(l.movies, (std::vector<ListedFile>{{fits, 5}}));
  EXPECT_EQ(l.roms, (std::vector<ListedFile>{{rom_fits, 8}}));
  Remove("mnt/" + rom_fits);
  PutFile("mnt/" + rom_too_long, 9);
  EXPECT_EQ(List().rom_count, 0);
}

TEST_F(ListingCommand, FilesOfTwoGibibytesAndMoreAreListedWithTheLargestSize) {
  std::string name = "ch01_20100101_120000.mov";
  int fd = open(At("mnt/Movie/" + name).c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 3LL << 30), 0);  // sparse
  close(fd);
  Listing l = List();
  EXPECT_EQ(l.movies, (std::vector<ListedFile>{{name, INT32_MAX}}));
}

// df's figures come from the columns of its data line; for the recorder's
// usual layout these are the numbers the fixed windows at bytes 87 and 97
// pick, and the columns also hold for long device names and ten digits.
TEST_F(ListingCommand, DfFiguresAreReadByColumn) {
  const std::string header = "Filesystem           1K-blocks      Used Available Use% Mounted on\n";
  struct Case {
    const char* what;
    std::string output;
    int32_t total, used;
  };
  const Case cases[] = {
      {"usual layout", UsualDfOutput("/dev/sda1", 7816228, 123456, "/mnt"), 7816228, 123456},
      {"long device name on a line of its own",
       header + "/dev/disk/by-id/usb-Stick_0123456789-0:0-part1\n"
                "                       7816228    123456   7692772   2% /mnt\n",
       7816228, 123456},
      {"long device name on the data line",
       header + "/dev/disk/by-id/usb-Stick_0123456789-0:0-part1 7816228 123456 7692772 2% /mnt\n",
       7816228, 123456},
      {"ten digits", header + "/dev/sda1            1953513472 987654321 965859151  51% /mnt\n",
       1953513472, 987654321},
      {"beyond 32 bits", header + "/dev/sda1            9999999999 1 9999999998 1% /mnt\n",
       INT32_MAX, 1},
      {"no data line", header, 0, 0},
      {"nothing", "", 0, 0},
  };
  PutFile("mnt/Movie/ch01_20100101_120000.mov", 100);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetDfOutput(c.output);
    Listing l = List();
    EXPECT_EQ(l.total_kib, c.total);
    EXPECT_EQ(l.used_kib, c.used);
    EXPECT_EQ(l.movie_count, c.total ? 1 : 0);
  }
}

}  // namespace
}  // namespace tevrano::agent_test
