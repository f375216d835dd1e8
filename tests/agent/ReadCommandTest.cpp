// The read command: a movie's index (all entries or the first), the checks
// that keep a damaged movie's index from being sent, and range copies.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AgentHarness.h"
#include "MovieFile.h"

namespace tevrano::agent_test {
namespace {

class ReadCommand : public AgentTest {
 public:
  void SetUp() override {
    AgentTest::SetUp();
    MakeStickFolders();
  }
  int32_t Read(const ReadRequest& request) {
    PutProc("usb_storage_inf", request.Encode());
    ClearProc("usb_storage");
    EXPECT_EQ(RunCommand(6), 0);
    return ProcInt("usb_storage");
  }
  static Bytes Le32s(const std::vector<uint32_t>& values) {
    Bytes b;
    for (uint32_t v : values) PutLe32(b, static_cast<int32_t>(v));
    return b;
  }
  // The first `n` values.
  static std::vector<uint32_t> First(const std::vector<uint32_t>& values, size_t n) {
    return {values.begin(), values.begin() + static_cast<long>(n)};
  }
  // A movie whose index has `entries` entries, each sample size and chunk
  // offset its own.
  static MovieSpec SpecWithEntries(uint32_t entries) {
    MovieSpec spec;
    spec.sample_sizes.resize(entries);
    spec.chunk_offsets.resize(entries);
    for (uint32_t i = 0; i < entries; ++i) {
      spec.sample_sizes[i] = 1000 + i;
      spec.chunk_offsets[i] = 0x01000000 + 7 * i;
    }
    return spec;
  }
  static Bytes Qti(const Movie& m, const MovieSpec& spec, int32_t count) {
    return Le32s({spec.creation, spec.modification, static_cast<uint32_t>(m.stsz),
                  static_cast<uint32_t>(m.stco), static_cast<uint32_t>(count)});
  }
  // The index answers were not written: the request is still in its file.
  void ExpectNoIndexSent(const ReadRequest& request) {
    EXPECT_EQ(Proc("usb_storage_inf"), request.Encode());
    EXPECT_FALSE(HasProc("usb_storage_stsz"));
    EXPECT_FALSE(HasProc("usb_storage_stco"));
  }
};

// Op 1 sends every entry of the index, op 2 the first; an index of more
// than 65,535 entries (here an atom that really holds them, and a table
// that would fit the transfer buffer) is not sent: count 0, no tables.
TEST_F(ReadCommand, IndexSendsTheEntriesTheOpAsksForUpTo65535) {
  struct Case {
    const char* what;
    int32_t op;
    uint32_t entries;  // 0: the usual movie's three
    uint32_t sent;     // the count sent; that many entries of each table
  };
  const Case cases[] = {
      {"op 1 sends every entry", 1, 0, 3},
      {"op 2 sends the first entry only", 2, 0, 1},
      {"the largest index is sent whole", 1, 65535, 65535},
      {"65,536 entries with op 1", 1, 65536, 0},
      {"65,536 entries with op 2", 2, 65536, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearProc("usb_storage_stsz");
    ClearProc("usb_storage_stco");
    const MovieSpec spec = c.entries ? SpecWithEntries(c.entries) : MovieSpec{};
    Movie movie = BuildMovie(spec);
    ASSERT_EQ(GetBe32(movie.bytes, movie.stsz), 20u + 4 * spec.sample_sizes.size());
    WriteFile("mnt/Movie/m.mov", movie.bytes);
    EXPECT_EQ(Read({.op = c.op, .format_a = 2, .format_b = 1, .name = "m.mov"}), 4);
    EXPECT_EQ(Proc("usb_storage_inf"), Qti(movie, spec, static_cast<int32_t>(c.sent)));
    if (c.sent == 0) {
      EXPECT_FALSE(HasProc("usb_storage_stsz"));
      EXPECT_FALSE(HasProc("usb_storage_stco"));
    } else {
      EXPECT_EQ(Proc("usb_storage_stsz"), Le32s(First(spec.sample_sizes, c.sent)));
      EXPECT_EQ(Proc("usb_storage_stco"), Le32s(First(spec.chunk_offsets, c.sent)));
    }
  }
}

TEST_F(ReadCommand, IndexOfAFileInTheRootAndNegativeFormatBytes) {
  MovieSpec spec;
  spec.format_a = -3;
  spec.format_b = 100;
  Movie movie = BuildMovie(spec);
  WriteFile("mnt/m.mov", movie.bytes);
  EXPECT_EQ(Read({.op = 1, .format_a = -3, .format_b = 100, .in_root = 1, .name = "m.mov"}), 4);
  EXPECT_EQ(Proc("usb_storage_inf"), Qti(movie, spec, 3));
}

TEST_F(ReadCommand, MovieThatFailsTheChecksSendsOnlyTheStatus) {
  MovieSpec spec;
  Movie movie = BuildMovie(spec);
  struct Case {
    const char* what;
    int32_t format_a, format_b;
    size_t at;
    const char* bytes;
  };
  const Case cases[] = {
      {"format_b differs", 2, 2, 0, nullptr},
      {"format_a differs", 1, 1, 0, nullptr},
      {"no mdat", 2, 1, 44, "mdaT"},
      {"no moov", 2, 1, movie.moov + 4, "free"},
      {"no vorn", 2, 1, movie.moov + 42, "VORN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = movie.bytes;
    if (c.bytes) std::copy(c.bytes, c.bytes + 4, file.begin() + static_cast<long>(c.at));
    WriteFile("mnt/Movie/m.mov", file);
    ReadRequest r{.op = 1, .format_a = c.format_a, .format_b = c.format_b, .name = "m.mov"};
    EXPECT_EQ(Read(r), 4);
    ExpectNoIndexSent(r);
  }
}

TEST_F(ReadCommand, MissingFileGivesThree) {
  ReadRequest r{.op = 1, .name = "none.mov"};
  EXPECT_EQ(Read(r), 3);
  ExpectNoIndexSent(r);
}

// Index answers whose tables can't be trusted carry the count 0 and no
// tables are sent.
TEST_F(ReadCommand, IndexWithoutTrustworthyTablesReportsCountZero) {
  MovieSpec spec;
  Movie movie = BuildMovie(spec);
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
    bool positions_known;  // the sample-size and chunk-offset atoms were reached
  };
  const Case cases[] = {
      {"entry count 0", [&](Bytes& b) { SetBe32(b, movie.stsz + 16, 0); }, true},
      {"entry count above 65,535", [&](Bytes& b) { SetBe32(b, movie.stsz + 16, 65536); }, true},
      {"entry count beyond the sample-size atom", [&](Bytes& b) { SetBe32(b, movie.stsz + 16, 4); },
       true},
      {"chunk-offset table shorter than the count",
       [&](Bytes& b) { SetBe32(b, movie.stco, 16 + 8); }, true},
      {"file cut inside the chunk-offset table", [&](Bytes& b) { b.resize(movie.stco + 16 + 4); },
       true},
      {"file cut inside the sample-size table", [&](Bytes& b) { b.resize(movie.stsz + 24); }, true},
      {"no stss in the window",
       [&](Bytes& b) { std::copy_n("xxxx", 4, b.begin() + movie.stss + 4); }, false},
      {"sync-sample atom of size 0", [&](Bytes& b) { SetBe32(b, movie.stss, 0); }, false},
      {"passed-over atom of size 0", [&](Bytes& b) { SetBe32(b, movie.stss + 20, 0); }, false},
      {"passed-over atom beyond the file",
       [&](Bytes& b) { SetBe32(b, movie.stss + 20, 0x7FFFFFFF); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearProc("usb_storage_stsz");
    ClearProc("usb_storage_stco");
    Bytes file = movie.bytes;
    c.damage(file);
    WriteFile("mnt/Movie/m.mov", file);
    EXPECT_EQ(Read({.op = 1, .format_a = 2, .format_b = 1, .name = "m.mov"}), 4);
    Bytes expected = c.positions_known ? Qti(movie, spec, 0)
                                       : Le32s({spec.creation, spec.modification, 0, 0, 0});
    EXPECT_EQ(Proc("usb_storage_inf"), expected);
    EXPECT_FALSE(HasProc("usb_storage_stsz"));
    EXPECT_FALSE(HasProc("usb_storage_stco"));
  }
}

// A "stss" tag in the window's first four bytes has its size field outside
// the bytes read: the search passes over it and finds the real atom.
TEST_F(ReadCommand, SyncSampleTagWithoutRoomForItsSizeIsPassedOver) {
  MovieSpec spec;
  Movie movie = BuildMovie(spec);
  size_t window = movie.moov + 576;
  ASSERT_LT(window + 4, movie.stss);
  for (size_t at : {window, window + 1, window + 3}) {
    SCOPED_TRACE(at - window);
    Bytes file = movie.bytes;
    std::copy_n("stss", 4, file.begin() + static_cast<long>(at));
    WriteFile("mnt/Movie/m.mov", file);
    EXPECT_EQ(Read({.op = 1, .format_a = 2, .format_b = 1, .name = "m.mov"}), 4);
    EXPECT_EQ(Proc("usb_storage_inf"), Qti(movie, spec, 3));
    EXPECT_EQ(Proc("usb_storage_stsz"), Le32s(spec.sample_sizes));
  }
}

// The sync-sample tag is looked for in the 2,048 bytes after the movie
// atom's first 576 only: a tag that ends past them is not found.
TEST_F(ReadCommand, SyncSampleTagIsFoundOnlyWithinTheWindow) {
  struct Case {
    long tag_in_window;  // the tag's offset from the window's start
    bool found;
  };
  const Case cases[] = {{2044, true}, {2045, false}, {2047, false}, {2048, false}, {2100, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag_in_window);
    ClearProc("usb_storage_stsz");
    ClearProc("usb_storage_stco");
    MovieSpec spec;
    long tag_at_default = static_cast<long>(BuildMovie(spec).stss + 4) -
                          static_cast<long>(BuildMovie(spec).moov + 576);
    spec.filler = static_cast<uint32_t>(spec.filler + c.tag_in_window - tag_at_default);
    Movie movie = BuildMovie(spec);
    ASSERT_EQ(movie.stss + 4 - (movie.moov + 576), static_cast<size_t>(c.tag_in_window));
    WriteFile("mnt/Movie/m.mov", movie.bytes);
    EXPECT_EQ(Read({.op = 1, .format_a = 2, .format_b = 1, .name = "m.mov"}), 4);
    if (c.found) {
      EXPECT_EQ(Proc("usb_storage_inf"), Qti(movie, spec, 3));
      EXPECT_EQ(Proc("usb_storage_stsz"), Le32s(spec.sample_sizes));
    } else {
      EXPECT_EQ(Proc("usb_storage_inf"), Le32s({spec.creation, spec.modification, 0, 0, 0}));
      EXPECT_FALSE(HasProc("usb_storage_stsz"));
      EXPECT_FALSE(HasProc("usb_storage_stco"));
    }
  }
}

class RangeRead : public ReadCommand {
 public:
  void SetUp() override {
    ReadCommand::SetUp();
    file_.resize(700000);
    for (size_t i = 0; i < file_.size(); ++i) file_[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
    WriteFile("mnt/Movie/r.mov", file_);
    PutProc("usb_storage_data", {});
  }
  Bytes Slice(size_t from, size_t length) const {
    return Bytes(file_.begin() + static_cast<long>(from),
                 file_.begin() + static_cast<long>(from + length));
  }
  Bytes file_;
};

TEST_F(RangeRead, SixHundredThousandBytesFromOffsetHundredGoInThreePieces) {
  ReadRequest r{.op = 0, .offset = 100, .length = 600000, .name = "r.mov"};
  int pieces = CountClosesAfterWrite("proc/dvr/usb_storage_data", [&] { EXPECT_EQ(Read(r), 4); });
  EXPECT_EQ(pieces, 3);
  // Each piece replaces the last in the data file: the third is left.
  EXPECT_EQ(Proc("usb_storage_data"), Slice(100 + 2 * 262144, 75712));
}

TEST_F(RangeRead, PiecesTogetherAreTheRequestedBytes) {
  ReadRequest r{.op = -1, .offset = 100, .length = 600000, .name = "r.mov"};
  Bytes received = CollectThroughFifo("proc/dvr/usb_storage_data", [&] { EXPECT_EQ(Read(r), 4); });
  EXPECT_EQ(received, Slice(100, 600000));
}

TEST_F(RangeRead, EmptyRangeMovesNothing) {
  ReadRequest r{.op = 0, .offset = 100, .length = 0, .name = "r.mov"};
  int pieces = CountClosesAfterWrite("proc/dvr/usb_storage_data", [&] { EXPECT_EQ(Read(r), 4); });
  EXPECT_EQ(pieces, 0);
}

TEST_F(RangeRead, RangesOutsideTheFileAreRefused) {
  struct Case {
    int32_t offset, length;
  };
  const Case cases[] = {{-1, 10},    {0, -1},     {INT32_MIN, 100}, {100, INT32_MIN},
                        {0, 700001}, {699999, 2}, {700001, 0},      {INT32_MAX, INT32_MAX}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offset << " + " << c.length);
    ReadRequest r{.op = 0, .offset = c.offset, .length = c.length, .name = "r.mov"};
    int pieces = CountClosesAfterWrite("proc/dvr/usb_storage_data", [&] { EXPECT_EQ(Read(r), 3); });
    EXPECT_EQ(pieces, 0);
  }
  ReadRequest whole{.op = 0, .offset = 699000, .length = 1000, .name = "r.mov"};
  EXPECT_EQ(Read(whole), 4);
  EXPECT_EQ(Proc("usb_storage_data"), Slice(699000, 1000));
}

TEST_F(RangeRead, NamesOutsideTheFolderOrTooLongAreRefused) {
  WriteFile("mnt/secret.rom", Bytes(10, 1));
  std::string too_long(58, 'q');  // "/mnt/Movie/" + 58 is 69 characters
  WriteFile("mnt/Movie/" + too_long, Bytes(10, 2));
  const std::string names[] = {"../secret.rom", "/etc/passwd", "..", "", too_long};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    ReadRequest r{.op = 0, .offset = 0, .length = 10, .name = name};
    EXPECT_EQ(Read(r), 3);
  }
  EXPECT_EQ(Proc("usb_storage_data"), Bytes{});
}

TEST_F(RangeRead, BytesBeyondTwoGibibytesAreRead) {
  int fd = open(At("mnt/Movie/big.mov").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  const int64_t at = INT32_MAX - 99;  // the range ends at 2 GiB + 900
  Bytes pattern(1000);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i * 7 + 1);
  ASSERT_EQ(pwrite(fd, pattern.data(), pattern.size(), at), static_cast<ssize_t>(pattern.size()));
  close(fd);
  ReadRequest r{.op = 0, .offset = static_cast<int32_t>(at), .length = 1000, .name = "big.mov"};
  EXPECT_EQ(Read(r), 4);
  EXPECT_EQ(Proc("usb_storage_data"), pattern);
}

}  // namespace
}  // namespace tevrano::agent_test
