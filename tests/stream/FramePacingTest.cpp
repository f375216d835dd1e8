// Filtering, pacing, presentation and the view switches of the stream.
#include <algorithm>
#include <cstring>

#include "stream/ParamSetPrefix.h"
#include "tests/stream/StreamFixture.h"

namespace tevrano::test {
namespace {

using FramePacingTest = StreamFixture;

// Feeds one transport-framed packet and runs one parse step.
class PacedStream : public StreamFixture {
 protected:
  int Step(PacketSpec s) {
    s.sequence = ++sequence[s.channel];
    FeedTransport(s);
    return Parse();
  }
  PacketSpec Key() { return PacketSpec{}; }
  PacketSpec Predicted(uint32_t intervalMs = 40) {
    PacketSpec s;
    s.key = false;
    s.intervalMs = intervalMs;
    return s;
  }
  void EnterPlayback(uint32_t channel = 0) {
    view.Mode = kModePlayback;
    view.Playback.Channel = channel;
  }
  uint32_t sequence[17] = {};
};

TEST_F(PacedStream, AfterAGapPredictedFramesAreDroppedAndTheNextIFrameIsShownAtOnce) {
  PacketSpec s = Key();
  s.channel = 3;
  Step(s);
  ASSERT_EQ(decoded.size(), 1u);
  sequence[3] += 5;  // packets lost
  s = Predicted();
  s.channel = 3;
  clock.AdvanceMs(40);
  EXPECT_EQ(Step(s), 0);
  EXPECT_EQ(Step(s), 0);
  EXPECT_EQ(decoded.size(), 1u) << "predicted frames after the gap are not decoded";
  clock.AdvanceMs(5000);
  s = Key();
  s.channel = 3;
  s.intervalMs = 3000;
  EXPECT_EQ(Step(s), 1);
  EXPECT_EQ(decoded.size(), 2u);
  EXPECT_EQ(pacer(3).Due, ChannelClock(3)) << "the I-frame restarts the channel clock";
}

TEST_F(PacedStream, EarlyFramesWaitOrShowByModeAndDistance) {
  struct Case {
    const char* what;
    bool playback;
    uint32_t intervalMs;  // live: transport interval; playback: 20000 / rate field
    bool waits;
  } cases[] = {
      {"live 5 s early", false, 5000, true},
      {"live 15 s early", false, 15000, false},
      {"playback 5 s early", true, 5000, true},
      {"playback 20 s early", true, 20000, true},
  };
  for (const Case& c : cases) {
    SetUp();
    stream.ResetView(conn(), 0);
    decoded.clear();
    if (c.playback) EnterPlayback();
    PacketSpec key = Key();
    key.kind = c.playback ? 1 : 0;
    Step(key);
    ASSERT_EQ(decoded.size(), 1u) << c.what;
    PacketSpec p = Predicted(c.intervalMs);
    p.kind = key.kind;
    p.rateField = 20000 / c.intervalMs;
    clock.AdvanceMs(10);
    Step(p);
    EXPECT_EQ(conn().FrameLength != 0, c.waits) << c.what;
    EXPECT_EQ(decoded.size(), c.waits ? 1u : 2u) << c.what;
    stream.ResetView(conn(), 0);
    view.Mode = kModeLive;
  }
}

TEST_F(PacedStream, LateLiveFramesAreNeverMoreThan100MsBehind) {
  Step(Key());
  const uint32_t start = pacer(0).Due;
  clock.AdvanceMs(190);
  Step(Predicted(40));  // due at start + 40, 150 ms late
  EXPECT_EQ(pacer(0).Due, ChannelClock(0));
  const uint32_t due = pacer(0).Due;
  clock.AdvanceMs(120);
  Step(Predicted(40));  // due 80 ms ago
  EXPECT_EQ(pacer(0).Due, due + 40);
  EXPECT_EQ(decoded.size(), 3u);
  EXPECT_NE(start, due);
}

TEST_F(PacedStream, PlaybackFramesBehindTimeGetOneIntervalFromNow) {
  EnterPlayback();
  PacketSpec s = Key();
  s.kind = 1;
  Step(s);
  clock.AdvanceMs(500);
  s = Predicted();
  s.kind = 1;
  Step(s);
  EXPECT_EQ(pacer(0).Due, ChannelClock(0) + 40);
  EXPECT_EQ(conn().FrameLength != 0, false) << "66 ms of early tolerance";
}

TEST_F(PacedStream, LiveLagShortensTheIntervalAndAHugeLagShowsFramesAtOnce) {
  struct Case {
    uint32_t lagSeconds;
    uint32_t expectedAdvance;
  } cases[] = {{0, 40}, {60, 20}, {120, 0}, {100000, 0}};
  for (const Case& c : cases) {
    stream.ResetView(conn(), 0);
    Step(Key());
    const uint32_t due = pacer(0).Due;
    pacer(0).LatestSeconds = 1000 + c.lagSeconds;
    pacer(0).LatestFrame = 0;
    PacketSpec p = Predicted(40);
    p.lagSeconds = 1000;
    Step(p);
    EXPECT_EQ(pacer(0).Due, due + c.expectedAdvance) << c.lagSeconds;
    pacer(0).LatestSeconds = 0;
  }
}

TEST_F(PacedStream, AlternatingTimeOffsetCountsAsZeroUntilTheNextResync) {
  const uint32_t offsets[] = {3600, 7200, 3600, 7200, 3600};
  const uint32_t used[] = {3600, 7200, 3600, 0, 0};
  for (int i = 0; i < 5; ++i) {
    PacketSpec s = i == 0 ? Key() : Predicted();
    s.timeOffset = offsets[i];
    clock.AdvanceMs(40);
    Step(s);
    EXPECT_EQ(conn().Offset28Used, used[i]) << i;
    EXPECT_EQ(conn().Timestamp, 1000 + used[i]) << i;
  }
  stream.ResetView(conn(), 0);
  PacketSpec s = Key();
  s.timeOffset = 3600;
  Step(s);
  EXPECT_EQ(conn().Offset28Used, 3600u);
}

TEST_F(PacedStream, ASteadyTimeOffsetIsKeptAndTheLabelReturnsOnTheFourthPacket) {
  for (int i = 0; i < 5; ++i) {
    PacketSpec s = i == 0 ? Key() : Predicted();
    s.timeOffset = 60;
    clock.AdvanceMs(40);
    Step(s);
    EXPECT_EQ(conn().Timestamp, 1060u);
    EXPECT_EQ(form.Label_time.visible, i >= 3) << i;
  }
}

TEST_F(PacedStream, PacketsOfOtherCamerasAndKindsAreConsumedAndDropped) {
  EnterPlayback(2);
  PacketSpec other = Key();
  other.kind = 1;
  other.subChannel = 5;
  EXPECT_EQ(Step(other), 0);
  PacketSpec liveKind = Key();
  liveKind.subChannel = 2;
  EXPECT_EQ(Step(liveKind), 0);
  EXPECT_TRUE(decoded.empty());
  PacketSpec mine = Key();
  mine.kind = 1;
  mine.subChannel = 2;
  EXPECT_EQ(Step(mine), 1);
  EXPECT_EQ(decoded.size(), 1u);
  EXPECT_TRUE(conn().MainRing.Empty());
}

// After a pause the recorder's frames already under way still arrive; they
// must not move the picture or the playback time past the paused point.
TEST_F(PacedStream, FramesArrivingWhilePlaybackIsPausedAreConsumedAndNotShown) {
  struct Case {
    const char* what;
    uint32_t control;  // the playback buttons' state
    bool shown;
  } cases[] = {
      {"reverse", 0, true},
      {"forward", 3, true},
      {"pause", 1, false},
      {"unnamed state", 7, false},
  };
  for (const Case& c : cases) {
    SetUp();
    stream.ResetView(conn(), 0);
    decoded.clear();
    EnterPlayback();
    view.PlaybackControl = 3;
    PacketSpec s = Key();
    s.kind = 1;
    s.seconds = 5000;
    Step(s);
    ASSERT_EQ(decoded.size(), 1u) << c.what;
    ASSERT_EQ(view.DisplayedPlaybackTime, 5000u) << c.what;

    view.PlaybackControl = c.control;
    for (uint32_t i = 1; i <= 3; ++i) {
      clock.AdvanceMs(40);
      PacketSpec later = i == 1 ? Key() : Predicted();
      later.kind = 1;
      later.seconds = 5000 + 80 * i;
      Step(later);
    }
    EXPECT_EQ(decoded.size(), c.shown ? 4u : 1u) << c.what;
    EXPECT_EQ(view.DisplayedPlaybackTime, c.shown ? 5240u : 5000u) << c.what;
    EXPECT_EQ(conn().Timestamp, c.shown ? 5240u : 5000u) << c.what;
    EXPECT_TRUE(conn().MainRing.Empty()) << c.what << ": the packets are consumed";
  }
}

TEST_F(PacedStream, PlaybackResumedAfterAPauseShowsTheRecordersNextIFrame) {
  EnterPlayback();
  view.PlaybackControl = 3;
  PacketSpec s = Key();
  s.kind = 1;
  Step(s);
  view.PlaybackControl = 1;
  for (int i = 0; i < 2; ++i) {
    PacketSpec p = Predicted();
    p.kind = 1;
    Step(p);
  }
  ASSERT_EQ(decoded.size(), 1u);
  view.PlaybackControl = 3;
  clock.AdvanceMs(40);
  PacketSpec p = Predicted();
  p.kind = 1;
  Step(p);
  EXPECT_EQ(decoded.size(), 1u) << "a predicted frame cannot follow the dropped ones";
  s.seconds = 1000;
  Step(s);
  EXPECT_EQ(decoded.size(), 2u) << "the I-frame the recorder resumes with is shown";
}

TEST_F(PacedStream, Channel16IsShownOnlyLive) {
  EnterPlayback();
  PacketSpec s = Key();
  s.kind = 1;
  s.channel = 16;
  EXPECT_EQ(Step(s), 0);
  EXPECT_TRUE(decoded.empty());
}

TEST_F(PacedStream, TheDecoderGetsParameterSetsAndWholeNalUnitsWithoutPadding) {
  PacketSpec s = Key();
  s.payload = Nal(0x65, 30);  // 34 bytes, padded to 64 with the header
  Step(s);
  ASSERT_EQ(decoded.size(), 1u);
  uint8_t prefix[ParamSetPrefix::kMaxBytes];
  const uint32_t n = ParamSetPrefix::Build(44, 36, prefix);
  ASSERT_EQ(decoded[0].size(), n + 34);
  EXPECT_EQ(0, std::memcmp(decoded[0].data(), prefix, n));
  EXPECT_EQ(decoded[0][n + 4], 0x65);
  EXPECT_EQ(conn().KeyFrameInBuffer, 1u);
}

TEST_F(PacedStream, ANalLengthRunningPastTheUnitIsCutOff) {
  PacketSpec s = Predicted();
  auto first = Nal(0x41, 10);
  auto broken = Nal(0x41, 5000);
  broken.resize(20);
  s.payload = first;
  s.payload.insert(s.payload.end(), broken.begin(), broken.end());
  Step(Key());
  clock.AdvanceMs(40);
  Step(s);
  ASSERT_EQ(decoded.size(), 2u);
  EXPECT_EQ(decoded[1], first);
}

TEST_F(PacedStream, AnIFrameLetsDecodingStartOnEveryRecorder) {
  EXPECT_FALSE(stream.Picture().keyFrameSeen);
  Step(Key());
  EXPECT_TRUE(stream.Picture().keyFrameSeen);
  EXPECT_EQ(decoded.size(), 1u);
  EXPECT_EQ(stream.Picture().width, 704u);
  EXPECT_EQ(stream.Picture().height, 576u);
  EXPECT_EQ(stream.Picture().keyFrameHeight, 576u);
}

TEST_F(FramePacingTest, AMarkerSequenceGapStopsDecodingUntilTheNextIFrame) {
  UseMarkerFraming();
  uint32_t seq = 0;
  auto feed = [&](bool key, uint32_t advance = 1) {
    PacketSpec s;
    s.key = key;
    seq = (seq + advance) & 1023;
    s.sequence10 = seq;
    Feed(FrameBytes(s));
    clock.AdvanceMs(200);
    Parse();
  };
  feed(true);
  feed(false);
  EXPECT_EQ(decoded.size(), 2u);
  feed(false, 3);
  EXPECT_FALSE(stream.Picture().keyFrameSeen);
  feed(false);
  EXPECT_EQ(decoded.size(), 2u);
  feed(true);
  feed(false);
  EXPECT_EQ(decoded.size(), 4u);
}

TEST_F(FramePacingTest, PicturesAreOnlyPublishedFromAcceptedPackets) {
  PacketSpec s;
  s.kind = 1;  // not shown live
  s.widthMb = 22, s.heightMb = 18;
  FeedTransport(s);
  Parse();
  EXPECT_EQ(stream.Picture().width, 0u);
  EXPECT_FALSE(stream.Picture().keyFrameSeen);
  EXPECT_EQ(conn().KeyFrameInBuffer, 0u);
}

TEST_F(PacedStream, AFrameOfSeveralPacketsIsDecodedAsOneUnit) {
  // A NAL unit split over the first two packets, a third packet of its own.
  auto big = Nal(0x65, 150);
  PacketSpec first = Key();
  first.extraPackets = 2;
  first.payload.assign(big.begin(), big.begin() + 96);
  PacketSpec second = Key();
  second.payload.assign(big.begin() + 96, big.end());
  PacketSpec third = Key();
  third.payload = Nal(0x65, 40);
  EXPECT_EQ(Step(first), 0);
  EXPECT_EQ(Step(second), 0);
  EXPECT_TRUE(decoded.empty());
  EXPECT_EQ(Step(third), 1);
  ASSERT_EQ(decoded.size(), 1u);
  uint8_t prefix[ParamSetPrefix::kMaxBytes];
  const uint32_t n = ParamSetPrefix::Build(44, 36, prefix);
  std::vector<uint8_t> expected(prefix, prefix + n);
  expected.insert(expected.end(), big.begin(), big.end());
  expected.insert(expected.end(), third.payload.begin(), third.payload.end());
  EXPECT_EQ(decoded[0], expected);
}

TEST_F(PacedStream, AFrameBrokenByAnotherPacketIsDroppedAndItsChannelWaitsForAnIFrame) {
  PacketSpec first = Key();
  first.extraPackets = 1;
  Step(first);
  PacketSpec other = Key();
  other.channel = 5;
  Step(other);
  EXPECT_EQ(decoded.size(), 1u) << "only the other channel's frame";
  EXPECT_EQ(pacer(0).Resync, 1u);
  clock.AdvanceMs(40);
  EXPECT_EQ(Step(Predicted()), 0);
  EXPECT_EQ(decoded.size(), 1u);
}

TEST_F(PacedStream, ResetViewResetsOneChannelOrAll) {
  Step(Key());
  PacketSpec s = Key();
  s.channel = 4;
  Step(s);
  stats.DecodeTime[0] = stats.DecodeTime[4] = 9;
  FeedTransport(Key());
  stream.ResetView(conn(), 5);
  EXPECT_TRUE(conn().MainRing.Empty());
  EXPECT_EQ(pacer(4).Resync, 1u);
  EXPECT_EQ(pacer(0).Resync, 0u);
  EXPECT_EQ(stats.DecodeTime[4], 0u);
  EXPECT_EQ(stats.DecodeTime[0], 9u);
  EXPECT_EQ(stats.MainFreeAbove512K, conn().MainRing.UsableFree() - 0x80000);
  stream.ResetView(conn(), 40);  // beyond 17: channel 0
  EXPECT_EQ(pacer(0).Resync, 1u);
  pacer(0).Resync = 0;
  stream.ResetView(conn(), 0);
  for (int ch = 0; ch < 17; ++ch) EXPECT_EQ(pacer(ch).Resync, 1u) << ch;
}

TEST_F(PacedStream, PresentationWithoutADisplaySlotConsumesTheFrame) {
  links.displaySlot = -1;
  EXPECT_EQ(Step(Key()), 0);
  EXPECT_TRUE(decoded.empty());
  EXPECT_EQ(conn().FrameLength, 0u);
}

// In Backup mode a frame the backup job holds (its next file is not open
// yet) is offered to the job again before anything else is parsed; it is
// never shown and dropped in between.
TEST_F(FramePacingTest, ABackupFrameHeldByTheJobGoesBackToTheJob) {
  view.Mode = kModeBackup;
  std::vector<uint32_t> offered;  // seconds of each frame the job was handed
  bool hold = true;
  stream.Hooks().backupStep = [&](StreamConnection& c) {
    offered.push_back(LoadLe32(c.FrameBuffer.get() + 4));
    if (hold) return 1;  // kept pending
    c.FrameLength = 0;
    return 0;
  };
  PacketSpec first;
  first.kind = 1;
  first.seconds = 5000;
  PacketSpec second = first;
  second.sequence = 2;
  second.seconds = 5001;
  FeedTransport(first);
  FeedTransport(second);
  EXPECT_EQ(Parse(), 1);
  for (int i = 0; i < 3; ++i) {
    clock.AdvanceMs(200);
    EXPECT_EQ(Parse(), 1) << "the held frame keeps everything behind it";
  }
  EXPECT_TRUE(decoded.empty());
  EXPECT_EQ(offered, std::vector<uint32_t>(4, 5000u));
  hold = false;
  Parse();
  Parse();
  EXPECT_EQ(offered.back(), 5001u) << "once taken, the next frame follows";
  EXPECT_EQ(std::count(offered.begin(), offered.end(), 5000u), 5);
  EXPECT_TRUE(decoded.empty());
}

TEST_F(FramePacingTest, SetViewModeSwitchesCaptionsPagesAndPlaybackTime) {
  int cleared = -1;
  stream.Hooks().clearDeliveryQueue = [&](int context) { cleared = context; };
  EXPECT_EQ(stream.SetViewMode(view, kModeLive), 0);
  conn().Timestamp = 100000;
  EXPECT_EQ(stream.SetViewMode(view, kModePlayback), 1);
  EXPECT_EQ(form.Label_time.caption, "Playback");
  EXPECT_EQ(view.Playback.StartTime, 100000u - 30);
  EXPECT_EQ(view.SecondPlaybackTime, 100000u - 25);
  EXPECT_EQ(cleared, 0);
  EXPECT_EQ(pacer(7).Resync, 1u);
  stream.SetViewMode(view, kModeBackup);
  EXPECT_EQ(view.Playback.StartTime, 100000u - 30) << "only from Live 30 s back";
  EXPECT_TRUE(form.Label1.visible);
  stream.SetViewMode(view, kModeSetup);
  EXPECT_EQ(form.Label_time.caption, "Setup");
  EXPECT_TRUE(form.PageControl1.visible);
  EXPECT_EQ(form.PageControl1.activePageIndex, 0);
  EXPECT_FALSE(form.Label1.visible);
  stream.SetViewMode(view, kModeFilePlayback);
  EXPECT_EQ(form.Label_time.caption, "Setup");
  EXPECT_FALSE(form.PageControl1.visible);
}

TEST_F(FramePacingTest, PlaybackBuffersBetween64KiBAnd512KiBAndAnimatesTheLoader) {
  bool audioOn = true;
  int restarts = 0;
  stream.Hooks().audioSwitchedOn = [&] { return audioOn; };
  stream.Hooks().switchAudio = [&](bool on) { audioOn = on; };
  stream.Hooks().restartAudioOutput = [&] { ++restarts; };
  for (int i = 0; i < 8; ++i) stream.SetLoaderFrame(i, Bitmap(4, 4));
  view.Mode = kModePlayback;
  view.PlaybackControl = 2;
  Feed(std::vector<uint8_t>(0x8000, 0));
  EXPECT_EQ(Parse(), 1);
  EXPECT_TRUE(stream.Buffering());
  EXPECT_FALSE(audioOn);
  EXPECT_EQ(restarts, 1);
  EXPECT_TRUE(form.Image_Loader.visible);
  EXPECT_EQ(conn().MainRing.Used(), 0x8000u) << "buffering consumes nothing";
  pacingCounter = 3;
  const uint32_t revision = form.Image_Loader.revision;
  Parse();
  EXPECT_EQ(pacingCounter, 0);
  EXPECT_GT(form.Image_Loader.revision, revision);
  Feed(std::vector<uint8_t>(0x40000, 0));  // 288 KiB: still buffering
  Parse();
  EXPECT_TRUE(stream.Buffering());
  Feed(std::vector<uint8_t>(0x40000, 0));  // 544 KiB
  Parse();
  EXPECT_FALSE(stream.Buffering());
  EXPECT_TRUE(audioOn);
  EXPECT_FALSE(form.Image_Loader.visible);
}

// A packet that buffering holds back is peeked again on every pass; only
// taking it checks its counter, so the picture goes on after buffering.
TEST_F(FramePacingTest, AMarkerPacketHeldByBufferingKeepsItsPlaceInTheCount) {
  UseMarkerFraming();
  view.Mode = kModePlayback;
  view.PlaybackControl = 3;  // forward: plays without buffering
  uint32_t seq = 0;
  auto packet = [&](bool key, uint32_t nalBytes) {
    PacketSpec s;
    s.key = key;
    s.kind = 1;
    s.sequence10 = ++seq & 1023;
    s.payload = Nal(key ? 0x65 : 0x41, nalBytes);
    return FrameBytes(s);
  };
  Feed(packet(true, 20));
  Parse();
  ASSERT_EQ(decoded.size(), 1u);
  ASSERT_TRUE(stream.Picture().keyFrameSeen);

  view.PlaybackControl = 2;
  Feed(packet(false, 20));
  for (int pass = 0; pass < 5; ++pass) {
    clock.AdvanceMs(40);
    EXPECT_EQ(Parse(), 1);
    EXPECT_TRUE(stream.Buffering());
  }
  EXPECT_TRUE(stream.Picture().keyFrameSeen);
  for (int i = 0; i < 10; ++i) Feed(packet(false, 60000));  // past 512 KiB
  clock.AdvanceMs(40);
  Parse();
  EXPECT_FALSE(stream.Buffering());
  EXPECT_TRUE(stream.Picture().keyFrameSeen);
  EXPECT_EQ(decoded.size(), 2u) << "the held predicted frame is decoded";
}

TEST_F(FramePacingTest, BufferingStopsWhenThePlaybackButtonsNoLongerAskForIt) {
  view.Mode = kModePlayback;
  view.PlaybackControl = 2;
  Parse();
  ASSERT_TRUE(stream.Buffering());
  view.PlaybackControl = 1;
  Parse();
  EXPECT_FALSE(stream.Buffering());
}

}  // namespace
}  // namespace tevrano::test

namespace tevrano::test {
namespace {

TEST_F(FramePacingTest, AFrameOfManyPacketsIsShownInOnePass) {
  uint32_t sequence = 0;
  for (uint32_t i = 0; i < 6; ++i) {
    PacketSpec s;
    s.sequence = ++sequence;
    s.extraPackets = 5 - i;
    s.payload = Nal(0x65, 60);  // whole NAL units, padded
    FeedTransport(s);
  }
  stream.ParseStreams();
  ASSERT_EQ(decoded.size(), 1u);
  EXPECT_TRUE(conn().MainRing.Empty());
  uint8_t prefix[ParamSetPrefix::kMaxBytes];
  EXPECT_EQ(decoded[0].size(), ParamSetPrefix::Build(44, 36, prefix) + 6 * 64u)
      << "each packet's padding is left out";
}

}  // namespace
}  // namespace tevrano::test
