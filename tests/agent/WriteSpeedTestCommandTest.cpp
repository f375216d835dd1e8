// The write-speed test: the pattern file, the marks around it and the
// requests it refuses.
#include "AgentHarness.h"

namespace tevrano::agent_test {
namespace {

class WriteSpeedTest : public AgentTest {
 public:
  void SetUp() override {
    AgentTest::SetUp();
    MakeStickFolders();
    PutProc("usb_storage_test", {});
  }
  void Request(int32_t sectors) {
    WriteRequest r{.sectors = sectors, .mode = 0, .create = 0, .no_index = 0, .name = ""};
    PutProc("usb_storage_inf", r.Encode());
  }
  static Bytes Mark(int32_t flag, int32_t kib) {
    Bytes b;
    PutLe32(b, flag);
    PutLe32(b, kib);
    return b;
  }
};

TEST_F(WriteSpeedTest, ThousandSectorsWriteTwoCountingPiecesBetweenTwoMarks) {
  WriteFile("mnt/Movie/Test_Write_File.txt", Bytes(3000000, 1));  // an earlier test's file
  Request(1000);
  int marks =
      CountClosesAfterWrite("proc/dvr/usb_storage_test", [&] { EXPECT_EQ(RunCommand(10), 0); });
  EXPECT_EQ(marks, 2);
  EXPECT_EQ(Proc("usb_storage_test"), Mark(0, 512));
  EXPECT_EQ(ProcInt("usb_storage"), 0);
  Bytes file = ReadFile("mnt/Movie/Test_Write_File.txt");
  ASSERT_EQ(file.size(), 524288u);
  for (uint32_t word = 0; word < file.size() / 4; ++word) {
    uint32_t v = (uint32_t{file[4 * word]} << 24) | (uint32_t{file[4 * word + 1]} << 16) |
                 (uint32_t{file[4 * word + 2]} << 8) | file[4 * word + 3];
    ASSERT_EQ(v, word) << "word " << word;
  }
  EXPECT_TRUE(ToolCalls().empty());  // no flush
}

TEST_F(WriteSpeedTest, MarksStartAndEndTheTest) {
  Request(1000);
  Bytes marks =
      CollectThroughFifo("proc/dvr/usb_storage_test", [&] { EXPECT_EQ(RunCommand(10), 0); });
  Bytes expected = Mark(1, 512);
  Bytes end = Mark(0, 512);
  expected.insert(expected.end(), end.begin(), end.end());
  EXPECT_EQ(marks, expected);
}

TEST_F(WriteSpeedTest, SizesRoundUpToWholePieces) {
  struct Case {
    int32_t sectors;
    size_t bytes;
  };
  const Case cases[] = {{1, 262144}, {512, 262144}, {513, 524288}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sectors);
    Request(c.sectors);
    EXPECT_EQ(RunCommand(10), 0);
    EXPECT_EQ(ReadFile("mnt/Movie/Test_Write_File.txt").size(), c.bytes);
    EXPECT_EQ(Proc("usb_storage_test"), Mark(0, static_cast<int32_t>(c.bytes / 1024)));
  }
}

TEST_F(WriteSpeedTest, SizeBelowOneSectorIsRefusedWithoutMarks) {
  for (int32_t sectors : {0, -1, INT32_MIN}) {
    SCOPED_TRACE(sectors);
    Request(sectors);
    int marks =
        CountClosesAfterWrite("proc/dvr/usb_storage_test", [&] { EXPECT_EQ(RunCommand(10), 0); });
    EXPECT_EQ(marks, 0);
    EXPECT_EQ(ProcInt("usb_storage"), 5);
    EXPECT_FALSE(Exists("mnt/Movie/Test_Write_File.txt"));
  }
}

TEST_F(WriteSpeedTest, StickWithoutMovieFolderGivesOneWithoutMarks) {
  Remove("mnt/Movie");
  Request(1000);
  int marks =
      CountClosesAfterWrite("proc/dvr/usb_storage_test", [&] { EXPECT_EQ(RunCommand(10), 0); });
  EXPECT_EQ(marks, 0);
  EXPECT_EQ(ProcInt("usb_storage"), 1);
}

}  // namespace
}  // namespace tevrano::agent_test
