#include "ui/ViewCommand.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/Form.h"
#include "net/ModuleTable.h"
#include "net/SendQueue.h"
#include "platform/fake/ManualClock.h"
#include "stream/FrameHeader.h"
#include "stream/StreamSystem.h"
#include "view/IcmdModule.h"

namespace tevrano {
namespace {

// A sent "ICMD" message, read back from the send queue.
struct Sent {
  uint32_t handle, operation, type, mode, counter;
  std::vector<uint8_t> payload;
  uint32_t Word(int i) const { return LoadLe32(payload.data() + 4 * i); }
};

class ViewCommandTest : public ::testing::Test {
 protected:
  ViewCommandTest()
      : icmd(contexts), stream(clock, form, pacing), view(icmd, stream, form, contexts) {
    for (int i = 0; i < 2; ++i) {
      ctx[i].Index = i;
      ctx[i].SessionId = 500 + i;
      ctx[i].Zell = &zell[i];
      EmptySendRing(ctx[i]);
      links[i].index = i;
      links[i].view = &icmd.View(i);
      links[i].stats = &stats[i];
      stream.Link(i, &links[i]);
    }
    stream.RegisterPictureOutput(0, "10.1.2.3", 80, 0, 0, &form.Image_video, nullptr, 0, 0);
    icmd.GetHooks().setViewMode = [this](ViewState& v, uint32_t mode) {
      modes.push_back(mode);
      stream.SetViewMode(v, mode);
    };
  }
  std::vector<Sent> TakeSent(int context = 0) {
    std::vector<Sent> out;
    uint8_t batch[kMaxModuleMessage];
    for (uint32_t n; (n = TakeBatch(ctx[context], batch)) != 0;) {
      for (uint32_t at = 0; at + 64 <= n;) {
        const uint8_t* m = batch + at;
        const uint32_t total = LoadLe32(m);
        EXPECT_EQ(LoadLe32(m + 4), IcmdModule::kTag);
        EXPECT_EQ(LoadLe32(m + 8), ModuleChecksum(m + 32, total - 32));
        out.push_back({LoadLe32(m + 32), LoadLe32(m + 36), LoadLe32(m + 40), LoadLe32(m + 44),
                       LoadLe32(m + 48), std::vector<uint8_t>(m + 64, m + total)});
        at += total;
      }
    }
    return out;
  }
  // A message body as the recorder sends it.
  std::vector<uint8_t> Body(uint32_t handle, uint32_t operation, uint32_t type, uint32_t mode,
                            std::vector<uint8_t> payload = {}) {
    std::vector<uint8_t> b(32, 0);
    StoreLe32(b.data(), handle);
    StoreLe32(b.data() + 4, operation);
    StoreLe32(b.data() + 8, type);
    StoreLe32(b.data() + 12, mode);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
  }
  void Receive(const std::vector<uint8_t>& b) { icmd.Receive(b.data(), uint32_t(b.size())); }
  ViewState& v0() { return icmd.View(0); }

