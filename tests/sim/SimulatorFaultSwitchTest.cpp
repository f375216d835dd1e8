// The simulator's --fault switch (one fault, once, for a while) and its
// --hostile switch, against the real program, and their pure parts.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <set>

#include "FaultPlan.h"
#include "HostileModules.h"
#include "SimClient.h"
#include "SimOptions.h"

namespace tevrano::sim::test {
namespace {

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool AwaitLine(const std::string& path, const std::string& text, int timeoutMs = 15000) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    for (const std::string& line : ReadLines(path))
      if (line.find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < until);
  return false;
}

std::string LogPath(const char* name) {
  return ::testing::TempDir() + "sim-fault-" + name + ".jsonl";
}

TEST(SimFaultPlan, EveryKindParsesByItsNameAndBadNamesAreRefused) {
  for (const auto& [name, kind] : FaultKinds()) {
    FaultKind parsed = FaultKind::None;
    EXPECT_TRUE(ParseFaultKind(name, parsed)) << name;
    EXPECT_EQ(parsed, kind);
    EXPECT_STREQ(FaultName(kind), name);
  }
  EXPECT_EQ(FaultKinds().size(), 9u);
  FaultKind k = FaultKind::None;
  for (const char* bad : {"", "Drop", "drops", "none"}) EXPECT_FALSE(ParseFaultKind(bad, k)) << bad;
}

TEST(SimFaultPlan, WindowsStartAndEndOnceAndInstantFaultsEndAtTheirMoment) {
  struct Case {
    FaultKind kind;
    double at, seconds, end;
  };
  const Case cases[] = {{FaultKind::Garbage, 2, 3, 5},  {FaultKind::Slow, 0, 1, 1},
                        {FaultKind::Reset, 4, 9, 4},    {FaultKind::Drop, 1, 5, 1},
                        {FaultKind::Oversize, 3, 2, 3}, {FaultKind::Refuse, 1, 0.5, 1.5}};
  for (const Case& c : cases) {
    FaultPlan plan(c.kind, c.at, c.seconds);
    EXPECT_DOUBLE_EQ(plan.end(), c.end) << FaultName(c.kind);
    EXPECT_FALSE(plan.Starts(c.at - 0.01));
    EXPECT_FALSE(plan.Ends(c.end + 1));  // not before it started
    EXPECT_TRUE(plan.Starts(c.at));
    EXPECT_FALSE(plan.Starts(c.at + 0.1));
    if (c.end > c.at) {
      EXPECT_TRUE(plan.Active(c.kind, c.at));
      EXPECT_FALSE(plan.Ends(c.end - 0.01));
    }
    EXPECT_FALSE(plan.Active(c.kind, c.end));
    EXPECT_FALSE(plan.Active(FaultKind::Stall, c.at));
    EXPECT_TRUE(plan.Ends(c.end));
    EXPECT_FALSE(plan.Ends(c.end + 1));
  }
}

TEST(SimFaultPlan, GarbageHoldsNeitherAPacketStartNorAnAnswerStart) {
  for (uint32_t seed = 0; seed < 200; ++seed) {
    std::mt19937 random(seed);
    const std::vector<uint8_t> g = GarbageBytes(random, 1, 300);
    ASSERT_FALSE(g.empty());
    ASSERT_LE(g.size(), 300u);
    // Framed by zeros and a packet start on both sides, no magic appears
    // but the real one after it.
    std::vector<uint8_t> around = {0, 0, 0};
    around.insert(around.end(), g.begin(), g.end());
    around.insert(around.end(), {0, 0, 0, 3});
    size_t magics = 0;
    for (size_t i = 0; i + 4 <= around.size(); ++i)
      if (around[i] == 0 && around[i + 1] == 0 && around[i + 2] == 0 && around[i + 3] == 3) {
        ++magics;
        EXPECT_EQ(i, around.size() - 4) << "seed " << seed;
      }
    EXPECT_EQ(magics, 1u);
    for (uint8_t b : g) ASSERT_NE(b, 'H');
  }
}

TEST(SimFaultOptions, FaultSwitchesParseAndDriveTheDropAndTheStall) {
  struct Case {
    std::vector<const char*> args;
    int result;
    FaultKind kind;
    double dropAfter, stallAfter, stallFor;
  };
  const Case cases[] = {
      {{"--fault", "drop", "--fault-at", "3"}, 0, FaultKind::Drop, 3, -1, -1},
      {{"--fault", "stall", "--fault-at", "2", "--fault-for", "4"}, 0, FaultKind::Stall, -1, 2, 4},
      {{"--fault", "slow"}, 0, FaultKind::Slow, -1, -1, -1},
      {{"--fault", "sideways"}, 2, FaultKind::None, -1, -1, -1},
      {{"--fault", "reset", "--fault-at", "-1"}, 2, FaultKind::Reset, -1, -1, -1},
      {{"--hostile", "x"}, 2, FaultKind::None, -1, -1, -1},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv = {const_cast<char*>("sim")};
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    SimOptions o;
    std::string error;
    EXPECT_EQ(ParseOptions(int(argv.size()), argv.data(), o, error), c.result) << c.args[1];
    if (c.result != 0) continue;
    EXPECT_EQ(o.faultKind, c.kind);
    EXPECT_DOUBLE_EQ(o.dropAfter, c.dropAfter);
    EXPECT_DOUBLE_EQ(o.stallAfter, c.stallAfter);
    EXPECT_DOUBLE_EQ(o.stallFor, c.stallFor);
  }
}

TEST(SimHostile, MessagesAreWellFramedAndCoverEveryTag) {
  HostileModules hostile(11);
  std::set<uint32_t> tags;
  int checksumsRight = 0;
  const int kMessages = 3000;
  for (int i = 0; i < kMessages; ++i) {
    const std::vector<uint8_t> m = hostile.Message(0, 0x1234);
    ASSERT_GE(m.size(), 64u);  // header and sub-header
    ASSERT_EQ(GetLe32(&m[0]), m.size());
    tags.insert(GetLe32(&m[4]));
    checksumsRight += GetLe32(&m[8]) == ModuleChecksum(m.data() + 32, m.size() - 32);
  }
  for (uint32_t tag : HostileTags()) EXPECT_TRUE(tags.count(tag)) << TagText(tag);
  EXPECT_GT(tags.size(), HostileTags().size());  // and tags of no module
  EXPECT_GT(checksumsRight, kMessages / 2);
  EXPECT_LT(checksumsRight, kMessages);
}

TEST(SimHostile, StreamPacketsStartWithTheMagicAndFillTheirLength) {
  HostileModules hostile(5);
  for (int i = 0; i < 200; ++i) {
    const std::vector<uint8_t> p = hostile.StreamPacket(1000);
    ASSERT_GE(p.size(), 64u);
    EXPECT_EQ(GetLe32(&p[0]), 0x03000000u);
    EXPECT_EQ(GetLe16(&p[18]) * 64u, p.size());
  }
}

TEST(SimHostile, AnswersCarryForeignMessagesOfEveryTagBesideTheRealOnes) {
  SimProcess sim({"--hostile", "3"});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  const uint32_t session = Login(command);
  ASSERT_NE(session, 0u);
  std::set<uint32_t> seen;
  bool whole = true;
  auto allSeen = [&] {
    for (uint32_t tag : HostileTags())
      if (!seen.count(tag)) return false;
    return true;
  };
  for (int i = 0; i < 400 && !allSeen(); ++i) {
    command.Send(Frame(kPoll, session, 0, {}));
    std::vector<uint8_t> body;
    ASSERT_TRUE(AwaitAnswer(command, body));
    ASSERT_GE(body.size(), kFrameHeaderSize);
    ByteReader payload(body.data() + kFrameHeaderSize, body.size() - kFrameHeaderSize);
    whole &= WalkModuleMessages(payload, [&](const ModuleMessageView& m) { seen.insert(m.tag); });
  }
  EXPECT_TRUE(whole);
  for (uint32_t tag : HostileTags()) EXPECT_TRUE(seen.count(tag)) << TagText(tag);
  EXPECT_TRUE(sim.Alive());
}

TEST(SimFaultSwitch, RefuseClosesEverythingRefusesConnectsThenListensAgain) {
  const std::string log = LogPath("refuse");
  SimProcess sim({"--fault", "refuse", "--fault-at", "1", "--fault-for", "6", "--log", log});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  ASSERT_NE(Login(command), 0u);
  ASSERT_TRUE(AwaitLine(log, "\"event\":\"fault_start\""));
  bool open = true;
  for (int i = 0; i < 40 && open; ++i) open = command.ReadSome(50);
  EXPECT_FALSE(open);
  // While it lasts nobody can connect (unless it has ended meanwhile).
  Socket refused(sim.port());
  EXPECT_TRUE(!refused.ok() || AwaitLine(log, "\"event\":\"fault_end\"", 0));
  ASSERT_TRUE(AwaitLine(log, "\"event\":\"fault_end\""));
  Socket again(sim.port());
  ASSERT_TRUE(again.ok());
  EXPECT_NE(Login(again), 0u);
}

TEST(SimFaultSwitch, CredentialsRefusesLoginsAndLogsViewersOutUntilItEnds) {
  const std::string log = LogPath("credentials");
  SimProcess sim({"--fault", "credentials", "--fault-at", "1", "--fault-for", "2", "--log", log});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  const uint32_t session = Login(command);
  ASSERT_NE(session, 0u);
  ASSERT_TRUE(AwaitLine(log, "\"event\":\"fault_start\""));
  // The next poll is answered with a refusal, and the connection ends.
  std::vector<uint8_t> refusal =
      PollFor(command, session, Tag("ZELL"),
              [](const std::vector<uint8_t>& b) { return b.size() >= 8 && GetLe32(&b[4]) == 2; });
  EXPECT_FALSE(refusal.empty());
  ASSERT_TRUE(AwaitLine(log, "\"event\":\"fault_end\""));
  Socket again(sim.port());
  std::vector<Module> answer;
  ASSERT_NE(Login(again, &answer), 0u);
  bool info = false;
  for (const Module& m : answer) info |= m.tag == Tag("ZELL") && GetLe32(&m.body[4]) == 1;
  EXPECT_TRUE(info);
}

// Answers written in pieces or a byte at a time still arrive whole and right.
TEST(SimFaultSwitch, SplitAndSlowAnswersArriveWhole) {
  for (const char* kind : {"split", "slow"}) {
    const std::string log = LogPath(kind);
    SimProcess sim({"--fault", kind, "--fault-at", "0", "--fault-for", "30", "--log", log});
    ASSERT_TRUE(sim.running());
    Socket command(sim.port());
    std::vector<Module> answer;
    const uint32_t session = Login(command, &answer);
    ASSERT_NE(session, 0u) << kind;
    bool info = false;
    for (const Module& m : answer) info |= m.tag == Tag("ZELL") && GetLe32(&m.body[4]) == 1;
    EXPECT_TRUE(info) << kind;
    EXPECT_TRUE(AwaitLine(log, "\"fault\":\"" + std::string(kind) + "\""));
  }
}

TEST(SimFaultSwitch, OversizeSendsAbsurdLengthsAtItsMoment) {
  const std::string log = LogPath("oversize");
  SimProcess sim({"--fault", "oversize", "--fault-at", "1", "--log", log});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  const uint32_t session = Login(command);
  ASSERT_NE(session, 0u);
  ASSERT_TRUE(AwaitLine(log, "\"event\":\"fault_start\""));
  // Unasked: an answer with an oversize module message and "VIDO" packet,
  // one whose frame is longer than the answer, then an absurd answer header.
  std::vector<uint8_t> body;
  ASSERT_TRUE(AwaitAnswer(command, body));
  ByteReader payload(body.data() + kFrameHeaderSize, body.size() - kFrameHeaderSize);
  EXPECT_FALSE(WalkModuleMessages(payload, [](const ModuleMessageView&) {}));
  ASSERT_TRUE(AwaitAnswer(command, body));
  EXPECT_EQ(GetLe32(&body[0]), 0xFFFFFFF0u);
  for (int i = 0; i < 20; ++i) command.ReadSome(50);
  const std::string rest(command.in.begin(), command.in.end());
  EXPECT_NE(rest.find("Content-Length: 4000000000\r\n\r\n"), std::string::npos);
}

TEST(SimFaultSwitch, ResetCutsTheConnectionWithAnRstInTheMiddleOfAnAnswer) {
  const std::string log = LogPath("reset");
  SimProcess sim({"--fault", "reset", "--fault-at", "1", "--log", log});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  ASSERT_NE(Login(command), 0u);
  ASSERT_TRUE(AwaitLine(log, "\"event\":\"fault_start\""));
  bool open = true;
  for (int i = 0; i < 40 && open; ++i) open = command.ReadSome(50);
  EXPECT_FALSE(open);
  ASSERT_TRUE(AwaitLine(log, "\"reason\":\"reset fault\""));
  // Half an answer may have arrived before the reset; never a whole one.
  std::vector<uint8_t> body;
  EXPECT_FALSE(TakeAnswer(command.in, body));
  Socket again(sim.port());
  EXPECT_NE(Login(again), 0u);
}

TEST(SimFaultSwitch, GarbageGoesBeforeEveryAnswerWhileItLasts) {
  const std::string log = LogPath("garbage");
  SimProcess sim({"--fault", "garbage", "--fault-at", "0", "--fault-for", "30", "--log", log});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  command.Send(Frame(kHello, 0, 0, {}));
  std::string text;
  for (int i = 0; i < 40 && text.find("\r\n\r\n") == std::string::npos; ++i) {
    command.ReadSome(50);
    text.assign(command.in.begin(), command.in.end());
  }
  const size_t at = text.find("HTTP/1.1 200 OK\r\n");
  ASSERT_NE(at, std::string::npos);
  EXPECT_GT(at, 0u);
}

}  // namespace
}  // namespace tevrano::sim::test
