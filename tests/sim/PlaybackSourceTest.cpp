// The playback stream: what a viewer's playback record makes the recorder
// send, frame slot by frame slot.
#include <gtest/gtest.h>

#include <algorithm>

#include "Bytes.h"
#include "PlaybackSource.h"
#include "RecorderTime.h"

namespace tevrano::sim {
namespace {

struct Header {
  uint32_t seconds, frame, streamKind, subChannel, frameType, type;
  int64_t At(int fps) const { return int64_t(seconds) * fps + frame; }
};

class PlaybackSourceTest : public ::testing::Test {
 protected:
  // Camera 4 (channel 3) recorded [T, T + 60) and [T + 120, T + 180).
  static constexpr uint32_t T = 850000000;
  PlaybackSourceTest() {
    archive.Add(3, {T, T + 60});
    archive.Add(3, {T + 120, T + 180});
  }

  RecordingArchive archive{16};
  LoopLibrary loops{25, 16};
  PlaybackSource source{loops, archive, 25, 0};
  std::vector<Header> sent;
  std::vector<PlaybackNote> notes;
  uint64_t slot = 1;
  uint32_t generation = 0;
  size_t bytes = 0;
  std::vector<size_t> sizes;  // of each packet (one a frame here)

  PlaybackRequest Request(uint32_t flag, int32_t direction, uint32_t start) {
    return {3, flag, direction, start, ++generation};
  }
  void Tick(const PlaybackRequest& r, int slots = 1) {
    for (int i = 0; i < slots; ++i) {
      source.Tick(
          r, slot++, {352, 288}, 1000, false,
          [&](const uint8_t* p, size_t n, const PacketInfo&) {
            ASSERT_EQ(GetLe16(p + 18) * 64u, n);
            bytes += n;
            sizes.push_back(n);
            sent.push_back({GetLe32(p + 4), p[8], uint32_t(p[23] >> 5) & 3, uint32_t(p[14] >> 4),
                            uint32_t(p[15] >> 4) & 3, uint32_t(p[11] >> 6)});
          },
          [&](const PlaybackNote& n) { notes.push_back(n); });
    }
  }
  // Sends until at least n frames went out.
  void TickUntil(const PlaybackRequest& r, size_t n) {
    for (int i = 0; i < 10000 && sent.size() < n; ++i) Tick(r);
  }
};

TEST_F(PlaybackSourceTest, ForwardsFromTheStartTimeAsPlaybackOfTheChannel) {
  const PlaybackRequest r = Request(1, 0, T + 10);
  TickUntil(r, 60);
  ASSERT_GE(sent.size(), 60u);
  EXPECT_EQ(sent[0].seconds, T + 10);
  EXPECT_EQ(sent[0].frame, 0u);
  EXPECT_EQ(sent[0].frameType, 0u) << "starts with an I-frame";
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].type, 1u);
    EXPECT_EQ(sent[i].streamKind, 1u);
    EXPECT_EQ(sent[i].subChannel, 3u);
    if (i) {
      EXPECT_EQ(sent[i].At(25), sent[i - 1].At(25) + 1) << i;
    }
  }
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes[0].kind, PlaybackNote::Kind::Start);
  EXPECT_EQ(notes[0].to, T + 10);
}

TEST_F(PlaybackSourceTest, TimesPerDirection) {
  struct Case {
    uint32_t flag;
    int32_t direction;
    int64_t step;  // frames of recorder time from one frame to the next
  } cases[] = {{1, 0, 1}, {2, 0, 1}, {1, 1, 4}, {1, -1, -4}};
  for (const Case& c : cases) {
    sent.clear();
    const PlaybackRequest r = Request(c.flag, c.direction, T + 30);
    TickUntil(r, 20);
    ASSERT_GE(sent.size(), 20u);
    EXPECT_EQ(sent[0].At(25), int64_t(T + 30) * 25);
    for (size_t i = 1; i < 20; ++i)
      EXPECT_EQ(sent[i].At(25) - sent[i - 1].At(25), c.step) << c.direction << " at " << i;
  }
}

