// Video over two command connections: however large a burst, one
// connection's packets never run so far ahead of the other's that a
// viewer's 512-packet reordering window could not put them back in order.
#include <gtest/gtest.h>

#include <set>

#include "RecorderTime.h"
#include "SimClient.h"

namespace tevrano::sim::test {
namespace {

std::vector<uint8_t> VideoStatus(uint32_t session) {
  std::vector<uint8_t> status(256, 0);
  PutLe32(&status[128], 3000000);  // free space
  PutLe32(&status[152], 4194304);
  return BuildModuleMessage(Tag("VIDO"), BuildSubHeaderBody(session, 1, status));
}

TEST(SimulatorTwoConnections, PlaybackBurstStaysWithinTheViewersReorderingWindow) {
  SimProcess sim({"--connections", "2", "--stream-socket", "no"});
  ASSERT_TRUE(sim.running());
  Socket first(sim.port()), second(sim.port());
  const uint32_t session = Login(first);
  ASSERT_NE(session, 0u);
  // Playback of channel 0 from an hour ago (the made-up archive holds the
  // last two hours of every channel).
  std::vector<uint8_t> record(64, 0);
  PutLe32(&record[12], 1);
  PutLe32(&record[20], RecorderTimeNow() - 3600);
  std::vector<uint8_t> messages = VideoStatus(session);
  const std::vector<uint8_t> play =
      BuildModuleMessage(Tag("ICMD"), BuildSubHeaderBody(session, 2, record, {512, 1, 1}));
  messages.insert(messages.end(), play.begin(), play.end());

  std::set<uint32_t> received;
  uint32_t lowestMissing = 1;
  int worst = 0;
  Socket* sockets[2] = {&first, &second};
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (int turn = 0; received.size() < 1500 && std::chrono::steady_clock::now() < until; ++turn) {
    const uint32_t k = uint32_t(turn % 2);
    sockets[k]->Send(Frame(kExchange, session, k, turn == 0 ? messages : VideoStatus(session)));
    std::vector<uint8_t> body;
    ASSERT_TRUE(AwaitAnswer(*sockets[k], body)) << "turn " << turn;
    for (const Module& m : ModulesOf(body)) {
      if (m.tag != Tag("VIDO") || m.body.size() < 32 + 36) continue;
      const uint32_t sequence = GetLe32(&m.body[32 + 32]);
      worst = std::max(worst, int(sequence) - int(lowestMissing));
      received.insert(sequence);
    }
    while (received.count(lowestMissing)) ++lowestMissing;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_GT(received.size(), 600u) << "the burst of a playback start";
  EXPECT_LT(worst, 512) << "packets ran further ahead than a viewer can reorder";
}

}  // namespace
}  // namespace tevrano::sim::test
