// A backup span streamed by the real program, and the watermark answer.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "SimClient.h"

namespace tevrano::sim::test {
namespace {

// 2026-12-01 00:00:00 in recorder seconds.
constexpr uint32_t kDec1 = (26 * 365 + 6 + 334) * 86400u;

std::vector<uint8_t> BackupRecord(uint32_t session, uint32_t channel, uint32_t state,
                                  uint32_t start, uint32_t end, uint32_t counter) {
  std::vector<uint8_t> r(64, 0);
  PutLe32(&r[8], channel);
  PutLe32(&r[12], state);
  PutLe32(&r[16], start);
  PutLe32(&r[20], end);
  // "ICMD" set of type 1024 from a viewer in Backup (mode 2).
  return BuildModuleMessage(Tag("ICMD"), BuildSubHeaderBody(session, 2, r, {1024, 2, counter}));
}

std::vector<uint8_t> WatermarkAsk(uint32_t session, uint32_t channel) {
  std::vector<uint8_t> payload(256 + 4, 0);
  PutLe32(&payload[0], 260);
  std::memcpy(&payload[4], "Zell_Watermark_Var_R", 20);
  PutLe32(&payload[256], channel);
  return BuildModuleMessage(Tag("ICTL"), BuildSubHeaderBody(session, 0, payload, {0, 1}));
}

TEST(SimulatorBackup, ASpanStreamsWithAudioAcrossAGapToItsClosingFrame) {
  const std::string dir = ::testing::TempDir();
  const std::string archive = dir + "sim-backup-archive.json", log = dir + "sim-backup.jsonl";
  std::ofstream(archive) << R"({"channels": {"2": [["2026-12-01T08:00:00", "2026-12-01T08:00:20"],
                                                   ["2026-12-01T08:00:40", "2026-12-01T09:00:00"]]}})";
  SimProcess sim({"--archive", archive, "--log", log, "--resolution", "352x288", "--split-frames",
                  "600", "--backup-time-offset", "7"});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port()), stream(sim.port());
  const uint32_t session = Login(command);
  ASSERT_NE(session, 0u);
  stream.Send(StreamRequest());

  // The watermark of camera 2 first, as a viewer's backup job asks it.
  const std::vector<uint8_t> mark = PollFor(
      command, session, Tag("ICTL"),
      [](const std::vector<uint8_t>& b) { return ItemName(b) == "Zell_Watermark_Var_R"; }, 8000,
      WatermarkAsk(session, 1));
  ASSERT_EQ(mark.size(), 32u + 256 + 4);
  EXPECT_EQ(GetLe32(&mark[12]), 1u);  // notify
  EXPECT_EQ(GetLe32(&mark[32 + 256]), 0x57A70001u);

  const uint32_t from = kDec1 + 8 * 3600 + 10, to = kDec1 + 8 * 3600 + 60;
  command.Send(Frame(kExchange, session, 0, BackupRecord(session, 1, 1, from, to, 1)));
  std::vector<MarkerPacket> video, audio;
  bool closed = false;
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!closed && std::chrono::steady_clock::now() < until) {
    ASSERT_TRUE(stream.ReadSome(50));
    while (!closed) {
      MarkerPacket p;
      bool complete = false;
      ASSERT_TRUE(TakeMarkerPacket(stream.in, p, complete));
      if (!complete) break;
      if (p.streamKind != 1) continue;  // live video before the record arrived
      EXPECT_EQ(p.subChannel, 1u);
      (p.type == 1 ? video : audio).push_back(p);
      closed = p.type == 1 && p.seconds == to;
    }
  }
  ASSERT_TRUE(closed);
  // 10 s before the gap and 20 s after it, at 25 fps, each frame in one or
  // more packets; the closing frame.
  std::set<int64_t> frames;
  for (const MarkerPacket& p : video) frames.insert(int64_t(p.seconds) * 25 + p.frame);
  EXPECT_EQ(frames.size(), 30u * 25 + 1);
  EXPECT_GT(video.size(), frames.size());  // split into several packets
  EXPECT_EQ(audio.size(), 10u * 8000 / 512 + 20u * 8000 / 512);

  std::ifstream in(log);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const char* w : {"\"what\":\"start\",\"channel\":1,\"from\":\"2026-12-01T08:00:10\","
                        "\"to\":\"2026-12-01T08:01:00\",\"first\":\"2026-12-01T08:00:10\"",
                        "\"what\":\"gap\",\"channel\":1,\"last\":\"2026-12-01T08:00:19\","
                        "\"next\":\"2026-12-01T08:00:40\"",
                        "\"what\":\"end\",\"channel\":1,\"last\":\"2026-12-01T08:01:00\","
                        "\"video_frames\":751",
                        "\"watermark_channel\":1,\"watermark\":1470562305"})
    EXPECT_NE(text.find(w), std::string::npos) << w;
}

}  // namespace
}  // namespace tevrano::sim::test
