// Movies damaged at random (fixed seed): the index read and the fix-up after
// a closing chunk must neither fail nor read, send or write outside what the
// file holds.
#include <random>

#include "AgentHarness.h"
#include "MovieFile.h"

namespace tevrano::agent_test {
namespace {

class DamagedMovie : public AgentTest {
 public:
  void SetUp() override {
    AgentTest::SetUp();
    MakeStickFolders();
    MovieSpec spec;
    spec.more_tracks = {300, 200};
    spec.moov_size = 9000;
    movie_ = BuildMovie(spec);
  }

  // Overwrites a few bytes of the movie atom's region (sizes, tags, counts
  // are all there) and sometimes cuts the file short.
  Bytes Damage(std::mt19937& random) const {
    Bytes file = movie_.bytes;
    std::uniform_int_distribution<size_t> at(movie_.moov, file.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255), edits(1, 6), choice(0, 3);
    for (int i = edits(random); i > 0; --i) {
      size_t p = at(random);
      if (choice(random) == 0 && p + 4 <= file.size())
        SetBe32(file, p, static_cast<uint32_t>(random()));  // a whole size or count
      else
        file[p] = static_cast<uint8_t>(byte(random));
    }
    if (choice(random) == 0) file.resize(at(random));
    return file;
  }

  Movie movie_;
};

TEST_F(DamagedMovie, IndexReadSendsOnlyTablesThatLieInsideTheFile) {
  std::mt19937 random(20260101);
  int no_index = 0, no_tables = 0, tables = 0;  // the damage reaches every outcome
  for (int round = 0; round < 150; ++round) {
    SCOPED_TRACE(round);
    Bytes file = Damage(random);
    WriteFile("mnt/Movie/d.mov", file);
    ClearProc("usb_storage_stsz");
    ClearProc("usb_storage_stco");
    ReadRequest r{.op = 1 + round % 2, .format_a = 2, .format_b = 1, .name = "d.mov"};
    PutProc("usb_storage_inf", r.Encode());
    ASSERT_EQ(RunCommand(6), 0);
    EXPECT_EQ(ProcInt("usb_storage"), 4);
    Bytes answer = Proc("usb_storage_inf");
    if (answer.size() != 20) {
      EXPECT_EQ(answer, r.Encode());  // no index: the request is still there
      ++no_index;
      continue;
    }
    int32_t stsz = GetLe32(answer, 8), stco = GetLe32(answer, 12), count = GetLe32(answer, 16);
    ASSERT_GE(count, 0);
    ASSERT_LE(count, 65535);
    if (count == 0) {
      EXPECT_FALSE(HasProc("usb_storage_stsz"));
      ++no_tables;
      continue;
    }
    ++tables;
    EXPECT_LE(static_cast<size_t>(stsz) + 20 + 4 * static_cast<size_t>(count), file.size());
    EXPECT_LE(static_cast<size_t>(stco) + 16 + 4 * static_cast<size_t>(count), file.size());
    Bytes sizes = Proc("usb_storage_stsz"), offsets = Proc("usb_storage_stco");
    ASSERT_EQ(sizes.size(), 4u * count);
    ASSERT_EQ(offsets.size(), 4u * count);
    for (int32_t i = 0; i < count; ++i) {
      EXPECT_EQ(static_cast<uint32_t>(GetLe32(sizes, 4 * i)), GetBe32(file, stsz + 20 + 4 * i));
      EXPECT_EQ(static_cast<uint32_t>(GetLe32(offsets, 4 * i)), GetBe32(file, stco + 16 + 4 * i));
    }
  }
  EXPECT_GT(no_index, 0);
  EXPECT_GT(no_tables, 0);
  EXPECT_GT(tables, 0);
}

TEST_F(DamagedMovie, FixUpChangesAtMostTheMovieSizeAndOnlyToEndInsideTheFile) {
  std::mt19937 random(20260102);
  int fixed = 0, left_alone = 0;
  for (int round = 0; round < 150; ++round) {
    SCOPED_TRACE(round);
    Bytes file = Damage(random);
    WriteFile("mnt/Movie/d.mov", file);
    WriteRequest r{.sectors = 1, .mode = 2, .create = 0, .no_index = 0, .name = "Movie/d.mov"};
    PutProc("usb_storage_inf", r.Encode());
    PutProc("usb_storage_data", Bytes(file.begin(), file.begin() + 512));
    ASSERT_EQ(RunCommand(5), 0);
    EXPECT_EQ(ProcInt("usb_storage"), 0);
    Bytes after = ReadFile("mnt/Movie/d.mov");
    ASSERT_EQ(after.size(), file.size());
    for (size_t i = 0; i < file.size(); ++i) {
      if (after[i] == file[i]) continue;
      // Only the movie atom's size field may change, and only to a size that
      // ends inside the file.
      ASSERT_GE(i, movie_.moov);
      ASSERT_LT(i, movie_.moov + 4);
    }
    if (after != file) {
      EXPECT_LE(movie_.moov + GetBe32(after, movie_.moov), file.size());
      ++fixed;
    } else {
      ++left_alone;
    }
  }
  EXPECT_GT(fixed, 0);
  EXPECT_GT(left_alone, 0);
}

}  // namespace
}  // namespace tevrano::agent_test
