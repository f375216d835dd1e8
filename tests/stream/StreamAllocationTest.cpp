// The parse path allocates nothing per packet or per frame.
#include "net/SendQueue.h"
#include "stream/VidoModule.h"
#include "tests/stream/StreamFixture.h"
#include "tests/video/AllocationCounter.h"

namespace tevrano::test {
namespace {

using StreamAllocationTest = StreamFixture;

TEST_F(StreamAllocationTest, ParsingAndPacingThousandsOfFramesAllocatesNothing) {
  uint64_t units = 0;
  stream.Hooks().decodeFrame = [&](const uint8_t*, uint32_t, int) { ++units; };
  std::vector<std::vector<uint8_t>> packets;
  for (uint32_t i = 0; i < 100; ++i) {
    PacketSpec s;
    s.key = i % 25 == 0;
    s.sequence = i + 1;
    s.frame = i % 25;
    if (i % 10 == 3) s.extraPackets = 1;  // a frame of two packets
    packets.push_back(TransportPacket(s));
    if (s.extraPackets) {
      s.sequence = ++i + 1;
      s.extraPackets = 0;
      packets.push_back(TransportPacket(s));
    }
  }
  AllocationCounter counter;
  for (int round = 0; round < 20; ++round) {
    stats.LastSequence[0] = 0;
    for (const auto& p : packets) {
      Feed(p);
      clock.AdvanceMs(40);
      stream.ParseStreams();
    }
  }
  EXPECT_EQ(counter.Count(), 0u);
  EXPECT_GT(units, 1000u);
}

TEST_F(StreamAllocationTest, StoringAndDeliveringCommandChannelPacketsAllocatesNothing) {
  uint64_t units = 0;
  stream.Hooks().decodeFrame = [&](const uint8_t*, uint32_t, int) { ++units; };
  RecorderContext context;
  ZellState zell;
  context.Zell = &zell;
  context.Stream = &conn();
  context.VideoAssembly.Allocate(RecorderContext::kVideoAssemblySize);
  EmptySendRing(context);
  RecorderContext* contexts[2] = {&context, nullptr};
  VidoModule vido(contexts, [this](int c, const uint8_t* p, uint32_t n, uint32_t t) {
    stream.RoutePacket(c, p, n, t);
  });
  std::vector<std::vector<uint8_t>> bodies;
  for (uint32_t i = 0; i < 50; ++i) {
    PacketSpec s;
    s.key = i == 0;
    s.sequence = i + 1;
    std::vector<uint8_t> body(32, 0);
    auto p = TransportPacket(s);
    body.insert(body.end(), p.begin(), p.end());
    bodies.push_back(body);
  }
  AllocationCounter counter;
  for (int round = 0; round < 20; ++round) {
    for (const auto& b : bodies) {
      vido.Receive(b.data(), uint32_t(b.size()));
      vido.DeliverPackets(context);
      stream.ParseStreams();
    }
    vido.RequestVideo(0);
    EmptySendRing(context);
  }
  EXPECT_EQ(counter.Count(), 0u);
  EXPECT_GT(units, 0u);
}

}  // namespace
}  // namespace tevrano::test
