// Live events and the speed-dome preset table against the real program.
#include <gtest/gtest.h>

#include <fstream>

#include "SimClient.h"

namespace tevrano::sim::test {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The masks of a "Zell_LIVE_Event_W" write: alarm, motion, video loss.
EventMasks MasksOf(const std::vector<uint8_t>& body) {
  const size_t data = 32 + 256;
  return {GetLe32(&body[data + 72]), GetLe32(&body[data + 80]), GetLe32(&body[data + 88])};
}

bool IsEventItem(const std::vector<uint8_t>& b) {
  return ItemName(b) == "Zell_LIVE_Event_W";
}

TEST(SimulatorEvents, AnAlarmOptionIsReportedAfterLoginAsTheLiveEventItem) {
  SimProcess sim({"--alarm", "3", "--vloss", "16"});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  const uint32_t session = Login(command);
  ASSERT_NE(session, 0u);
  const std::vector<uint8_t> item = PollFor(command, session, Tag("ICTL"), IsEventItem);
  ASSERT_FALSE(item.empty());
  // Sub-header: SessionId, 0, type 0 (item write), notify 1.
  EXPECT_EQ(GetLe32(&item[0]), session);
  EXPECT_EQ(GetLe32(&item[8]), 0u);
  EXPECT_EQ(GetLe32(&item[12]), 1u);
  ASSERT_EQ(item.size(), 32u + 256 + 96);
  EXPECT_EQ(GetLe32(&item[32]), 256u + 96);
  EXPECT_EQ(MasksOf(item), (EventMasks{1u << 2, 0, 1u << 15}));
  // The three times are the same recorder time, that of the live pictures.
  const uint32_t t = GetLe32(&item[32 + 256 + 76]);
  EXPECT_GT(t, 0u);
  EXPECT_EQ(GetLe32(&item[32 + 256 + 84]), t);
  EXPECT_EQ(GetLe32(&item[32 + 256 + 92]), t);
}

TEST(SimulatorEvents, AScriptReportsEachChangeInOrder) {
  const std::string dir = ::testing::TempDir();
  const std::string script = dir + "sim-events.json", log = dir + "sim-events.jsonl";
  std::ofstream(script) << R"([{"at": 0, "channel": 2, "kind": "motion", "on": true},
                              {"at": 0.5, "channel": 4, "kind": "alarm", "on": true},
                              {"at": 1, "channel": 2, "kind": "motion", "on": false}])";
  SimProcess sim({"--events", script, "--channels", "4", "--log", log});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  const uint32_t session = Login(command);
  ASSERT_NE(session, 0u);
  // Each report is the whole state; wait for the last one and check that
  // every state seen on the way is one the script passes through.
  const std::vector<EventMasks> allowed = {{0, 2, 0}, {8, 2, 0}, {8, 0, 0}};
  std::vector<EventMasks> seen;
  const std::vector<uint8_t> last =
      PollFor(command, session, Tag("ICTL"), [&](const std::vector<uint8_t>& b) {
        if (!IsEventItem(b)) return false;
        seen.push_back(MasksOf(b));
        return seen.back() == allowed.back();
      });
  ASSERT_FALSE(last.empty());
  for (const EventMasks& m : seen)
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), m), allowed.end());
  const std::string text = ReadAll(log);
  EXPECT_NE(text.find("\"event\":\"live_event\",\"session\":" + std::to_string(session) +
                      ",\"alarm\":[4],\"motion\":[],\"vloss\":[]"),
            std::string::npos);
}

TEST(SimulatorEvents, BadEventOptionsExitWithStatusTwo) {
  const std::string script = ::testing::TempDir() + "sim-events-bad.json";
  std::ofstream(script) << R"([{"at": 1, "channel": 9, "kind": "alarm", "on": true}])";
  for (const std::string& bad :
       std::vector<std::string>{"--alarm 0", "--alarm 17", "--channels 4 --motion 5", "--vloss x",
                                "--dome-types 256", "--preset-marker maybe",
                                "--channels 8 --events " + script, "--events /nonexistent.json"}) {
    const std::string command = std::string(TEVRANO_SIM_PROGRAM) + " " + bad + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << bad;
  }
}

