#include "stream/PlaybackSearch.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/ByteReader.h"
#include "base/RecorderTime.h"
#include "net/ModuleTable.h"

namespace tevrano {
namespace {

using ui::PackRecorderTime;

struct Sent {
  uint32_t key, index, type, channel;
  uint32_t word0, word1;
  uint32_t length;
};

class PlaybackSearchTest : public ::testing::Test {
 protected:
  PlaybackSearchTest()
      : search(contexts, [this](RecorderContext&, const uint8_t* m, uint32_t n) {
          const uint8_t* b = m + kModuleHeaderSize;
          EXPECT_EQ(LoadLe32(m), n);
          EXPECT_EQ(LoadLe32(m + 4), PlaybackSearch::kTag);
          sent.push_back({LoadLe32(b), LoadLe32(b + 4), LoadLe32(b + 8), LoadLe32(b + 12),
                          LoadLe32(b + 32), LoadLe32(b + 36), n});
          return 0;
        }) {
    context.SessionId = 55;
    search.mapArrived = [this](int index) { arrived.push_back(index); };
  }

  // A type 1 answer: `marks` map bytes at even offsets, checksum given or
  // the right one, stated length given or the right one.
  std::vector<uint8_t> MapAnswer(uint32_t index, uint32_t channel,
                                 const std::vector<uint8_t>& marks, int64_t checksum = -1,
                                 int64_t stated = -1, uint32_t key = 55) {
    std::vector<uint8_t> body(32 + 72 + 2 * marks.size(), 0);
    StoreLe32(&body[0], key);
    StoreLe32(&body[4], index);
    StoreLe32(&body[8], 1);
    StoreLe32(&body[12], channel);
    uint32_t sum = 0;
    for (size_t k = 0; k < marks.size(); ++k) {
      body[32 + 72 + 2 * k] = marks[k];
      sum += marks[k];
    }
    StoreLe32(&body[32 + 8], stated >= 0 ? uint32_t(stated) : uint32_t(72 + 2 * marks.size()));
    StoreLe32(&body[32 + 12], checksum >= 0 ? uint32_t(checksum) : sum);
    return body;
  }
  void Receive(const std::vector<uint8_t>& body) {
    search.Receive(body.data(), uint32_t(body.size()));
  }

  RecorderContext context;
  RecorderContext* contexts[2] = {&context, nullptr};
  std::vector<Sent> sent;
  std::vector<int> arrived;
  PlaybackSearch search;
};

TEST(PlaybackSearchWindow, HalfHoursAroundTheHalfHourBeforeTheCurrentOne) {
  const uint32_t day = PackRecorderTime(2026, 3, 10);
  uint32_t start = 0, end = 0;
  // 10:17 → aligned 09:30, ±24 half-hours.
  PlaybackSearch::Window(7, day + 10 * 3600 + 17 * 60, start, end);
  EXPECT_EQ(start, day - 86400 + 21 * 3600 + 1800);
  EXPECT_EQ(end, day + 21 * 3600 + 1800);
  // 12:30, the calendar's time-bar reference → exactly the day.
  PlaybackSearch::Window(7, day + 45000, start, end);
  EXPECT_EQ(start, day);
  EXPECT_EQ(end, day + 86400);
  EXPECT_EQ((end - start) / 1800, 48u);
}

TEST(PlaybackSearchWindow, CalendarReferenceGivesTheFortyTwoGridDays) {
  const uint32_t firstCell = PackRecorderTime(2026, 2, 22);
  uint32_t start = 0, end = 0;
  PlaybackSearch::Window(4, firstCell + 1900800, start, end);
  EXPECT_EQ(start, firstCell);
  EXPECT_EQ(end, firstCell + 42 * 86400);
}

TEST_F(PlaybackSearchTest, WindowAnswerIsSentBackAsTheMapRequest) {
  const uint32_t day = PackRecorderTime(2026, 3, 10);
  search.PlaybackSearchTick(0, 3, PackRecorderTime(2026, 2, 22) + 1900800, day + 45000);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].index, 4u);
  EXPECT_EQ(sent[0].word0, PackRecorderTime(2026, 2, 22));
  EXPECT_EQ(sent[1].index, 7u);
  EXPECT_EQ(sent[1].word0, day);
  EXPECT_EQ(sent[1].word1, day + 86400);
  for (const Sent& s : sent) {
    EXPECT_EQ(s.key, 55u);
    EXPECT_EQ(s.type, 0u);
    EXPECT_EQ(s.channel, 3u);
    EXPECT_EQ(s.length, 32u + 32u + 72u);
  }