TEST_F(PlaybackSourceTest, StoppedSendsNothingUntilPlayedAgain) {
  TickUntil(Request(1, 0, T), 10);
  sent.clear();
  const PlaybackRequest stop = Request(0, 0, T + 5);
  Tick(stop, 100);
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(notes.back().kind, PlaybackNote::Kind::Stopped);
  EXPECT_FALSE(source.playing());
  TickUntil(Request(1, 0, T + 5), 1);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0].seconds, T + 5);
  EXPECT_EQ(sent[0].frameType, 0u);
}

TEST_F(PlaybackSourceTest, GapsAreJumpedAndTheEndStopsTheStream) {
  struct Case {
    int32_t direction;
    uint32_t start;
    int64_t firstAt;              // the first frame's time, in frames
    int64_t beforeGap, afterGap;  // the two frames around the jump
  } cases[] = {
      {0, T + 59, int64_t(T + 59) * 25, int64_t(T + 59) * 25 + 24, int64_t(T + 120) * 25},
      {-1, T + 121, int64_t(T + 121) * 25, int64_t(T + 120) * 25 + 1, int64_t(T + 59) * 25 + 24},
      // Starting in a gap: at the next recording that way.
      {0, T + 90, int64_t(T + 120) * 25, -1, -1},
      {-1, T + 90, int64_t(T + 59) * 25 + 24, -1, -1},
  };
  for (const Case& c : cases) {
    sent.clear();
    notes.clear();
    TickUntil(Request(1, c.direction, c.start), 40);
    ASSERT_GE(sent.size(), 40u);
    EXPECT_EQ(sent[0].At(25), c.firstAt) << c.start;
    if (c.beforeGap < 0) continue;
    bool jumped = false;
    for (size_t i = 1; i < sent.size(); ++i)
      if (sent[i - 1].At(25) == c.beforeGap) {
        EXPECT_EQ(sent[i].At(25), c.afterGap);
        jumped = true;
      }
    EXPECT_TRUE(jumped) << c.direction;
    bool noted = false;
    for (const PlaybackNote& n : notes) noted |= n.kind == PlaybackNote::Kind::Gap;
    EXPECT_TRUE(noted);
  }
  // Forwards past the last recording, and backwards past the first.
  for (auto [direction, start] : {std::pair{0, T + 178}, std::pair{-1, T + 1}}) {
    sent.clear();
    notes.clear();
    const PlaybackRequest r = Request(1, direction, start);
    Tick(r, 200);
    EXPECT_FALSE(source.playing());
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(notes.back().kind, PlaybackNote::Kind::End);
    const size_t count = sent.size();
    Tick(r, 50);
    EXPECT_EQ(sent.size(), count) << "nothing after the end";
    for (const Header& h : sent) EXPECT_TRUE(archive.Holding(3, h.seconds)) << h.seconds;
  }
}

TEST_F(PlaybackSourceTest, RunsAheadOfTheViewerByTheLeadOnly) {
  // A viewer shows one frame a slot; what it holds (frames sent, not yet
  // shown) reaches the lead at once and never grows much beyond it.
  archive.Add(5, {T, T + 3600});
  const PlaybackRequest r{5, 1, 0, T, ++generation};
  size_t slots = 0, flowing = 0;
  for (int i = 0; i < 300; ++i) {
    const size_t before = bytes, frames = sent.size();
    Tick(r);
    ++slots;
    const size_t largest = sizes.empty() ? 0 : *std::max_element(sizes.begin(), sizes.end());
    EXPECT_LE(bytes - before, PlaybackSource::kBurstBytes + largest) << "one burst";
    size_t held = 0;
    for (size_t k = std::min(slots - 1, sizes.size()); k < sizes.size(); ++k) held += sizes[k];
    EXPECT_LE(held, PlaybackSource::kLeadBytes + largest);
    if (i >= 100) flowing += sent.size() - frames;
  }
  EXPECT_GT(bytes, PlaybackSource::kLeadBytes) << "the viewer's buffering threshold is reached";
  // Once the lead is out, about one frame a slot follows.
  EXPECT_GE(flowing, 150u);
  EXPECT_LE(flowing, 250u);
}

}  // namespace
}  // namespace tevrano::sim
