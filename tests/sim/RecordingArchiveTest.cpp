// Recorder time, the recording archive (seeded and from JSON) and the
// recording search answers built from it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "PlaybackSearch.h"
#include "RecorderTime.h"
#include "RecordingArchive.h"
#include "Wire.h"

namespace tevrano::sim {
namespace {

constexpr uint32_t kDay = 86400;
// 2026-12-01 00:00:00: 26 years of 365 days, six leap days (2004 ... 2024),
// then January to November 2026 (334 days).
constexpr uint32_t kDec1 = (26 * 365 + 6 + 334) * kDay;

TEST(RecorderTime, PackingCountsTheCalendarAsTheRecorderDoes) {
  struct Case {
    const char* text;
    std::optional<uint32_t> seconds;
  } cases[] = {
      {"2000-01-01T00:00:10", 10},
      {"2000-03-01T00:00:00", (31 + 28) * kDay},  // 2000 has no 29 February
      {"2000-02-29T00:00:00", std::nullopt},
      {"2001-01-01T00:00:00", 365 * kDay},
      {"2004-02-29T12:00:00", (4 * 365 + 31 + 28) * kDay + 12 * 3600},
      {"2026-12-01T00:00:00", kDec1},
      {"2099-12-31T23:59:59", std::nullopt},  // filled in below
      {"1999-12-31T23:59:59", std::nullopt},
      {"2100-01-01T00:00:00", std::nullopt},
      {"2026-13-01T00:00:00", std::nullopt},
      {"2026-04-31T00:00:00", std::nullopt},
      {"2026-12-01T24:00:00", std::nullopt},
      {"2026-12-01 08:00:00", std::nullopt},
      {"2026-12-1T08:00:00", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    if (std::string(c.text) == "2099-12-31T23:59:59") {
      EXPECT_TRUE(ParseRecorderTime(c.text).has_value());
      continue;
    }
    EXPECT_EQ(ParseRecorderTime(c.text), c.seconds) << c.text;
    if (c.seconds) {
      EXPECT_EQ(FormatRecorderTime(*c.seconds), c.text);
    }
  }
  EXPECT_EQ(FormatRecorderTime(kDec1 - 1), "2026-11-30T23:59:59");
}

TEST(RecordingArchive, SeededArchiveIsTheSameForTheSameSeedAndWithinFiveWeeks) {
  const uint32_t now = kDec1 + 15 * 3600 + 17 * 60;
  const RecordingArchive a = RecordingArchive::Generate(7, now, 16);
  const RecordingArchive b = RecordingArchive::Generate(7, now, 16);
  const RecordingArchive other = RecordingArchive::Generate(8, now, 16);
  bool differs = false;
  int emptyDays = 0, recordedDays = 0;
  for (int ch = 0; ch < 16; ++ch) {
    EXPECT_EQ(a.Of(ch), b.Of(ch)) << "channel " << ch;
    differs |= a.Of(ch) != other.Of(ch);
    uint32_t lastEnd = 0;
    for (const Recording& r : a.Of(ch)) {
      EXPECT_GE(r.start, now - 35 * kDay);
      EXPECT_LE(r.end, now);
      EXPECT_LT(r.start, r.end);
      EXPECT_GT(r.start, lastEnd) << "periods sorted, apart, not touching";
      lastEnd = r.end;
    }
    // The last two hours are recorded on every channel.
    EXPECT_NE(a.Holding(ch, now - 2 * 3600), nullptr);
    EXPECT_NE(a.Holding(ch, now - 1), nullptr);
    for (uint32_t day = now - now % kDay - 34 * kDay; day < now - now % kDay; day += kDay)
      ++(a.Recorded(ch, day, day + kDay) ? recordedDays : emptyDays);
  }
  EXPECT_TRUE(differs) << "another seed, another archive";
  EXPECT_GT(emptyDays, 0);
  EXPECT_GT(recordedDays, 0);
}

TEST(RecordingArchive, JsonGivesThePeriodsExactlyJoiningOverlaps) {
  const std::string text = R"({"channels": {
      "1": [["2026-12-01T08:00:00", "2026-12-01T09:30:00"],
            ["2026-12-01T09:00:00", "2026-12-01T10:00:00"],
            ["2026-11-30T23:00:00", "2026-12-01T01:00:00"]],
      "16": [],
      "4": [["2026-12-02T00:00:00", "2026-12-02T00:00:01"]]}})";
  RecordingArchive a;
  std::string error;
  ASSERT_TRUE(RecordingArchive::FromJson(text, 16, a, error)) << error;
  const std::vector<Recording> one = {{kDec1 - 3600, kDec1 + 3600},
                                      {kDec1 + 8 * 3600, kDec1 + 10 * 3600}};
  EXPECT_EQ(a.Of(0), one);
  const std::vector<Recording> four = {{kDec1 + kDay, kDec1 + kDay + 1}};
  EXPECT_EQ(a.Of(3), four);
  EXPECT_TRUE(a.Of(1).empty());
  EXPECT_TRUE(a.Of(15).empty());
}