  std::vector<uint8_t> answer(32 + 72, 0);
  StoreLe32(&answer[0], 55);
  StoreLe32(&answer[4], 7);
  StoreLe32(&answer[12], 3);
  StoreLe32(&answer[32], 0xAAAA);
  StoreLe32(&answer[36], 0xBBBB);
  Receive(answer);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[2].type, 1u);
  EXPECT_EQ(sent[2].index, 7u);
  EXPECT_EQ(sent[2].channel, 3u);
  EXPECT_EQ(sent[2].word0, 0xAAAAu);
  EXPECT_EQ(sent[2].word1, 0xBBBBu);
}

TEST_F(PlaybackSearchTest, MapMarksCountOnlyTheLowFiveBits) {
  search.QueryWindow(0, 7, 2, 45000);
  std::vector<uint8_t> marks(48, 0);
  marks[0] = 0x01;
  marks[1] = 0x20;  // high bits only: empty
  marks[47] = 0x3F;
  Receive(MapAnswer(7, 2, marks));
  ASSERT_EQ(arrived, std::vector<int>{7});
  EXPECT_EQ(search.TimeBarSlots()[0], 1);
  EXPECT_EQ(search.TimeBarSlots()[1], 0);
  EXPECT_EQ(search.TimeBarSlots()[47], 1);

  search.QueryWindow(0, 4, 2, 1900800);
  std::vector<uint8_t> days(42, 0);
  days[41] = 4;
  Receive(MapAnswer(4, 2, days));
  EXPECT_EQ(search.CalendarDays()[41], 1);
  EXPECT_EQ(search.CalendarDays()[0], 0);
}

TEST_F(PlaybackSearchTest, RefusedMapsLeaveThePreviousFlags) {
  search.QueryWindow(0, 7, 2, 45000);
  std::vector<uint8_t> marks(48, 1);
  Receive(MapAnswer(7, 2, marks));
  ASSERT_EQ(search.TimeBarSlots()[5], 1);
  arrived.clear();
  const std::vector<uint8_t> empty(48, 0);
  struct Case {
    const char* what;
    std::vector<uint8_t> body;
  } cases[] = {
      {"wrong checksum", MapAnswer(7, 2, std::vector<uint8_t>(48, 0), 7)},
      {"length of 72", MapAnswer(7, 2, empty, 0, 72)},
      {"length beyond the body", MapAnswer(7, 2, empty, 0, 72 + 96 + 2)},
      {"fewer entries than slots", MapAnswer(7, 2, std::vector<uint8_t>(47, 0))},
      {"unknown key", MapAnswer(7, 2, empty, -1, -1, 99)},
      {"index above 7", MapAnswer(8, 2, empty)},
      {"another channel than asked", MapAnswer(7, 5, empty)},
      {"short body", std::vector<uint8_t>(20, 0)},
  };
  for (const Case& c : cases) {
    Receive(c.body);
    EXPECT_EQ(search.TimeBarSlots()[5], 1) << c.what;
  }
  EXPECT_TRUE(arrived.empty());
}

TEST_F(PlaybackSearchTest, QueriesForUnknownContextsOrIndexesAreRefused) {
  EXPECT_EQ(search.QueryWindow(1, 7, 0, 45000), -1);
  EXPECT_EQ(search.QueryWindow(0, 8, 0, 45000), -1);
  EXPECT_EQ(search.QueryWindow(0, -1, 0, 45000), -1);
  EXPECT_TRUE(sent.empty());
}

}  // namespace
}  // namespace tevrano
