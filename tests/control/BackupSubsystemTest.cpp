#include <gtest/gtest.h>

#include <vector>

#include "base/RecorderTime.h"
#include "control/TevranoImpl1.h"
#include "platform/fake/FakePlatform.h"
#include "tests/record/MovieFixtures.h"

namespace tevrano {
namespace {

using record::test::PacketSpec;
using record::test::VideoPacket;

const uint32_t kStart = ui::PackRecorderTime(2026, 1, 5, 10, 30, 0);

struct BackupControl {
  platform::FakePlatform fakes;
  TevranoX control{fakes.platform()};
  BackupControl() {
    fakes.environment.home = "/home/u";
    fakes.files.AddFolder("/home/u");
    control.ActiveFormCreate();
  }
  ViewState& View() { return control.Streams().Icmd().View(0); }
  StreamConnection& Connection() { return control.Streams().Stream().Connection(0); }
  void Frame(uint32_t seconds, uint32_t frame) {
    PacketSpec s;
    s.seconds = seconds;
    s.frame = frame;
    s.key = frame == 0;
    s.channel = 2;
    const auto p = VideoPacket(s, {{uint8_t(s.key ? 0x65 : 0x41), 0x9A, 0x80}});
    StreamConnection& c = Connection();
    std::memcpy(c.FrameBuffer.get(), p.data(), p.size());
    c.FrameLength = uint32_t(p.size());
    control.Backup().Job().Step(c);
    c.FrameLength = 0;
  }
  // Past the watermark wait (the fake recorder does not answer).
  void OpenFile() {
    control.Backup().Poll();
    fakes.clock.AdvanceMs(1100);
    control.Backup().Poll();
  }
};

TEST(BackupSubsystem, TheDefaultFileGoesIntoDvrBackupInTheHome) {
  BackupControl b;
  b.View().Backup.Channel = 9;
  b.View().Backup.StartTime = kStart;
  const std::string path = b.control.Backup().PrepareBackupFile();
  ASSERT_EQ(0u, path.find("/home/u/DVR_Backup/ch10_20260105_103000_")) << path;
  EXPECT_EQ(".mov", path.substr(path.size() - 4));
  EXPECT_TRUE(b.fakes.files.Exists(path));
  EXPECT_EQ(path, b.control.Form().Label1.caption);
  EXPECT_TRUE(b.fakes.host.messageBoxes.empty());
}

TEST(BackupSubsystem, AFolderThatCannotBeMadeIsReported) {
  BackupControl b;
  b.fakes.environment.home = "/missing";
  EXPECT_EQ("", b.control.Backup().PrepareBackupFile());
  ASSERT_EQ(1u, b.fakes.host.messageBoxes.size());
  EXPECT_EQ("Save As\n\t/missing/DVR_Backup\nA required privilege is not held by the client",
            b.fakes.host.messageBoxes[0].text);
}

TEST(BackupSubsystem, ACompleteBackupOpensItsFolderThroughTheHost) {
  BackupControl b;
  ASSERT_TRUE(b.control.Backup().StartBackup(2, kStart, kStart + 1, "/home/u/out.MOV"));
  EXPECT_EQ(uint32_t(kModeBackup), b.View().Mode);
  EXPECT_EQ(1u, b.View().Backup.State);
  b.OpenFile();
  for (uint32_t f = 0; f < 25; ++f) b.Frame(kStart, f);
  b.Frame(kStart + 1, 0);
  EXPECT_EQ(record::BackupOutcome::kComplete, b.control.Backup().Job().Outcome());
  EXPECT_TRUE(b.fakes.files.Exists("/home/u/out.mov"));
  ASSERT_EQ(1u, b.fakes.host.opened.size());
  EXPECT_EQ("/home/u", b.fakes.host.opened[0]);
  EXPECT_EQ(0u, b.View().Backup.State);
  EXPECT_EQ(0, b.control.OnScreen().vars.IE_ST2);
}

TEST(BackupSubsystem, AStalledBackupShowsBackupIncomplete) {
  BackupControl b;
  b.control.Backup().SetOpenFolderAtEnd(false);
  ASSERT_TRUE(b.control.Backup().StartBackup(2, kStart, kStart + 100, "/home/u/out.mov"));
  b.OpenFile();
  for (uint32_t f = 0; f < 5; ++f) b.Frame(kStart, f);
  b.fakes.clock.AdvanceMs(15001);
  b.control.Backup().Poll();
  EXPECT_EQ(record::BackupOutcome::kIncomplete, b.control.Backup().Job().Outcome());
  EXPECT_EQ("backup incomplete", b.control.Form().Label1.caption);
  EXPECT_TRUE(b.control.Form().Label1.visible);
  EXPECT_TRUE(b.fakes.host.opened.empty());
}

TEST(BackupSubsystem, ARefusedSpanStartsNothing) {
  BackupControl b;
  EXPECT_FALSE(b.control.Backup().StartBackup(2, kStart + 10, kStart, "/home/u/out.mov"));
  EXPECT_FALSE(b.control.Backup().StartBackup(16, kStart, kStart + 10, "/home/u/out.mov"));
  EXPECT_EQ(record::BackupOutcome::kNone, b.control.Backup().Job().Outcome());
}

// The view's backup state 2 on the Backup page (the preview): the job shows
// the stream's I-frames on display slot 0 and, when the preview ends, has
// written nothing and reports no backup.
TEST(BackupSubsystem, ThePreviewShowsIFramesOnSlot0AndEndsWithoutAReport) {
  BackupControl b;
  std::vector<int> slots;
  std::vector<uint8_t> first;
  b.control.Streams().Stream().Hooks().decodeFrame = [&](const uint8_t* d, uint32_t n, int slot) {
    slots.push_back(slot);
    if (first.empty()) first.assign(d, d + n);
  };
  const std::string label = b.control.Form().Label1.caption;
  b.control.Streams().Stream().SetViewMode(b.View(), kModeBackup);
  b.View().Backup.State = 2;
  b.control.Backup().Poll();
  EXPECT_EQ(record::BackupJob::kPreview, b.control.Backup().Job().State());
  for (uint32_t f = 0; f < 25; ++f) b.Frame(kStart, f);
  b.Frame(kStart + 1, 0);
  EXPECT_EQ((std::vector<int>{0, 0}), slots) << "the two I-frames, on slot 0";
  ASSERT_GE(first.size(), 5u);
  EXPECT_EQ(0x67, first[4]) << "led by the sequence parameter set";

  // A start while previewing is the page's business; the preview ends with
  // the state, or with the mode.
  b.View().Backup.State = 0;
  b.control.Backup().Poll();
  EXPECT_EQ(record::BackupJob::kIdle, b.control.Backup().Job().State());
  b.View().Backup.State = 2;
  b.control.Backup().Poll();
  EXPECT_EQ(record::BackupJob::kPreview, b.control.Backup().Job().State());
  b.control.Streams().Stream().SetViewMode(b.View(), kModeLive);
  b.control.Backup().Poll();
  EXPECT_EQ(record::BackupJob::kIdle, b.control.Backup().Job().State());

  EXPECT_EQ(record::BackupOutcome::kNone, b.control.Backup().Job().Outcome());
  EXPECT_EQ(label, b.control.Form().Label1.caption);
  EXPECT_TRUE(b.fakes.host.opened.empty());
  EXPECT_FALSE(b.fakes.files.Exists("/home/u/DVR_Backup"));
}

}  // namespace
}  // namespace tevrano
