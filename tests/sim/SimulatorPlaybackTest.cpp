// The recording search and playback against the real program: a scripted
// viewer asks for the half-hours of a day and plays a recording.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "SimClient.h"

namespace tevrano::sim::test {
namespace {

// 2026-12-01 00:00:00 in recorder seconds.
constexpr uint32_t kDec1 = (26 * 365 + 6 + 334) * 86400u;

std::vector<uint8_t> Pbba(uint32_t session, uint32_t index, uint32_t type, uint32_t channel,
                          uint32_t v0, uint32_t v1) {
  std::vector<uint8_t> payload(72, 0);
  PutLe32(&payload[0], v0);
  PutLe32(&payload[4], v1);
  return BuildModuleMessage(Tag("PBBA"),
                            BuildSubHeaderBody(session, index, payload, {type, channel}));
}

std::vector<uint8_t> PlaybackRecord(uint32_t session, uint32_t channel, uint32_t flag,
                                    int32_t direction, uint32_t start, uint32_t counter) {
  std::vector<uint8_t> r(64, 0);
  PutLe32(&r[8], channel);
  PutLe32(&r[12], flag);
  PutLe32(&r[16], uint32_t(direction));
  PutLe32(&r[20], start);
  // "ICMD" set of type 512 from a viewer in Playback (mode 1).
  return BuildModuleMessage(Tag("ICMD"), BuildSubHeaderBody(session, 2, r, {512, 1, counter}));
}

// The "PBBA" answer in an exchange's answer.
std::vector<uint8_t> Exchange(Socket& s, uint32_t session, const std::vector<uint8_t>& module) {
  s.Send(Frame(kExchange, session, 0, module));
  std::vector<uint8_t> body;
  for (int i = 0; i < 5 && AwaitAnswer(s, body); ++i) {
    for (const Module& m : ModulesOf(body))
      if (m.tag == Tag("PBBA")) return m.body;
    s.Send(Frame(kPoll, session, 0, {}));
  }
  return {};
}

// Reads video packets until `done` says so or the time is up.
bool ReadVideoUntil(Socket& stream, const std::function<bool(const MarkerPacket&)>& done,
                    int timeoutMs = 15000) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < until) {
    if (!stream.ReadSome(50)) return false;
    while (true) {
      MarkerPacket p;
      bool complete = false;
      if (!TakeMarkerPacket(stream.in, p, complete)) return false;
      if (!complete) break;
      if (p.type == 1 && done(p)) return true;
    }
  }
  return false;
}