TEST(RecordingArchive, BadJsonIsRefusedWithWhatIsWrong) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "line 1: unexpected end"},
      {"{\"channels\": {}\n,}", "line 2: expected a member name"},
      {"[]", "not an object"},
      {"{}", "\"channels\" is missing"},
      {"{\"channel\": {}}", "unknown member \"channel\""},
      {"{\"channels\": []}", "not an object"},
      {"{\"channels\": {\"0\": []}}", "channel \"0\": not a camera number from 1 to 8"},
      {"{\"channels\": {\"9\": []}}", "channel \"9\": not a camera number"},
      {"{\"channels\": {\"01\": []}}", "channel \"01\": not a camera number"},
      {"{\"channels\": {\"one\": []}}", "channel \"one\""},
      {"{\"channels\": {\"1\": {}}}", "not a list of [start, end] pairs"},
      {"{\"channels\": {\"1\": [[\"2026-12-01T08:00:00\"]]}}", "period 1: not a pair"},
      {"{\"channels\": {\"1\": [[1, 2]]}}", "period 1: not a pair"},
      {"{\"channels\": {\"1\": [[\"2026-02-29T08:00:00\", \"2026-03-01T00:00:00\"]]}}",
       "\"2026-02-29T08:00:00\" is not a time"},
      {"{\"channels\": {\"1\": [[\"1999-12-31T08:00:00\", \"2026-03-01T00:00:00\"]]}}",
       "is not a time YYYY-MM-DDTHH:MM:SS of the years 2000 to 2099"},
      {"{\"channels\": {\"2\": [[\"2026-12-01T08:00:00\", \"2026-12-01T09:00:00\"], "
       "[\"2026-12-01T08:00:00\", \"2026-12-01T08:00:00\"]]}}",
       "channel \"2\", period 2: the end is not after the start"},
      {"{\"channels\": {\"1\": []}} x", "text after the end"},
      {"{\"channels\": {\"1\": [[\"a\u0001\", \"b\"]]}}", "control character"},
  };
  for (const Case& c : cases) {
    RecordingArchive a;
    std::string error;
    EXPECT_FALSE(RecordingArchive::FromJson(c.text, 8, a, error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " -> " << error;
  }
  // Deep nesting is refused, not recursed into.
  RecordingArchive a;
  std::string error;
  EXPECT_FALSE(RecordingArchive::FromJson(std::string(100000, '['), 8, a, error));
  EXPECT_NE(error.find("nested too deeply"), std::string::npos) << error;
}

TEST(RecordingArchive, ProgramRefusesABadArchiveFileWithExit2) {
  const std::string dir = ::testing::TempDir();
  struct Case {
    std::string content;
    const char* message;
  } cases[] = {
      {"{\"channels\": {\"17\": []}}", "channel \"17\": not a camera number from 1 to 16"},
      {"{\"channels\": ", "line 1: unexpected end of the text"},
  };
  for (const Case& c : cases) {
    const std::string path = dir + "sim-bad-archive.json", err = dir + "sim-bad-archive.err";
    std::ofstream(path) << c.content;
    const std::string command =
        std::string(TEVRANO_SIM_PROGRAM) + " --listen 127.0.0.2:1 --archive " + path + " 2>" + err;
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << c.content;
    std::stringstream text;
    text << std::ifstream(err).rdbuf();
    EXPECT_NE(text.str().find(c.message), std::string::npos) << text.str();
    EXPECT_NE(text.str().find(path), std::string::npos) << "names the file";
  }
  const std::string missing =
      std::string(TEVRANO_SIM_PROGRAM) + " --archive /nonexistent/archive.json 2>/dev/null";
  const int status = std::system(missing.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

// A search body as a viewer sends it: sub-header, then 72 bytes.
std::vector<uint8_t> Query(uint32_t key, uint32_t index, uint32_t type, uint32_t channel,
                           uint32_t v0, uint32_t v1) {
  std::vector<uint8_t> b(32 + 72, 0);
  PutLe32(&b[0], key);
  PutLe32(&b[4], index);
  PutLe32(&b[8], type);
  PutLe32(&b[12], channel);
  PutLe32(&b[32], v0);
  PutLe32(&b[36], v1);
  return b;
}

PbbaQuery Read(const std::vector<uint8_t>& body) {
  auto q = ReadPbbaQuery(ByteReader(body.data(), body.size()));
  EXPECT_TRUE(q.has_value());
  return q.value_or(PbbaQuery{});
}

TEST(PlaybackSearch, WindowAnswerSendsTheWindowBack) {
  const std::vector<uint8_t> body =
      PbbaWindowAnswer(Read(Query(0x1234, 7, 0, 2, kDec1, kDec1 + kDay)));
  std::vector<uint8_t> want(104, 0);
  want[0] = 0x34, want[1] = 0x12;  // key
  want[4] = 7;                     // index
  want[12] = 2;                    // channel; type 0
  PutLe32(&want[32], kDec1);
  PutLe32(&want[36], kDec1 + kDay);
  EXPECT_EQ(body, want);
}

TEST(PlaybackSearch, HalfHourMapMarksTheSlotsARecordingMeets) {
  RecordingArchive archive(16);
  // 08:00 to 09:10 on camera 1: the slots 08:00, 08:30 and 09:00 (16, 17, 18).
  archive.Add(0, {kDec1 + 8 * 3600, kDec1 + 9 * 3600 + 600});
  archive.Add(1, {kDec1, kDec1 + kDay});  // another camera: not in the map
  PbbaMap map;
  std::string error;
  const std::vector<uint8_t> body =
      PbbaMapAnswer(Read(Query(0xA0B0C0D0, 7, 1, 0, kDec1, kDec1 + kDay)), archive, map, error);
  // By hand: sub-header {key, 7, 1, 0}, head {start, end, L = 72 + 96 = 168,
  // checksum 3}, then 96 map bytes with 01 at 32, 34 and 36.
  std::vector<uint8_t> want(32 + 72 + 96, 0);
  want[0] = 0xD0, want[1] = 0xC0, want[2] = 0xB0, want[3] = 0xA0;
  want[4] = 7;
  want[8] = 1;
  PutLe32(&want[32], kDec1);
  PutLe32(&want[36], kDec1 + kDay);
  want[40] = 168;
  want[44] = 3;
  want[104 + 32] = 1;
  want[104 + 34] = 1;
  want[104 + 36] = 1;
  EXPECT_EQ(body, want);
  EXPECT_EQ(map.units, 48u);
  EXPECT_EQ(map.marks, std::string(16, '0') + "111" + std::string(29, '0'));
}

TEST(PlaybackSearch, CalendarMapMarksTheDaysOfFortyTwo) {
  RecordingArchive archive(4);
  const uint32_t first = kDec1 - 3 * kDay;                               // the page's first cell
  archive.Add(2, {first, first + 60});                                   // day 0
  archive.Add(2, {first + 5 * kDay + 86399, first + 6 * kDay});          // day 5's last second
  archive.Add(2, {first + 41 * kDay + 3600, first + 41 * kDay + 7200});  // day 41
  archive.Add(2, {first + 42 * kDay, first + 43 * kDay});                // after the page
  PbbaMap map;
  std::string error;
  const std::vector<uint8_t> body =
      PbbaMapAnswer(Read(Query(5, 4, 1, 2, first, first + 42 * kDay)), archive, map, error);
  ASSERT_EQ(body.size(), 32u + 72 + 84);
  EXPECT_EQ(GetLe32(&body[32 + 8]), 72u + 84);
  EXPECT_EQ(GetLe32(&body[32 + 12]), 3u);
  for (size_t day = 0; day < 42; ++day) {
    EXPECT_EQ(body[104 + 2 * day], day == 0 || day == 5 || day == 41 ? 1 : 0) << day;
    EXPECT_EQ(body[104 + 2 * day + 1], 0) << day;
  }
}

TEST(PlaybackSearch, WindowsNotToAnswerAreRefused) {
  RecordingArchive archive(16);
  struct Case {
    uint32_t index, v0, v1;
    const char* why;
  } cases[] = {
      {8, kDec1, kDec1 + kDay, "index above 7"}, {7, kDec1, kDec1, "end not after"},
      {7, kDec1 + 1, kDec1, "end not after"},    {0, kDec1, kDec1 + 541, "541 units"},
      {7, kDec1, kDec1 + 1799, "0 units"},
  };
  for (const Case& c : cases) {
    PbbaMap map;
    std::string error;
    EXPECT_TRUE(
        PbbaMapAnswer(Read(Query(1, c.index, 1, 0, c.v0, c.v1)), archive, map, error).empty());
    EXPECT_NE(error.find(c.why), std::string::npos) << error;
  }
  // A short body is no query.
  std::vector<uint8_t> shortBody(39, 0);
  EXPECT_FALSE(ReadPbbaQuery(ByteReader(shortBody.data(), shortBody.size())).has_value());
}

}  // namespace
}  // namespace tevrano::sim