std::vector<uint8_t> Spdm(uint32_t session, uint32_t cls, uint32_t op,
                          const std::vector<uint8_t>& payload) {
  return BuildModuleMessage(
      Tag("SPDM"), BuildSubHeaderBody(session, cls, payload, {op, uint32_t(payload.size())}));
}

bool IsTable(const std::vector<uint8_t>& b) {
  return b.size() >= 16 && GetLe32(&b[8]) == 3;
}

TEST(SimulatorSpeedDome, OpenIsAnsweredWithTheStoredPresetTable) {
  const std::string log = ::testing::TempDir() + "sim-spdm-table.jsonl";
  SimProcess sim({"--dome-types", "0,1,2", "--log", log});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  const uint32_t session = Login(command);
  ASSERT_NE(session, 0u);

  std::vector<uint8_t> answer =
      PollFor(command, session, Tag("SPDM"), IsTable, 8000, Spdm(session, 0, 3, {}));
  ASSERT_EQ(answer.size(), 32u + 328);
  EXPECT_EQ(GetLe32(&answer[0]), session);
  EXPECT_EQ(GetLe32(&answer[4]), 0u);  // the class of the Open
  EXPECT_EQ(GetLe32(&answer[12]), 328u);
  const uint8_t* table = &answer[32];
  for (size_t i = 0; i < 100; ++i) EXPECT_EQ(table[i], 16) << i;  // no channel, mode 0
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(table + 100), 4), "Ufw3");
  EXPECT_EQ(table[104], 1);
  EXPECT_EQ(table[105], 1);
  for (size_t i = 106; i < 312; ++i) EXPECT_EQ(table[i], 0) << i;
  const uint8_t types[16] = {0, 1, 2};
  for (size_t ch = 0; ch < 16; ++ch) EXPECT_EQ(table[312 + ch], types[ch]) << ch;

  // The viewer stores a table: slot 1 on channel 3 in mode 1, slot 50 on
  // channel 0; slider bytes 4 and 7. The next Request gets it back.
  std::vector<uint8_t> stored(512, 0);
  std::fill(stored.begin(), stored.begin() + 100, uint8_t(16));
  stored[0] = 3 | 0x40;
  stored[49] = 0;
  std::memcpy(&stored[100], "Ufw3", 4);
  stored[104] = 4;
  stored[105] = 7;
  std::vector<uint8_t> messages = Spdm(session, 1, 2, stored);
  const std::vector<uint8_t> request = Spdm(session, 1, 3, std::vector<uint8_t>(512, 0));
  messages.insert(messages.end(), request.begin(), request.end());
  answer = PollFor(command, session, Tag("SPDM"), IsTable, 8000, messages);
  ASSERT_EQ(answer.size(), 32u + 328);
  EXPECT_EQ(GetLe32(&answer[4]), 1u);
  EXPECT_TRUE(std::equal(stored.begin(), stored.begin() + 112, answer.begin() + 32));

  const std::string text = ReadAll(log);
  EXPECT_NE(text.find("\"message\":\"preset table\",\"slots\":[[1,3,1],[50,0,0]],"
                      "\"marker\":\"Ufw3\",\"sliders\":[4,7]"),
            std::string::npos);
  EXPECT_NE(text.find("\"message\":\"open\",\"answer\":\"preset table\",\"answer_length\":328"),
            std::string::npos);
}

TEST(SimulatorSpeedDome, WithoutTheMarkerTheTableIsSentWithoutIt) {
  SimProcess sim({"--preset-marker", "no"});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  const uint32_t session = Login(command);
  ASSERT_NE(session, 0u);
  const std::vector<uint8_t> answer =
      PollFor(command, session, Tag("SPDM"), IsTable, 8000, Spdm(session, 0, 3, {}));
  ASSERT_EQ(answer.size(), 32u + 328);
  for (size_t i = 100; i < 104; ++i) EXPECT_EQ(answer[32 + i], 0) << i;
}

}  // namespace
}  // namespace tevrano::sim::test
