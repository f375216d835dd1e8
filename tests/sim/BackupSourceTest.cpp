// The backup stream: what a viewer's backup record makes the recorder send.
#include "BackupSource.h"

#include <gtest/gtest.h>

#include "Bytes.h"

namespace tevrano::sim {
namespace {

struct Packet {
  uint32_t seconds, frame, type, widthMbs, heightMbs, subChannel, more, frameType, streamKind,
      offset, counter;
  size_t size;
  int64_t At(int fps) const { return int64_t(seconds) * fps + frame; }
};

class BackupSourceTest : public ::testing::Test {
 protected:
  // Camera 3 (channel 2) recorded [T, T + 60) and [T + 100, T + 2400).
  static constexpr uint32_t T = 850000000;
  BackupSourceTest() {
    archive.Add(2, {T, T + 60});
    archive.Add(2, {T + 100, T + 2400});
  }

  RecordingArchive archive{16};
  LoopLibrary loops{25, 16};
  std::vector<Packet> sent;
  std::vector<BackupNote> notes;
  uint32_t generation = 0;
  int ticks = 0;

  BackupRequest Request(uint32_t start, uint32_t end, uint32_t state = 1) {
    return {2, state, start, end, ++generation};
  }
  BackupSettings Small() {
    BackupSettings s;
    s.sizes = {{352, 288}};
    return s;
  }
  void Run(BackupSource& source, const BackupRequest& r, int maxTicks = 100000) {
    for (int i = 0; i < maxTicks; ++i) {
      ++ticks;
      source.Tick(
          r, 1000, false,
          [&](const uint8_t* p, size_t n, const PacketInfo&) {
            ASSERT_EQ(GetLe16(p + 18) * 64u, n);
            sent.push_back({GetLe32(p + 4), p[8], uint32_t(p[11] >> 6), p[13], p[12],
                            uint32_t(p[14] >> 4), uint32_t(p[15] & 15), uint32_t(p[15] >> 4) & 3,
                            uint32_t(p[23] >> 5) & 3, GetLe32(p + 28),
                            uint32_t(GetLe16(p + 26) >> 6), n});
          },
          [&](const BackupNote& n) { notes.push_back(n); });
      if (!source.sending()) break;
    }
  }
  std::vector<Packet> Of(uint32_t type) const {
    std::vector<Packet> out;
    for (const Packet& p : sent)
      if (p.type == type) out.push_back(p);
    return out;
  }
};

TEST_F(BackupSourceTest, ASpanAcrossAGapStreamsVideoAndAudioOfTheRecordingsAndCloses) {
  BackupSource source(loops, archive, Small());
  Run(source, Request(T + 50, T + 110));
  const std::vector<Packet> video = Of(1), audio = Of(2);
  ASSERT_EQ(sent.size(), video.size() + audio.size());
  // 10 s before the gap, 10 s after it, and the closing I-frame.
  ASSERT_EQ(video.size(), 20u * 25 + 1);
  EXPECT_EQ(video.front().seconds, T + 50u);
  EXPECT_EQ(video.front().frameType, 0u);
  EXPECT_EQ(video[249].seconds, T + 59u);
  EXPECT_EQ(video[250].seconds, T + 100u);
  EXPECT_EQ(video.back().seconds, T + 110u);
  EXPECT_EQ(video.back().frame, 0u);
  EXPECT_EQ(video.back().frameType, 0u);
  for (size_t i = 1; i + 1 < video.size(); ++i)
    if (i != 250) EXPECT_EQ(video[i].At(25), video[i - 1].At(25) + 1) << i;
  for (const Packet& p : sent) {
    EXPECT_EQ(p.streamKind, 1u);
    EXPECT_EQ(p.subChannel, 2u);
    EXPECT_EQ(p.offset, 0u);
  }
  // 512 samples an audio packet: 20 s of sound is 312 whole packets, none
  // in the gap, each sent after the video frame whose time it reaches.
  EXPECT_EQ(audio.size(), 2u * (10 * 8000 / 512));
  for (const Packet& a : audio) {
    EXPECT_TRUE(a.seconds < T + 60 || (a.seconds >= T + 100 && a.seconds < T + 110)) << a.seconds;
    EXPECT_EQ(a.size, 32u + 528 * 2);
  }
  int64_t lastVideo = -1;
  for (const Packet& p : sent) {
    if (p.type == 1) lastVideo = p.At(25);
    if (p.type == 2) EXPECT_LE(p.At(25), lastVideo);
  }
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0].kind, BackupNote::Kind::Start);
  EXPECT_EQ(notes[1].kind, BackupNote::Kind::Gap);
  EXPECT_EQ(notes[1].to, T + 100);
  EXPECT_EQ(notes[2].kind, BackupNote::Kind::End);
  EXPECT_EQ(notes[2].videoFrames, video.size());

