// The write command: chunk limits, appends and rewrites, the movie index
// fix-up after the closing chunk, and the names and data it refuses.
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "AgentHarness.h"
#include "MovieFile.h"

namespace tevrano::agent_test {
namespace {

class WriteCommand : public AgentTest {
 public:
  void SetUp() override {
    AgentTest::SetUp();
    MakeStickFolders();
  }
  static Bytes Chunk(int32_t sectors, uint8_t seed) {
    Bytes b(static_cast<size_t>(sectors) * 512);
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(seed + i * 13);
    return b;
  }
  // Puts the request and its data in place, runs command 5, returns the status.
  int32_t Write(const WriteRequest& request, const Bytes& data) {
    PutProc("usb_storage_inf", request.Encode());
    PutProc("usb_storage_data", data);
    ClearProc("usb_storage");
    EXPECT_EQ(RunCommand(5), 0);
    return ProcInt("usb_storage");
  }
  int64_t SizeOf(const std::string& rel) {
    struct stat st;
    return stat(At(rel).c_str(), &st) == 0 ? st.st_size : -1;
  }
};

TEST_F(WriteCommand, ChunkSizesFromOneTo527SectorsAreTaken) {
  struct Case {
    int32_t sectors;
    int32_t status;
  };
  const Case cases[] = {{527, 2}, {1, 2}, {528, 5}, {0, 5}, {-1, 5}, {INT32_MIN, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sectors);
    Remove("mnt/Movie/a.bin");
    WriteRequest r{
        .sectors = c.sectors, .mode = 0, .create = 1, .no_index = 1, .name = "Movie/a.bin"};
    Bytes data = Chunk(c.sectors > 0 ? std::min(c.sectors, 528) : 1, 1);
    EXPECT_EQ(Write(r, data), c.status);
    if (c.status == 2)
      EXPECT_EQ(ReadFile("mnt/Movie/a.bin"), data);
    else
      EXPECT_FALSE(Exists("mnt/Movie/a.bin"));
  }
}

TEST_F(WriteCommand, TwoAppendedOneSectorChunksMakeOneKibibyte) {
  Bytes first = Chunk(1, 1), second = Chunk(1, 2);
  WriteRequest r{.sectors = 1, .mode = 0, .create = 1, .no_index = 0, .name = "Movie/m.mov"};
  EXPECT_EQ(Write(r, first), 2);
  r.create = 0;
  EXPECT_EQ(Write(r, second), 2);
  Bytes both = first;
  both.insert(both.end(), second.begin(), second.end());
  EXPECT_EQ(ReadFile("mnt/Movie/m.mov"), both);
  EXPECT_TRUE(ToolCalls().empty());  // movie chunks are not flushed one by one
}

TEST_F(WriteCommand, CreateRemovesTheOldFileAndNoIndexFlushes) {
  WriteFile("mnt/Picture/p.jpg", Bytes(5000, 1));
  WriteRequest r{.sectors = 1, .mode = 0, .create = 1, .no_index = 1, .name = "Picture/p.jpg"};
  EXPECT_EQ(Write(r, Chunk(1, 9)), 2);
  EXPECT_EQ(ReadFile("mnt/Picture/p.jpg"), Chunk(1, 9));
  EXPECT_EQ(ToolCalls(), std::vector<std::string>{"sync"});
}

TEST_F(WriteCommand, RewriteOfAMissingFileGivesOneAndCreatesNothing) {
  WriteRequest r{.sectors = 1, .mode = 2, .create = 0, .no_index = 0, .name = "Movie/none.mov"};
  EXPECT_EQ(Write(r, Chunk(1, 3)), 1);
  EXPECT_FALSE(Exists("mnt/Movie/none.mov"));
  EXPECT_TRUE(ToolCalls().empty());
}

TEST_F(WriteCommand, ClosingChunkRewritesTheStartAndFixesTheMovieSize) {
  struct Case {
    const char* what;
    MovieSpec spec;
    uint32_t expected_moov_size;  // 0: the file is left as it was
  };
  MovieSpec two_tracks;
  two_tracks.first_track_size = 3000;
  two_tracks.more_tracks = {2000};
  two_tracks.moov_size = 10000;
  two_tracks.tail = 6000;
  MovieSpec already_right = two_tracks;
  already_right.moov_size = 5116;
  MovieSpec three_tracks = two_tracks;
  three_tracks.more_tracks = {2000, 700};
  MovieSpec four_tracks = two_tracks;  // only three count
  four_tracks.more_tracks = {2000, 700, 300};
  const Case cases[] = {
      {"two tracks", two_tracks, 5116},
      {"already right", already_right, 0},
      {"three tracks", three_tracks, 5816},
      {"four tracks", four_tracks, 5816},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Remove("bin/calls.log");
    Movie movie = BuildMovie(c.spec);
    WriteFile("mnt/Movie/m.mov", movie.bytes);
    Bytes head(movie.bytes.begin(), movie.bytes.begin() + 512);
    WriteRequest r{.sectors = 1, .mode = 2, .create = 0, .no_index = 0, .name = "Movie/m.mov"};
    EXPECT_EQ(Write(r, head), 0);
    Bytes expected = movie.bytes;
    if (c.expected_moov_size) SetBe32(expected, movie.moov, c.expected_moov_size);
    EXPECT_EQ(ReadFile("mnt/Movie/m.mov"), expected);
    EXPECT_EQ(ToolCalls(), std::vector<std::string>{"sync"});
  }
}

// Only a wrong movie size is written, and only by the fix-up of a movie
// (no_index 0). The closing chunk itself changes the file's time, so what
// tells a needless write is the file's modifications after the chunk's own
// handle was closed (inotify): none unless the size was wrong.
TEST_F(WriteCommand, FixUpWritesOnlyAWrongSizeOfAMovie) {
  struct Case {
    const char* what;
    uint32_t moov_size;
    int32_t no_index;
    bool fixed;
  };
  const Case cases[] = {
      {"size wrong", 10000, 0, true},
      {"size already right", 5116, 0, false},
      {"size wrong, no_index set", 10000, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Remove("bin/calls.log");
    MovieSpec spec;
    spec.first_track_size = 3000;
    spec.more_tracks = {2000};
    spec.moov_size = c.moov_size;
    spec.tail = 6000;
    Movie movie = BuildMovie(spec);
    WriteFile("mnt/Movie/m.mov", movie.bytes);
    Bytes head(movie.bytes.begin(), movie.bytes.begin() + 512);
    WriteRequest r{
        .sectors = 1, .mode = 2, .create = 0, .no_index = c.no_index, .name = "Movie/m.mov"};
    std::vector<uint32_t> events =
        FileEvents("mnt/Movie/m.mov", [&] { EXPECT_EQ(Write(r, head), 0); });
    auto chunk_closed = std::find(events.begin(), events.end(), uint32_t{IN_CLOSE_WRITE});
    ASSERT_NE(chunk_closed, events.end());
    EXPECT_EQ(std::count(events.begin(), chunk_closed, uint32_t{IN_MODIFY}), 1);
    EXPECT_EQ(std::count(chunk_closed, events.end(), uint32_t{IN_MODIFY}), c.fixed ? 1 : 0);
    Bytes expected = movie.bytes;
    if (c.fixed) SetBe32(expected, movie.moov, 5116);
    EXPECT_EQ(ReadFile("mnt/Movie/m.mov"), expected);
    EXPECT_EQ(ToolCalls(), std::vector<std::string>{"sync"});
  }
}

TEST_F(WriteCommand, ClosingChunkLeavesFilesWithoutTheMovieLayoutAlone) {
  MovieSpec spec;
  spec.moov_size = 10000;
  spec.tail = 10000;
  Movie movie = BuildMovie(spec);
  struct Case {
    const char* what;
    size_t at;
    const char* bytes;
  };
  const Case cases[] = {
      {"no mdat at 44", 44, "mdaT"},
      {"no moov", movie.moov + 4, "moof"},
      {"no vorn", movie.moov + 42, "worn"},
      {"first track is not a trak", movie.moov + 116 + 4, "free"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = movie.bytes;
    std::copy(c.bytes, c.bytes + 4, file.begin() + static_cast<long>(c.at));
    WriteFile("mnt/Movie/m.mov", file);
    Bytes head(file.begin(), file.begin() + 512);
    WriteRequest r{.sectors = 1, .mode = 2, .create = 0, .no_index = 0, .name = "Movie/m.mov"};
    EXPECT_EQ(Write(r, head), 0);
    EXPECT_EQ(ReadFile("mnt/Movie/m.mov"), file);
  }
}

TEST_F(WriteCommand, DamagedTrackSizesNeverMoveTheMovieEnd) {
  MovieSpec spec;
  spec.first_track_size = 3000;
  spec.moov_size = 10000;
  spec.tail = 100;
  Movie movie = BuildMovie(spec);
  struct Case {
    const char* what;
    uint32_t first_track_size;
  };
  const Case cases[] = {
      {"past the end of the file", 0x7FFFFFF0}, {"smaller than a header", 4}, {"zero", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = movie.bytes;
    SetBe32(file, movie.moov + 116, c.first_track_size);
    WriteFile("mnt/Movie/m.mov", file);
    WriteRequest r{.sectors = 1, .mode = 2, .create = 0, .no_index = 0, .name = "Movie/m.mov"};
    EXPECT_EQ(Write(r, Bytes(file.begin(), file.begin() + 512)), 0);
    EXPECT_EQ(ReadFile("mnt/Movie/m.mov"), file);
  }
}

TEST_F(WriteCommand, TruncatedMovieKeepsItsSize) {
  MovieSpec spec;
  spec.moov_size = 10000;
  Movie movie = BuildMovie(spec);
  Bytes file(movie.bytes.begin(), movie.bytes.begin() + static_cast<long>(movie.moov) + 30);
  WriteFile("mnt/Movie/m.mov", file);
  WriteRequest r{.sectors = 1, .mode = 2, .create = 0, .no_index = 0, .name = "Movie/m.mov"};
  EXPECT_EQ(Write(r, Bytes(file.begin(), file.begin() + 512)), 0);
  EXPECT_EQ(ReadFile("mnt/Movie/m.mov"), file);
}

// Without the whole chunk from the data file there is nothing defined to
// write: status 5, and the target is neither created, removed nor changed.
TEST_F(WriteCommand, MissingOrShortChunkDataWritesNothing) {
  WriteFile("mnt/Movie/old.mov", Bytes(2048, 7));
  struct Case {
    const char* what;
    bool data_file;
    size_t data_size;
    WriteRequest request;
  };
  const Case cases[] = {
      {"no data file", false, 0, {.sectors = 1, .mode = 0, .create = 1, .name = "Movie/n.mov"}},
      {"short data", true, 511, {.sectors = 1, .mode = 0, .create = 1, .name = "Movie/n.mov"}},
      {"short rewrite",
       true,
       100,
       {.sectors = 2, .mode = 2, .create = 0, .no_index = 0, .name = "Movie/old.mov"}},
      {"short append with create",
       true,
       1000,
       {.sectors = 2, .mode = 0, .create = 1, .name = "Movie/old.mov"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PutProc("usb_storage_inf", c.request.Encode());
    ClearProc("usb_storage_data");
    if (c.data_file) PutProc("usb_storage_data", Bytes(c.data_size, 0xAB));
    EXPECT_EQ(RunCommand(5), 0);
    EXPECT_EQ(ProcInt("usb_storage"), 5);
    EXPECT_FALSE(Exists("mnt/Movie/n.mov"));
    EXPECT_EQ(ReadFile("mnt/Movie/old.mov"), Bytes(2048, 7));
  }
  EXPECT_TRUE(ToolCalls().empty());
}

TEST_F(WriteCommand, NamesThatLeaveTheStickAreRefused) {
  WriteFile("outside.bin", Bytes(10, 1));
  const std::string names[] = {
      "../outside.bin", "/outside.bin", "Movie/../../outside.bin", "..", "", "Movie/.."};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    WriteRequest r{.sectors = 1, .mode = 0, .create = 1, .no_index = 1, .name = name};
    EXPECT_EQ(Write(r, Chunk(1, 5)), 1);
  }
  EXPECT_EQ(ReadFile("outside.bin"), Bytes(10, 1));
  // ".." inside a component is an ordinary name.
  WriteRequest r{.sectors = 1, .mode = 0, .create = 1, .no_index = 1, .name = "Movie/a..b.mov"};
  EXPECT_EQ(Write(r, Chunk(1, 5)), 2);
}

// "/mnt/" and a 63-character name make the longest path, 68 characters; a
// name field without a terminator would make 69 and is refused.
TEST_F(WriteCommand, NameMustFitThePathBuffer) {
  std::string longest(63, 'a');
  WriteRequest r{.sectors = 1, .mode = 0, .create = 1, .no_index = 1, .name = longest};
  EXPECT_EQ(Write(r, Chunk(1, 5)), 2);
  EXPECT_TRUE(Exists("mnt/" + longest));

  Bytes request = r.Encode();
  std::fill(request.begin() + 20, request.end(), 'b');  // 64 characters, no terminator
  PutProc("usb_storage_inf", request);
  PutProc("usb_storage_data", Chunk(1, 5));
  EXPECT_EQ(RunCommand(5), 0);
  EXPECT_EQ(ProcInt("usb_storage"), 1);
  EXPECT_FALSE(Exists("mnt/" + std::string(63, 'b')));
  EXPECT_FALSE(Exists("mnt/" + std::string(64, 'b')));
}

// A full stick: the agent runs with a file-size limit of 512 bytes, so the
// second sector of a two-sector chunk can't be written (the proc records
// stay below the limit).
TEST_F(WriteCommand, FailedWriteToTheStickGivesSixAndStillFlushes) {
  for (int32_t mode : {0, 2}) {
    SCOPED_TRACE(mode);
    Remove("bin/calls.log");
    WriteFile("mnt/Movie/full.mov", Bytes(100, 1));
    SetFileSizeLimit(512);
    WriteRequest r{
        .sectors = 2, .mode = mode, .create = 0, .no_index = 0, .name = "Movie/full.mov"};
    EXPECT_EQ(Write(r, Chunk(2, 5)), 6);
    SetFileSizeLimit(-1);
    EXPECT_EQ(ToolCalls(),
              mode == 2 ? std::vector<std::string>{"sync"} : std::vector<std::string>{});
  }
}

TEST_F(WriteCommand, FilesBeyondTwoGibibytesTakeAppendsAndRewrites) {
  int fd = open(At("mnt/Movie/big.mov").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  const int64_t size = (5LL << 29);  // 2.5 GiB, sparse
  ASSERT_EQ(ftruncate(fd, size), 0);
  close(fd);
  WriteRequest r{.sectors = 2, .mode = 0, .create = 0, .no_index = 0, .name = "Movie/big.mov"};
  EXPECT_EQ(Write(r, Chunk(2, 4)), 2);
  EXPECT_EQ(SizeOf("mnt/Movie/big.mov"), size + 1024);
  r.mode = 2;
  EXPECT_EQ(Write(r, Chunk(2, 6)), 0);
  EXPECT_EQ(SizeOf("mnt/Movie/big.mov"), size + 1024);
}

}  // namespace
}  // namespace tevrano::agent_test