  platform::ManualClock clock;
  TTevranoX form;
  int pacing = 0;
  RecorderContext ctx[2];
  ZellState zell[2];
  RecorderContext* contexts[2] = {&ctx[0], &ctx[1]};
  StreamStats stats[2];
  StreamContextLinks links[2];
  IcmdModule icmd;
  StreamSystem stream;
  ViewControl view;
  std::vector<uint32_t> modes;
};

TEST_F(ViewCommandTest, SplitLayoutsFillRecordOneAndResetEveryChannel) {
  struct Case {
    int channels;
    uint32_t layout, split, first;
  } cases[] = {
      {16, 16, 1, 0}, {16, 17, 1, 4}, {16, 18, 1, 8}, {16, 19, 1, 12},
      {16, 20, 2, 0}, {16, 21, 2, 9}, {16, 22, 3, 0}, {8, 18, 2, 0},
  };
  for (const Case& c : cases) {
    for (ChannelPacer& p : stream.Connection(0).Pacers) p.Resync = 0;
    view.ViewCommand(0, c.channels, kModeLive, 0, c.layout, false);
    auto sent = TakeSent();
    ASSERT_EQ(sent.size(), 1u) << c.layout;
    EXPECT_EQ(sent[0].operation, IcmdModule::kSet);
    EXPECT_EQ(sent[0].type, 256u);
    EXPECT_EQ(sent[0].handle, 500u);
    ASSERT_EQ(sent[0].payload.size(), 64u);
    EXPECT_EQ(sent[0].Word(0), c.split) << c.layout;
    EXPECT_EQ(sent[0].Word(1), c.first) << c.layout;
    EXPECT_EQ(sent[0].Word(3), 0u) << "no channel mask in a split";
    EXPECT_EQ(sent[0].Word(4), 704u);
    EXPECT_EQ(sent[0].Word(5), 576u);
    for (int ch = 0; ch < 17; ++ch)
      EXPECT_EQ(stream.Connection(0).Pacers[ch].Resync, 1u) << c.layout << " channel " << ch;
  }
}

TEST_F(ViewCommandTest, ASingleLiveChannelSetsItsMaskAndResetsOnlyItself) {
  for (ChannelPacer& p : stream.Connection(0).Pacers) p.Resync = 0;
  view.ViewCommand(0, 16, kModeLive, 0, 5, false);
  auto sent = TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Word(0), 0u);
  EXPECT_EQ(sent[0].Word(2), 5u);
  EXPECT_EQ(sent[0].Word(3), (1u << 5) | 0x80000000u);
  EXPECT_EQ(stream.Connection(0).Pacers[5].Resync, 1u);
  EXPECT_EQ(stream.Connection(0).Pacers[4].Resync, 0u);
}

TEST_F(ViewCommandTest, PlaybackStatesMapToPlayFlagAndDirection) {
  view.ViewCommand(0, 16, kModePlayback, 3, 5, false);
  auto sent = TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].type, 512u);
  EXPECT_EQ(sent[0].mode, kModePlayback);
  EXPECT_EQ(sent[0].Word(2), 5u);
  EXPECT_EQ(sent[0].Word(3), 1u);
  EXPECT_EQ(int32_t(sent[0].Word(4)), 1);
  view.ViewCommand(0, 16, kModePlayback, 1, 5, false);
  sent = TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Word(3), 0u);
  EXPECT_EQ(int32_t(sent[0].Word(4)), 0);
  EXPECT_EQ(sent[0].counter, 2u);
}

TEST_F(ViewCommandTest, ChangingThePlaybackChannelRestartsAtTheCurrentTime) {
  stream.Connection(0).Timestamp = 9000;
  view.ViewCommand(0, 16, kModePlayback, 3, 5, false);
  stream.Connection(0).Timestamp = 9500;
  view.ViewCommand(0, 16, kModePlayback, 3, 6, false);
  EXPECT_EQ(v0().Playback.StartTime, 9500u);
  EXPECT_EQ(v0().DisplayedPlaybackTime, 9500u);
}

TEST_F(ViewCommandTest, EnteringSetupSendsASettingsSetWithMaskZero) {
  uint32_t maskSeen = 99;
  icmd.GetHooks().buildSettingsPage = [&](ViewState&, uint32_t mask, uint8_t* out, uint32_t) {
    maskSeen = mask;
    out[0] = 0xAB;
    return 72u;
  };
  view.ViewCommand(0, 16, kModeSetup, 0, 0, false);
  auto sent = TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].type, 4096u);
  EXPECT_EQ(sent[0].operation, IcmdModule::kSet);
  EXPECT_EQ(maskSeen, 0u);
  EXPECT_EQ(sent[0].payload.size(), 72u);
  EXPECT_TRUE(form.PageControl1.visible);
}

TEST_F(ViewCommandTest, NoSendChangesTheViewQuietly) {
  view.ViewCommand(0, 16, kModeLive, 0, 3, true);
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(v0().Live.Channel, 3u);
}

TEST_F(ViewCommandTest, TheSpeedDomeButtonShowsOnlyForOneLiveChannel) {
  struct Case {
    uint32_t page, layout;
    bool button;
  } cases[] = {{kModeLive, 2, true},
               {kModeLive, 16, false},
               {kModePlayback, 2, false},
               {kModeLive, 7, true}};
  for (const Case& c : cases) {
    view.ViewCommand(0, 16, c.page, 0, c.layout, true);
    const bool shown = form.Image_SpeedDome_Off.visible || form.Image_SpeedDome_On.visible;
    EXPECT_EQ(shown, c.button) << c.page << "/" << c.layout;
    EXPECT_EQ(form.Image_SpeedDome_Disabled.visible, !c.button) << c.page << "/" << c.layout;
  }
}

TEST_F(ViewCommandTest, ABackupWhoseStartIsNotBeforeItsEndDoesNotStart) {
  int jobState = -1;
  view.GetHooks().setBackupJobState = [&](int s) { jobState = s; };
  v0().Backup.StartTime = 2000;
  v0().Backup.EndTime = 2000;
  EXPECT_EQ(view.SetBackupRunning(v0(), true, "/home/u/DVR_Backup"), 0u);
  EXPECT_EQ(jobState, 4);
  auto sent = TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].type, 1024u);
  EXPECT_EQ(sent[0].Word(3), 0u);

  v0().Backup.EndTime = 2600;
  EXPECT_EQ(view.SetBackupRunning(v0(), true, "/home/u/DVR_Backup"), 1u);
  EXPECT_EQ(jobState, 1);
  EXPECT_EQ(stream.Connection(0).Timestamp, 2000u);
  EXPECT_EQ(TakeSent().at(0).Word(3), 1u);
  EXPECT_EQ(view.SetBackupRunning(v0(), true, std::string(1025, 'a')), 0u);
}

