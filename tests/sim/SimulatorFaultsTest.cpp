// The simulator's switches for the reliability and size-change tests, its
// log, and several viewers at once.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "SimClient.h"

namespace tevrano::sim::test {
namespace {

struct Received {
  std::vector<MarkerPacket> packets;
  int garbageRuns = 0;  // stretches of bytes between packets that were not a packet
  bool closed = false;
};

// Reads marker packets until `wantVideo` video packets or the time is up;
// bytes that are not a packet start are skipped up to the next one.
Received ReadPackets(Socket& stream, int wantVideo, int timeoutMs = 10000) {
  Received r;
  int video = 0;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (video < wantVideo && std::chrono::steady_clock::now() < until) {
    if (!stream.ReadSome(50)) {
      r.closed = true;
      break;
    }
    while (true) {
      MarkerPacket p;
      bool complete = false;
      if (!TakeMarkerPacket(stream.in, p, complete)) {
        size_t skip = 1;
        while (skip + 3 < stream.in.size() &&
               !(stream.in[skip] == 0 && stream.in[skip + 1] == 0 && stream.in[skip + 2] == 0 &&
                 stream.in[skip + 3] == 3))
          ++skip;
        stream.in.erase(stream.in.begin(), stream.in.begin() + ptrdiff_t(skip));
        ++r.garbageRuns;
        continue;
      }
      if (!complete) break;
      if (p.type == 1) ++video;
      r.packets.push_back(std::move(p));
    }
  }
  return r;
}

bool CountersContinuous(const std::vector<MarkerPacket>& packets) {
  int last[3] = {-1, -1, -1};
  for (const MarkerPacket& p : packets) {
    int& l = last[p.type & 3];
    if (l >= 0 && uint32_t(l + 1) % 1024 != p.counter) return false;
    l = int(p.counter);
  }
  return true;
}

// A viewer's order of things: command and stream connections opened
// together, login, live view, then the stream request.
struct Viewer {
  Socket command, stream;
  uint32_t session = 0;
  explicit Viewer(uint16_t port) : command(port), stream(port) { session = Login(command); }
  void SetLiveView(uint32_t split, uint32_t first, uint32_t channel) {
    std::vector<uint8_t> r(64, 0);
    PutLe32(&r[0], split);
    PutLe32(&r[4], first);
    PutLe32(&r[8], channel);
    command.Send(
        Frame(kExchange, session, 0,
              BuildModuleMessage(Tag("ICMD"), BuildSubHeaderBody(session, 2, r, {256, 0, 1}))));
    std::vector<uint8_t> body;
    AwaitAnswer(command, body);
  }
  void RequestStream() { stream.Send(StreamRequest()); }
};

TEST(SimulatorFaults, DropAfterClosesEverythingOnceThenAcceptsLoginsAgain) {
  SimProcess sim({"--drop-after", "2"});
  ASSERT_TRUE(sim.running());
  Viewer v(sim.port());
  ASSERT_NE(v.session, 0u);
  v.RequestStream();
  Received r = ReadPackets(v.stream, 1000, 5000);
  EXPECT_TRUE(r.closed);
  EXPECT_GT(r.packets.size(), 0u);
  bool commandOpen = true;
  for (int i = 0; i < 20 && commandOpen; ++i) commandOpen = v.command.ReadSome(50);
  EXPECT_FALSE(commandOpen);

  Viewer again(sim.port());
  ASSERT_NE(again.session, 0u);
  again.RequestStream();
  Received more = ReadPackets(again.stream, 30, 5000);
  EXPECT_FALSE(more.closed);
  EXPECT_GE(more.packets.size(), 30u);
}

int AwaitLogLine(const std::string& path, const std::string& text, int timeoutMs);

TEST(SimulatorFaults, StallAfterGoesSilentButKeepsConnectionsOpen) {
  const std::string path = ::testing::TempDir() + "sim-stall-after-test.jsonl";
  SimProcess sim({"--stall-after", "2", "--log", path});
  ASSERT_TRUE(sim.running());
  Viewer v(sim.port());
  ASSERT_NE(v.session, 0u);
  v.RequestStream();
  // The stall has begun once the simulator logs it; what it sent before
  // is still to be read.
  ASSERT_GE(AwaitLogLine(path, "\"fault\":\"stall\"", 10000), 0);
  Received before = ReadPackets(v.stream, 1000, 300);
  EXPECT_GT(before.packets.size(), 0u);
  v.stream.in.clear();
  Received after = ReadPackets(v.stream, 1000, 1000);
  EXPECT_FALSE(after.closed);
  EXPECT_EQ(after.packets.size(), 0u);
  EXPECT_TRUE(v.stream.in.empty());
  v.command.Send(Frame(kExchange, v.session, 0, {}));
  std::vector<uint8_t> body;
  EXPECT_FALSE(AwaitAnswer(v.command, body, 500));
  EXPECT_TRUE(sim.Alive());
}

// The lines of the log so far.
std::vector<std::string> LogLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Index of the first line holding the text, waiting for it; -1 when it
// does not come.
int AwaitLogLine(const std::string& path, const std::string& text, int timeoutMs = 10000) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    std::vector<std::string> lines = LogLines(path);
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].find(text) != std::string::npos) return int(i);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < until);
  return -1;
}