  // Nothing more until a new record comes.
  const size_t count = sent.size();
  source.Tick(
      BackupRequest{2, 1, T + 50, T + 110, generation}, 1000, false,
      [&](const uint8_t*, size_t, const PacketInfo&) { ADD_FAILURE(); }, [&](const BackupNote&) {});
  EXPECT_EQ(sent.size(), count);
}

TEST_F(BackupSourceTest, AFortyMinuteSpanGoesOutMuchFasterThanRealTime) {
  BackupSource source(loops, archive, Small());
  Run(source, Request(T + 100, T + 2500));
  // 2300 recorded seconds, then the closing frame (the span's end lies
  // beyond the recording).
  const std::vector<Packet> video = Of(1);
  ASSERT_EQ(video.size(), 2300u * 25 + 1);
  EXPECT_EQ(video.back().seconds, T + 2500u);
  // One tick is one frame slot: far fewer slots than frames.
  EXPECT_LT(ticks * 10, int(video.size()));
  EXPECT_EQ(notes.back().kind, BackupNote::Kind::End);
}

TEST_F(BackupSourceTest, SpeedLimitsFramesPerSlot) {
  BackupSettings s = Small();
  s.speed = 8;
  BackupSource source(loops, archive, s);
  Run(source, Request(T, T + 10));
  EXPECT_EQ(Of(1).size(), 10u * 25 + 1);
  EXPECT_EQ(ticks, (10 * 25 + 1 + 7) / 8);
}

TEST_F(BackupSourceTest, SizesChangeAtAnIFrameEverySoManyRecorderSeconds) {
  BackupSettings s = Small();
  s.sizes = {{352, 288}, {704, 576}};
  s.cycleSeconds = 4;
  BackupSource source(loops, archive, s);
  Run(source, Request(T, T + 10));
  const std::vector<Packet> video = Of(1);
  ASSERT_EQ(video.size(), 251u);
  for (const Packet& p : video) {
    const bool big = (p.seconds - T) / 4 % 2 == 1;
    if (p.seconds == T + 10) continue;  // the closing frame keeps the last size
    EXPECT_EQ(p.widthMbs, big ? 44u : 22u) << p.seconds;
    EXPECT_EQ(p.heightMbs, big ? 36u : 18u) << p.seconds;
  }
  for (size_t i = 1; i < video.size(); ++i)
    if (video[i].widthMbs != video[i - 1].widthMbs) EXPECT_EQ(video[i].frameType, 0u) << i;
}

TEST_F(BackupSourceTest, SplitFramesTimeOffsetAndCountersRunOn) {
  BackupSettings s = Small();
  s.splitFrames = 200;
  s.timeOffset = 3600;
  BackupSource source(loops, archive, s);
  Run(source, Request(T, T + 3));
  const std::vector<Packet> video = Of(1), audio = Of(2);
  bool split = false;
  for (size_t i = 0; i < video.size(); ++i) {
    EXPECT_EQ(video[i].offset, 3600u);
    if (i > 0) {
      EXPECT_EQ(video[i].counter, (video[i - 1].counter + 1) % 1024);
      // A frame's packets count down to 0 and share its time.
      if (video[i - 1].more > 0) {
        EXPECT_EQ(video[i].more, video[i - 1].more - 1);
        EXPECT_EQ(video[i].At(25), video[i - 1].At(25));
        split = true;
      }
    }
  }
  EXPECT_TRUE(split);
  for (size_t i = 1; i < audio.size(); ++i)
    EXPECT_EQ(audio[i].counter, (audio[i - 1].counter + 1) % 1024);
}

TEST_F(BackupSourceTest, AStallStopsTheStreamMidwayUntilTheNextRecord) {
  BackupSettings s = Small();
  s.stallAfter = 5;
  BackupSource source(loops, archive, s);
  Run(source, Request(T, T + 30));
  EXPECT_EQ(Of(1).size(), 5u * 25);
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes.back().kind, BackupNote::Kind::Stall);
  EXPECT_EQ(notes.back().from, T + 5);
}

TEST_F(BackupSourceTest, NothingIsSentForAStoppedEmptyOrBackwardSpan) {
  struct Case {
    uint32_t start, end, state;
    BackupNote::Kind kind;
  };
  const Case cases[] = {
      {T, T + 30, 0, BackupNote::Kind::Stopped},
      {T + 60, T + 100, 1, BackupNote::Kind::Empty},     // wholly in the gap
      {T + 3000, T + 4000, 1, BackupNote::Kind::Empty},  // after the last recording
      {T + 30, T + 30, 1, BackupNote::Kind::Empty},
      {T + 30, T + 10, 2, BackupNote::Kind::Empty},
  };
  for (const Case& c : cases) {
    BackupSource source(loops, archive, Small());
    sent.clear();
    notes.clear();
    Run(source, Request(c.start, c.end, c.state));
    EXPECT_TRUE(sent.empty());
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].kind, c.kind);
  }
}

}  // namespace
}  // namespace tevrano::sim
