// What one viewer's stream carries from frame slot to frame slot.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Bytes.h"
#include "StreamSource.h"

namespace tevrano::sim {
namespace {

struct Sent {
  uint32_t type, counter, subChannel, frameType, widthMbs;
  std::vector<uint8_t> payload;
  PacketInfo info;
};

class StreamSourceTest : public ::testing::Test {
 protected:
  LoopLibrary loops{25, 16};
  StreamSource source{loops, 25, 16, 0};
  std::vector<Sent> sent;
  double now = 100;
  uint32_t slot = 0;

  void Tick(const LiveView& view, uint32_t minute = 1000, Resolution size = {352, 288},
            bool congested = false) {
    source.Tick(7000 + slot / 25, slot % 25, minute, view, size, now, congested,
                [&](const uint8_t* p, size_t n, const PacketInfo& info) {
                  ASSERT_GE(n, 32u);
                  ASSERT_EQ(n % 64, 0u);
                  ASSERT_EQ(GetLe16(p + 18) * 64u, n);
                  sent.push_back({uint32_t(p[11] >> 6), uint32_t(GetLe16(p + 26) >> 6),
                                  uint32_t(p[14] >> 4), uint32_t((p[15] >> 4) & 3), p[13],
                                  std::vector<uint8_t>(p + 32, p + n), info});
                });
    ++slot;
    now += 0.04;
  }
  std::vector<Sent> Video() const {
    std::vector<Sent> v;
    for (const Sent& s : sent)
      if (s.type == 1) v.push_back(s);
    return v;
  }
};

TEST_F(StreamSourceTest, OneChannelSendsVideoEverySlotAndAudioByTheClock) {
  for (int i = 0; i < 50; ++i) Tick({0, 0, 6});
  std::vector<Sent> video = Video();
  ASSERT_EQ(video.size(), 50u);
  EXPECT_EQ(video[0].frameType, 0u);  // starts with an I-frame
  EXPECT_EQ(video[25].frameType, 0u);
  EXPECT_EQ(video[1].frameType, 1u);
  int audio = 0;
  int lastVideo = -1, lastAudio = -1;
  for (const Sent& s : sent) {
    EXPECT_EQ(s.subChannel, 6u);
    int& last = s.type == 1 ? lastVideo : lastAudio;
    if (last >= 0) {
      EXPECT_EQ(uint32_t(last + 1) % 1024, s.counter);
    }
    last = int(s.counter);
    if (s.type == 2) {
      ++audio;
      EXPECT_EQ(s.payload.size(), size_t(kAudioPacketSamples) * 2);
    }
  }
  // 49 slots of 40 ms: 1.96 s of sound in packets of 64 ms.
  EXPECT_EQ(audio, 30);
}

TEST_F(StreamSourceTest, SplitViewGoesOnChannel16WithoutAudioAndRestartsAtAnIFrame) {
  for (int i = 0; i < 10; ++i) Tick({0, 0, 2});
  sent.clear();
  for (int i = 0; i < 10; ++i) Tick({1, 4, 0});
  ASSERT_EQ(sent.size(), 10u);
  EXPECT_EQ(sent[0].frameType, 0u);
  for (const Sent& s : sent) {
    EXPECT_EQ(s.type, 1u);
    EXPECT_EQ(s.info.channel, 16u);
  }
}

TEST_F(StreamSourceTest, CongestionLeavesAGapThenResumesWithAnIFrame) {
  for (int i = 0; i < 5; ++i) Tick({0, 0, 0});
  const uint32_t before = Video().back().counter;
  Tick({0, 0, 0}, 1000, {352, 288}, true);
  Tick({0, 0, 0}, 1000, {352, 288}, true);
  const size_t count = Video().size();
  Tick({0, 0, 0});
  ASSERT_EQ(Video().size(), count + 1);
  EXPECT_EQ(Video().back().frameType, 0u);
  EXPECT_EQ(Video().back().counter, (before + 2) % 1024);  // one number left out
}

TEST_F(StreamSourceTest, NextMinutesClockTakesOverAtTheLoopStart) {
  for (int i = 0; i < 10; ++i) Tick({0, 0, 1}, 1000);
  // The next minute's loop is made in the background; until it is ready,
  // and until the running loop comes round, the old one goes on.
  for (int i = 0; i < 400 && source.shownMinute() != 1001; ++i) {
    Tick({0, 0, 1}, 1001);
    if (source.shownMinute() != 1001) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(source.shownMinute(), 1001u);
  std::vector<Sent> video = Video();
  // The switch happened where the loop starts: after whole loops, with the
  // new loop's I-frame.
  EXPECT_EQ(video.size() % 50, 1u);
  EXPECT_EQ(video.back().frameType, 0u);
  EXPECT_NE(video.back().payload, video[0].payload);  // another clock drawn
}

TEST(LoopLibrary, TryGetIsNullUntilTheWorkerHasMadeTheLoop) {
  LoopLibrary loops(25, 16);
  const PictureKey key{352, 240, 0, 3, 5};
  LoopPtr first = loops.TryGet(key);
  LoopPtr ready;
  for (int i = 0; i < 500 && !ready; ++i) {
    ready = loops.TryGet(key);
    if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_NE(ready, nullptr);
  EXPECT_EQ(ready->frames.size(), 50u);
  EXPECT_EQ(loops.Get(key), ready);  // made once
  loops.ForgetBefore(6);
  EXPECT_NE(loops.Get(key), ready);      // forgotten: made again
  EXPECT_EQ(ready->frames.size(), 50u);  // the holder's copy lives on
}

}  // namespace
}  // namespace tevrano::sim
