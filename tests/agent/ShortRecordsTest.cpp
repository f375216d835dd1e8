// Request records cut short: each would be a usable request if the missing
// bytes were taken as zeros, and each is refused.
#include "AgentHarness.h"
#include "MovieFile.h"

namespace tevrano::agent_test {
namespace {

class ShortRecords : public AgentTest {
 public:
  void SetUp() override {
    AgentTest::SetUp();
    MakeStickFolders();
  }
  static Bytes Cut(Bytes record, size_t size) {
    record.resize(size);
    return record;
  }
};

TEST_F(ShortRecords, WriteRequestShorterThanEightyFourBytesIsRefused) {
  // A name of 63 characters ends at byte 83, so a record of 83 bytes read
  // with zeros after it would be a complete request.
  std::string name = "Movie/" + std::string(57, 'w');
  WriteRequest r{.sectors = 1, .mode = 0, .create = 1, .no_index = 0, .name = name};
  // 24 bytes hold the name "Movi", a file of the stick's root.
  for (size_t size : {83u, 24u}) {
    SCOPED_TRACE(size);
    PutProc("usb_storage_inf", Cut(r.Encode(), size));
    PutProc("usb_storage_data", Bytes(512, 1));
    EXPECT_EQ(RunCommand(5), 0);
    EXPECT_EQ(ProcInt("usb_storage"), 5);
    EXPECT_FALSE(Exists("mnt/" + name));
    EXPECT_FALSE(Exists("mnt/Movi"));
  }
  PutProc("usb_storage_inf", r.Encode());
  EXPECT_EQ(RunCommand(5), 0);
  EXPECT_EQ(ProcInt("usb_storage"), 2);
  EXPECT_TRUE(Exists("mnt/" + name));
}

TEST_F(ShortRecords, ReadRequestShorterThanEightyEightBytesIsRefused) {
  std::string name(57, 'r');  // "/mnt/Movie/" + 57 characters: the longest path
  WriteFile("mnt/Movie/" + name, Bytes(100, 4));
  ReadRequest r{.op = 0, .offset = 0, .length = 100, .name = name};
  // The name ends at byte 81: a record of 81 bytes or more lacks only zeros.
  for (size_t size : {87u, 81u}) {
    SCOPED_TRACE(size);
    ClearProc("usb_storage_data");
    PutProc("usb_storage_inf", Cut(r.Encode(), size));
    EXPECT_EQ(RunCommand(6), 0);
    EXPECT_EQ(ProcInt("usb_storage"), 3);
    EXPECT_FALSE(HasProc("usb_storage_data"));
  }
  PutProc("usb_storage_inf", r.Encode());
  EXPECT_EQ(RunCommand(6), 0);
  EXPECT_EQ(ProcInt("usb_storage"), 4);
  EXPECT_EQ(Proc("usb_storage_data"), Bytes(100, 4));
}

TEST_F(ShortRecords, DeleteNameShorterThanSixtyFourBytesRemovesNothing) {
  WriteText("mnt/Movie/a.mov", "a");
  Bytes name;
  PutText(name, "a.mov", 64);
  for (size_t size : {63u, 6u}) {
    SCOPED_TRACE(size);
    PutProc("usb_storage_inf", Cut(name, size));
    EXPECT_EQ(RunCommand(7), 0);
    EXPECT_TRUE(Exists("mnt/Movie/a.mov"));
  }
  PutProc("usb_storage_inf", name);
  EXPECT_EQ(RunCommand(7), 0);
  EXPECT_FALSE(Exists("mnt/Movie/a.mov"));
}

TEST_F(ShortRecords, WriteTestRequestShorterThanEightyFourBytesIsRefused) {
  WriteFile("mnt/Movie/Test_Write_File.txt", Bytes(10, 1));  // an earlier test's file
  WriteRequest r{.sectors = 1, .mode = 0, .create = 0, .no_index = 0, .name = ""};
  PutProc("usb_storage_inf", Cut(r.Encode(), 8));  // the sector count is there
  PutProc("usb_storage_test", {});
  int marks =
      CountClosesAfterWrite("proc/dvr/usb_storage_test", [&] { EXPECT_EQ(RunCommand(10), 0); });
  EXPECT_EQ(marks, 0);
  EXPECT_EQ(ProcInt("usb_storage"), 5);
  EXPECT_EQ(ReadFile("mnt/Movie/Test_Write_File.txt"), Bytes(10, 1));
}

// The block count record of a format: three of its four bytes give 1,000
// when padded, so they would format the stick with a made-up size.
TEST_F(ShortRecords, SectorSizeRecordShorterThanFourBytesFormatsNothing) {
  Bytes device;
  PutText(device, "/dev/sdb1", 64);
  PutProc("usb_storage_mount", device);
  Bytes blocks;
  PutLe32(blocks, 1000);
  for (size_t size : {3u, 0u}) {
    SCOPED_TRACE(size);
    Remove("bin/calls.log");
    ClearProc("usb_storage_mount");
    PutProc("usb_storage_mount", device);
    PutProc("usb_sector_size", Cut(blocks, size));
    EXPECT_EQ(RunCommand(8), 0);
    EXPECT_TRUE(ToolCalls().empty());
    EXPECT_EQ(ProcInt("usb_storage_mount"), 0);
    EXPECT_EQ(ProcInt("usb_storage_running"), 0);
  }
  PutProc("usb_storage_mount", device);
  PutProc("usb_sector_size", blocks);
  EXPECT_EQ(RunCommand(8), 0);
  EXPECT_EQ(ToolCalls().size(), 5u);
}

// A device path cut short before its terminator names some other device.
TEST_F(ShortRecords, DevicePathCutBeforeItsTerminatorMountsNothing) {
  std::string device = "/dev/sdb12";
  PutProc("usb_storage_mount", Bytes(device.begin(), device.end() - 1));  // "/dev/sdb1"
  EXPECT_EQ(RunCommand(2), 0);
  EXPECT_TRUE(ToolCalls().empty());
  EXPECT_EQ(ProcInt("usb_storage_mount"), 0);
  Bytes terminated(device.begin(), device.end());
  terminated.push_back(0);  // shorter than 64 bytes, but whole
  PutProc("usb_storage_mount", terminated);
  EXPECT_EQ(RunCommand(2), 0);
  EXPECT_EQ(ToolCalls(),
            (std::vector<std::string>{"umount " + Mnt(), "mount " + device + " " + Mnt()}));
}

}  // namespace
}  // namespace tevrano::agent_test