TEST(SimulatorPlayback, SearchAnswersFromTheArchiveAndPlaybackFollowsTheRecord) {
  const std::string dir = ::testing::TempDir();
  const std::string archive = dir + "sim-playback-archive.json", log = dir + "sim-playback.jsonl";
  std::ofstream(archive)
      << R"({"channels": {"2": [["2026-12-01T08:00:00", "2026-12-01T09:10:00"]]}})";
  SimProcess sim({"--archive", archive, "--log", log, "--resolution", "352x288"});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port()), stream(sim.port());
  const uint32_t session = Login(command);
  ASSERT_NE(session, 0u);

  // Step one: the window comes back; step two: the map for it.
  std::vector<uint8_t> window =
      Exchange(command, session, Pbba(session, 7, 0, 1, kDec1, kDec1 + 86400));
  ASSERT_EQ(window.size(), 32u + 72);
  EXPECT_EQ(GetLe32(&window[0]), session);
  EXPECT_EQ(GetLe32(&window[4]), 7u);
  EXPECT_EQ(GetLe32(&window[8]), 0u);
  EXPECT_EQ(GetLe32(&window[12]), 1u);
  std::vector<uint8_t> map = Exchange(
      command, session, Pbba(session, 7, 1, 1, GetLe32(&window[32]), GetLe32(&window[36])));
  ASSERT_EQ(map.size(), 32u + 72 + 96);
  EXPECT_EQ(GetLe32(&map[8]), 1u);
  EXPECT_EQ(GetLe32(&map[32 + 8]), 168u);
  EXPECT_EQ(GetLe32(&map[32 + 12]), 3u);
  for (size_t k = 0; k < 48; ++k)
    EXPECT_EQ(map[104 + 2 * k], k >= 16 && k <= 18 ? 1 : 0) << "slot " << k;

  // Playback of camera 2 from 08:10:00, forwards.
  stream.Send(StreamRequest());
  const uint32_t from = kDec1 + 8 * 3600 + 600;
  command.Send(Frame(kExchange, session, 0, PlaybackRecord(session, 1, 1, 0, from, 1)));
  std::vector<MarkerPacket> played;
  EXPECT_TRUE(ReadVideoUntil(stream, [&](const MarkerPacket& p) {
    if (p.streamKind != 1) return false;
    played.push_back(p);
    return played.size() >= 30;
  }));
  ASSERT_GE(played.size(), 30u);
  EXPECT_EQ(played[0].seconds, from);
  EXPECT_EQ(played[0].frame, 0u);
  EXPECT_EQ(played[0].frameType, 0u);
  for (size_t i = 0; i < played.size(); ++i) {
    EXPECT_EQ(played[i].subChannel, 1u);
    if (i) {
      EXPECT_EQ(int64_t(played[i].seconds) * 25 + played[i].frame,
                int64_t(played[i - 1].seconds) * 25 + played[i - 1].frame + 1);
    }
  }

  // Backwards from 08:30:00: the stream starts again there, times falling.
  const uint32_t back = kDec1 + 8 * 3600 + 1800;
  command.Send(Frame(kExchange, session, 0, PlaybackRecord(session, 1, 1, -1, back, 2)));
  std::vector<MarkerPacket> reversed;
  EXPECT_TRUE(ReadVideoUntil(stream, [&](const MarkerPacket& p) {
    if (reversed.empty() && !(p.seconds == back && p.frame == 0)) return false;
    reversed.push_back(p);
    return reversed.size() >= 10;
  }));
  ASSERT_GE(reversed.size(), 10u);
  for (size_t i = 1; i < reversed.size(); ++i)
    EXPECT_EQ(int64_t(reversed[i].seconds) * 25 + reversed[i].frame,
              int64_t(reversed[i - 1].seconds) * 25 + reversed[i - 1].frame - 4);

  // The log holds the search and the records decoded.
  std::vector<std::string> wanted = {
      "\"query\":\"window\",\"unit_seconds\":1800,\"window_start\":\"2026-12-01T00:00:00\","
      "\"window_end\":\"2026-12-02T00:00:00\"",
      "\"query\":\"map\"",
      "\"marks\":\"" + std::string(16, '0') + "111" + std::string(29, '0') + "\"",
      "\"playback_channel\":1,\"play_flag\":1,\"direction\":-1,\"start_seconds\":" +
          std::to_string(back) + ",\"start_time\":\"2026-12-01T08:30:00\"",
      "\"event\":\"playback\"",
      "\"what\":\"start\",\"channel\":1,\"asked\":\"2026-12-01T08:10:00\"",
      "\"event\":\"archive\",\"channels\":{\"1\":[],\"2\":[[\"2026-12-01T08:00:00\","
      "\"2026-12-01T09:10:00\"]]",
  };
  std::ifstream in(log);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const std::string& w : wanted) EXPECT_NE(text.find(w), std::string::npos) << w;
}

TEST(SimulatorSpeedDome, EverySpeedDomeMessageIsLoggedDecoded) {
  const std::string log = ::testing::TempDir() + "sim-spdm.jsonl";
  {
    SimProcess sim({"--log", log});
    ASSERT_TRUE(sim.running());
    Socket command(sim.port());
    const uint32_t session = Login(command);
    ASSERT_NE(session, 0u);
    auto spdm = [&](uint32_t cls, uint32_t op, std::vector<uint32_t> words) {
      std::vector<uint8_t> payload(cls == 1 ? 512 : 0, 0);
      for (size_t i = 0; i < words.size(); ++i) PutLe32(&payload[4 * i], words[i]);
      return BuildModuleMessage(
          Tag("SPDM"), BuildSubHeaderBody(session, cls, payload, {op, uint32_t(payload.size())}));
    };
    std::vector<uint8_t> messages;
    for (const auto& m : {spdm(1, 0, {5, 0, 0, 0, 0, 0, 3, 0, 7, uint32_t(-2)}),
                          spdm(1, 1, {uint32_t(-2), 4, 5, 3}), spdm(1, 3, {}), spdm(0, 3, {})})
      messages.insert(messages.end(), m.begin(), m.end());
    command.Send(Frame(kExchange, session, 0, messages));
    std::vector<uint8_t> body;
    ASSERT_TRUE(AwaitAnswer(command, body));
  }
  std::ifstream in(log);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const char* w :
       {"\"class\":1,\"operation\":0,\"payload_length\":512,\"message\":\"command\",\"code\":5,"
        "\"arguments\":[0,0,0,0,0],\"channel\":3,\"parameter\":0,\"preset\":7,\"direction\":-2",
        "\"message\":\"move\",\"pan_speed\":-2,\"tilt_speed\":4,\"motion\":5,\"channel\":3",
        "\"class\":1,\"operation\":3,\"payload_length\":512,\"message\":\"request\"",
        "\"class\":0,\"operation\":3,\"payload_length\":0,\"message\":\"open\""})
    EXPECT_NE(text.find(w), std::string::npos) << w;
}

}  // namespace
}  // namespace tevrano::sim::test