TEST_F(ViewCommandTest, ReceivedRecordsAreStoredAndASetSwitchesOnlyToTheFourViews) {
  std::vector<uint8_t> record(64, 0);
  StoreLe32(record.data() + 8, 11);
  Receive(Body(500, IcmdModule::kSet, 512, kModePlayback, record));
  EXPECT_EQ(v0().Playback.Channel, 11u);
  EXPECT_EQ(modes, (std::vector<uint32_t>{kModePlayback}));
  EXPECT_EQ(v0().Mode, kModePlayback);
  Receive(Body(500, IcmdModule::kSet, 512, 7, record));
  Receive(Body(500, IcmdModule::kSet, 512, kModeFilePlayback, record));
  EXPECT_EQ(modes.size(), 1u);
  EXPECT_EQ(v0().Mode, kModePlayback);
  Receive(Body(500, IcmdModule::kData, 1024, kModeLive, record));
  EXPECT_EQ(v0().Backup.Channel, 11u);
  EXPECT_EQ(v0().Mode, kModePlayback) << "data does not switch the view";
}

TEST_F(ViewCommandTest, MalformedMessagesAreDropped) {
  std::vector<uint8_t> shortRecord(63, 1);
  Receive(Body(500, IcmdModule::kSet, 256, kModeLive, shortRecord));
  EXPECT_EQ(v0().Live.Width, 704u);
  Receive(Body(999, IcmdModule::kSet, 256, kModeLive, std::vector<uint8_t>(64, 1)));
  EXPECT_EQ(v0().Live.Width, 704u);
  Receive(Body(500, IcmdModule::kSet, 300, kModeLive, std::vector<uint8_t>(64, 1)));
  const std::vector<uint8_t> tiny(20, 0);
  Receive(tiny);
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_TRUE(modes.empty());
}

TEST_F(ViewCommandTest, ARequestIsAnsweredWithData) {
  Receive(Body(500, IcmdModule::kRequest, 1024, kModeLive));
  auto sent = TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].operation, IcmdModule::kData);
  EXPECT_EQ(sent[0].type, 1024u);
  EXPECT_EQ(sent[0].payload.size(), 64u);
}

TEST_F(ViewCommandTest, ReceivedSetsAreForwardedByType) {
  for (int i = 0; i < 2; ++i) {
    ctx[i].LoggedIn = 1;
    zell[i].Kind = 1;
  }
  Receive(Body(500, IcmdModule::kSet, 256, kModeLive, std::vector<uint8_t>(64, 0)));
  EXPECT_TRUE(TakeSent(0).empty()) << "not back to the sender";
  EXPECT_EQ(TakeSent(1).size(), 1u);
  Receive(Body(500, IcmdModule::kSet, 512, kModeLive, std::vector<uint8_t>(64, 0)));
  EXPECT_TRUE(TakeSent(0).empty());
  EXPECT_TRUE(TakeSent(1).empty());
  zell[1].Kind = 2;
  std::vector<uint8_t> page(72, 0);
  StoreLe32(page.data(), 0x10);
  uint32_t mask = 0;
  icmd.GetHooks().buildSettingsPage = [&](ViewState&, uint32_t m, uint8_t*, uint32_t) {
    mask = m;
    return 0u;
  };
  Receive(Body(500, IcmdModule::kSet, 4096, kModeSetup, page));
  EXPECT_EQ(TakeSent(0).size(), 1u) << "settings go to the sender too";
  auto toOther = TakeSent(1);
  ASSERT_EQ(toOther.size(), 1u);
  EXPECT_EQ(toOther[0].operation, IcmdModule::kData);
  EXPECT_EQ(mask, 0x10u);
}

TEST_F(ViewCommandTest, ARecordOneSetInLiveReachesTheLiveView) {
  LiveRecord seen{};
  icmd.GetHooks().liveViewChanged = [&](const LiveRecord& r) { seen = r; };
  std::vector<uint8_t> record(64, 0);
  StoreLe32(record.data(), 1);
  StoreLe32(record.data() + 4, 8);
  Receive(Body(500, IcmdModule::kSet, 256, kModeLive, record));
  EXPECT_EQ(seen.SplitKind, 1u);
  EXPECT_EQ(seen.FirstChannel, 8u);
}

}  // namespace
}  // namespace tevrano