TEST(SimulatorFaults, StallForEndsTheStallAndServesWhatWaited) {
  const std::string path = ::testing::TempDir() + "sim-stall-for-test.jsonl";
  SimProcess sim({"--stall-after", "1", "--stall-for", "2", "--log", path});
  ASSERT_TRUE(sim.running());
  Viewer v(sim.port());
  ASSERT_NE(v.session, 0u);
  v.RequestStream();
  Received first = ReadPackets(v.stream, 1, 5000);
  ASSERT_FALSE(first.packets.empty());
  const uint32_t firstSeconds = first.packets.front().seconds;

  // During the stall: a new viewer connects and says hello, the old one polls.
  ASSERT_GE(AwaitLogLine(path, "\"fault\":\"stall\"", 10000), 0);
  Socket late(sim.port());
  ASSERT_TRUE(late.ok());
  late.Send(Frame(kHello, 0, 0, {}));
  v.command.Send(Frame(kExchange, v.session, 0, {}));

  // After it, both are answered and the old session is still known.
  std::vector<uint8_t> body;
  ASSERT_TRUE(AwaitAnswer(late, body, 10000));
  EXPECT_EQ(GetLe32(&body[8]), uint32_t(kAssign));
  ASSERT_TRUE(AwaitAnswer(v.command, body, 10000));
  EXPECT_EQ(GetLe32(&body[8]), uint32_t(kReply));
  for (const Module& m : ModulesOf(body)) EXPECT_NE(m.tag, Tag("ZELL")) << "a refusal";

  // The stream goes on with pictures of after the stall.
  bool later = false;
  for (int i = 0; i < 20 && !later; ++i) {
    Received r = ReadPackets(v.stream, 25, 1000);
    ASSERT_FALSE(r.closed);
    for (const MarkerPacket& p : r.packets) later |= p.type == 1 && p.seconds >= firstSeconds + 2;
  }
  EXPECT_TRUE(later);

  // Nothing was answered before the stall ended.
  const int end = AwaitLogLine(path, "\"fault\":\"stall_end\"");
  ASSERT_GE(end, 0);
  std::vector<std::string> lines = LogLines(path);
  int assigns = 0;
  for (int i = 0; i < int(lines.size()); ++i)
    if (lines[size_t(i)].find("\"event\":\"assign\"") != std::string::npos && ++assigns == 2) {
      EXPECT_GT(i, end) << "the new connection was answered during the stall";
    }
  EXPECT_EQ(assigns, 2);
}

TEST(SimulatorFaults, GarbageEveryNLeavesWholeContinuousPacketsBetween) {
  SimProcess sim({"--garbage-every", "3"});
  ASSERT_TRUE(sim.running());
  Viewer v(sim.port());
  v.RequestStream();
  Received r = ReadPackets(v.stream, 40);
  EXPECT_GE(r.garbageRuns, 10);
  EXPECT_GE(r.packets.size(), 40u);
  EXPECT_TRUE(CountersContinuous(r.packets));
}

TEST(SimulatorFaults, ResolutionCycleChangesSizeAtAnIFrame) {
  SimProcess sim({"--resolution-cycle", "704x576,352x288", "--cycle-seconds", "1"});
  ASSERT_TRUE(sim.running());
  Viewer v(sim.port());
  v.RequestStream();
  Received r = ReadPackets(v.stream, 90, 15000);
  std::set<std::pair<uint32_t, uint32_t>> sizes;
  int changes = 0;
  uint32_t lastWidth = 0;
  for (const MarkerPacket& p : r.packets) {
    if (p.type != 1) continue;
    sizes.insert({p.widthMbs, p.heightMbs});
    if (lastWidth != 0 && p.widthMbs != lastWidth) {
      ++changes;
      EXPECT_EQ(p.frameType, 0u) << "a new size starts with an I-frame";
    }
    lastWidth = p.widthMbs;
  }
  const std::set<std::pair<uint32_t, uint32_t>> want = {{44, 36}, {22, 18}};
  EXPECT_EQ(sizes, want);
  EXPECT_GE(changes, 1);
  EXPECT_TRUE(CountersContinuous(r.packets));
}

TEST(SimulatorFaults, SplitFramesCarryTheFrameInSeveralPackets) {
  SimProcess sim({"--split-frames", "512"});
  ASSERT_TRUE(sim.running());
  Viewer v(sim.port());
  v.RequestStream();
  Received r = ReadPackets(v.stream, 100);
  // Join each frame's packets and check its NAL length prefixes add up.
  std::vector<uint8_t> unit;
  int frames = 0, splitFrames = 0, partsLeft = -1, parts = 0;
  for (const MarkerPacket& p : r.packets) {
    if (p.type != 1) continue;
    if (partsLeft < 0) {
      unit.clear();
      parts = 0;
    }
    unit.insert(unit.end(), p.payload.begin(), p.payload.end());
    ++parts;
    partsLeft = int(p.morePackets) - 1;
    if (p.morePackets != 0) continue;
    partsLeft = -1;
    size_t at = 0;
    int nals = 0;
    while (at + 4 <= unit.size()) {
      const uint32_t n = GetBe32(&unit[at]);
      if (n == 0) break;  // padding
      ASSERT_LE(at + 4 + n, unit.size());
      at += 4 + n;
      ++nals;
    }
    EXPECT_GE(nals, 1);
    for (size_t i = at; i < unit.size(); ++i) ASSERT_EQ(unit[i], 0);
    ++frames;
    if (parts > 1) ++splitFrames;
    parts = 0;
  }
  EXPECT_GE(frames, 40);
  EXPECT_GE(splitFrames, 2);  // at least the I-frames
}

TEST(SimulatorFaults, SeveralViewersEachGetTheirOwnView) {
  SimProcess sim({});
  ASSERT_TRUE(sim.running());
  Viewer a(sim.port()), b(sim.port());
  ASSERT_NE(a.session, 0u);
  ASSERT_NE(b.session, 0u);
  EXPECT_NE(a.session, b.session);
  a.SetLiveView(0, 0, 3);
  a.RequestStream();
  ReadPackets(a.stream, 1, 3000);
  b.SetLiveView(0, 0, 7);
  b.RequestStream();
  Received ra = ReadPackets(a.stream, 20), rb = ReadPackets(b.stream, 20);
  std::set<uint32_t> sa, sb;
  for (const MarkerPacket& p : ra.packets) sa.insert(p.subChannel);
  for (const MarkerPacket& p : rb.packets) sb.insert(p.subChannel);
  EXPECT_EQ(sa, std::set<uint32_t>{3});
  EXPECT_EQ(sb, std::set<uint32_t>{7});
}

TEST(SimulatorFaults, LogHoldsDecodedFramesModulesAndConnections) {
  const std::string path = ::testing::TempDir() + "sim-log-test.jsonl";
  {
    SimProcess sim({"--log", path});
    ASSERT_TRUE(sim.running());
    Viewer v(sim.port());
    ASSERT_NE(v.session, 0u);
    v.SetLiveView(1, 4, 0);
    v.RequestStream();
    ReadPackets(v.stream, 5);
  }
  std::ifstream in(path);
  std::string line;
  std::set<std::string> found;
  while (std::getline(in, line)) {
    EXPECT_EQ(line.front(), '{');
    EXPECT_EQ(line.back(), '}');
    for (const char* needle :
         {"\"event\":\"connect\"", "\"event\":\"login\"", "\"event\":\"disconnect\"",
          "\"tag\":\"ZELL\",\"length\":320,\"checksum_ok\":true,\"type\":0,\"kind\":1",
          "\"credentials_ok\":true", "\"tag\":\"ICMD\"", "\"split\":1,\"first\":4",
          "\"event\":\"stream_picture\"", "\"split\":1,\"channel\":16,\"first\":4,\"width\":704"})
      if (line.find(needle) != std::string::npos) found.insert(needle);
  }
  EXPECT_EQ(found.size(), 9u);
}

}  // namespace
}  // namespace tevrano::sim::test
