#include "stream/VidoModule.h"

#include <gtest/gtest.h>

#include <vector>

#include "net/ModuleTable.h"
#include "net/SendQueue.h"
#include "stream/FrameHeader.h"
#include "stream/StreamConnection.h"
#include "tests/stream/StreamPackets.h"

namespace tevrano {
namespace {

using test::PacketSpec;
using test::TransportPacket;

class VidoModuleTest : public ::testing::Test {
 protected:
  VidoModuleTest()
      : vido(contexts, [this](int ctx, const uint8_t* p, uint32_t n, uint32_t type) {
          bool intact = true;
          for (uint32_t i = 160; i < n; ++i)
            intact = intact && (p[i] == uint8_t(LoadLe32(p + 12)) || p[i] == 0);
          routed.push_back({ctx, LoadLe32(p + 12), n, type, intact});
        }) {
    context.Index = 0;
    context.SessionId = 77;
    context.Zell = &zell;
    context.Stream = &stream;
    context.VideoAssembly.Allocate(RecorderContext::kVideoAssemblySize);
    EmptySendRing(context);
    SetConnections(1);
  }
  void SetConnections(uint32_t n) { StoreLe32(zell.SystemInfo + system_info::kConnections, n); }
  // Two connections, packet `seq` delivered (and forgotten): the queue
  // follows on from it.
  void TwoConnectionsAfterPacket(uint32_t seq) {
    SetConnections(2);
    Receive(Body(seq));
    vido.DeliverPackets(context);
    routed.clear();
  }
  // A "VIDO" body with one packet whose transport sequences are `seq`.
  std::vector<uint8_t> Body(uint32_t seq, uint32_t payloadBytes = 40, uint32_t session = 77) {
    PacketSpec s;
    s.sequence = seq;
    s.payload.assign(payloadBytes, uint8_t(seq));
    std::vector<uint8_t> body(32, 0);
    StoreLe32(body.data(), session);
    auto packet = TransportPacket(s);
    body.insert(body.end(), packet.begin(), packet.end());
    return body;
  }
  void Receive(const std::vector<uint8_t>& body) {
    vido.Receive(body.data(), uint32_t(body.size()));
  }
  std::vector<uint32_t> RoutedSequences() {
    std::vector<uint32_t> v;
    for (auto& r : routed) v.push_back(r.sequence);
    return v;
  }

  struct Routed {
    int context;
    uint32_t sequence;
    uint32_t n, type;
    bool intact;
  };
  ZellState zell;
  StreamConnection stream;
  RecorderContext context;
  RecorderContext* contexts[2] = {&context, nullptr};
  VidoModule vido;
  std::vector<Routed> routed;
};

TEST_F(VidoModuleTest, OneConnectionDeliversInArrivalOrder) {
  for (uint32_t seq : {40u, 9u, 300u}) Receive(Body(seq));
  vido.DeliverPackets(context);
  EXPECT_EQ(RoutedSequences(), (std::vector<uint32_t>{40, 9, 300}));
  EXPECT_EQ(context.DeliveryQueue.Waiting, 0u);
}

TEST_F(VidoModuleTest, TwoConnectionsDeliverInSequenceOrder) {
  TwoConnectionsAfterPacket(4);
  for (uint32_t seq : {5u, 7u, 6u}) Receive(Body(seq));
  vido.DeliverPackets(context);
  EXPECT_EQ(RoutedSequences(), (std::vector<uint32_t>{5, 6, 7}));
}

TEST_F(VidoModuleTest, AMissingSequenceHoldsTheQueueUntil512Arrivals) {
  TwoConnectionsAfterPacket(1);
  for (uint32_t seq = 3; seq < 3 + 511; ++seq) Receive(Body(seq));  // 2 is lost
  vido.DeliverPackets(context);
  EXPECT_TRUE(routed.empty());
  Receive(Body(3 + 511));  // the 512th arrival restarts the queue
  uint32_t held = 0;
  for (const DeliverySlot& slot : context.DeliveryQueue.Slots) held += slot.Length != 0;
  EXPECT_EQ(held, 1u) << "the stale packets' slots are freed";
  EXPECT_EQ(context.DeliveryQueue.Waiting, 1u);
  vido.DeliverPackets(context);
  EXPECT_EQ(RoutedSequences(), (std::vector<uint32_t>{3 + 511}));
  Receive(Body(3 + 512));
  vido.DeliverPackets(context);
  EXPECT_EQ(routed.back().sequence, 3u + 512);
  EXPECT_EQ(context.DeliveryQueue.Waiting, 0u);
}

TEST_F(VidoModuleTest, WaitingPacketsAreNeverOverwrittenInTheAssembly) {
  TwoConnectionsAfterPacket(1);
  // Packet 2 is lost; packets 3.. wait behind it until the assembly is full,
  // and the one that no longer fits gives up the missing place.
  const uint32_t big = 200000;
  for (uint32_t seq = 3; seq < 14; ++seq) Receive(Body(seq, big));
  vido.DeliverPackets(context);
  ASSERT_FALSE(routed.empty());
  EXPECT_EQ(routed[0].sequence, 3u);
  for (size_t i = 0; i < routed.size(); ++i) {
    EXPECT_TRUE(routed[i].intact) << routed[i].sequence;
    if (i) EXPECT_EQ(routed[i].sequence, routed[i - 1].sequence + 1);
  }
}

TEST_F(VidoModuleTest, MalformedPacketsAreRefused) {
  auto body = Body(1);
  struct Case {
    const char* what;
    uint32_t offset, value;
  } cases[] = {
      {"channel 17", 32 + 20, 17},
      {"length beyond the body", 32, 100000},
      {"length below two headers", 32, 100},
      {"length of 256 KiB", 32, 0x40000},
  };
  for (const Case& c : cases) {
    auto bad = body;
    StoreLe32(bad.data() + c.offset, c.value);
    Receive(bad);
    EXPECT_EQ(context.DeliveryQueue.Waiting, 0u) << c.what;
  }
  Receive(std::vector<uint8_t>(body.begin(), body.begin() + 100));
  EXPECT_EQ(context.DeliveryQueue.Waiting, 0u);
}

TEST_F(VidoModuleTest, PositionValuesReachTheChannelPacer) {
  auto body = Body(1);
  StoreLe32(body.data() + 32 + 20, 3);
  StoreLe32(body.data() + 32 + 36, 5000);
  StoreLe32(body.data() + 32 + 40, 12);
  StoreLe32(body.data() + 32, 0);  // no packet, positions only
  Receive(body);
  EXPECT_EQ(stream.Pacers[3].LatestSeconds, 5000u);
  EXPECT_EQ(stream.Pacers[3].LatestFrame, 12u);
  EXPECT_EQ(context.DeliveryQueue.Received, 0u);
}

TEST_F(VidoModuleTest, ClearingTheQueueDropsWaitingPacketsAndFollowsTheNextSequence) {
  TwoConnectionsAfterPacket(1);
  Receive(Body(5));
  VidoModule::ClearQueue(context);
  Receive(Body(20));
  Receive(Body(21));
  vido.DeliverPackets(context);
  EXPECT_EQ(RoutedSequences(), (std::vector<uint32_t>{20, 21}));
}

// After a clear (a change of view) the packets of two connections may come
// in any order: the first answer may hold every second number only. The
// run does not start before its first packet or its successor is there, so
// nothing of the new view's start is lost or handed on out of order.
TEST_F(VidoModuleTest, AfterAClearTheRunWaitsForItsFirstPacketFromEitherConnection) {
  struct Case {
    const char* what;
    std::vector<uint32_t> first, second;  // arrivals before each tick
    std::vector<uint32_t> afterFirst, afterSecond;
  } cases[] = {
      {"numbers go on: the next one comes second", {7, 9}, {6, 8}, {}, {6, 7, 8, 9}},
      {"numbers go on: the next one comes first", {6, 8}, {7, 9}, {6}, {7, 8, 9}},
      {"numbers jump: the first comes second", {21, 23}, {20, 22}, {}, {20, 21, 22, 23}},
      {"numbers jump: in order", {20, 21}, {22}, {20, 21}, {22}},
      {"late ones are dropped", {3, 5, 7}, {6}, {}, {6, 7}},
      {"a stray number does not hold the run", {9, 30, 31}, {32}, {30, 31}, {32}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    TwoConnectionsAfterPacket(1);
    Receive(Body(5));
    VidoModule::ClearQueue(context);  // the newest number seen is 5
    for (uint32_t seq : k.first) Receive(Body(seq));
    vido.DeliverPackets(context);
    EXPECT_EQ(RoutedSequences(), k.afterFirst);
    routed.clear();
    for (uint32_t seq : k.second) Receive(Body(seq));
    vido.DeliverPackets(context);
    EXPECT_EQ(RoutedSequences(), k.afterSecond);
    routed.clear();
    // Start the next case from a fresh session's queue.
    context.DeliveryQueue = PacketQueue{};
  }
}

// Every packet was routed once, in order, whole, and nothing is left held.
void ExpectRun(const std::vector<uint32_t>& got, uint32_t first, uint32_t last) {
  ASSERT_EQ(got.size(), size_t(last - first + 1));
  for (uint32_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], first + i) << i;
}

TEST_F(VidoModuleTest, LatePacketsAreDroppedAtOnceAndHoldNothing) {
  SetConnections(2);
  for (uint32_t seq : {8u, 5u, 6u, 7u}) Receive(Body(seq));
  vido.DeliverPackets(context);
  EXPECT_EQ(RoutedSequences(), (std::vector<uint32_t>{8}));
  EXPECT_EQ(context.DeliveryQueue.Waiting, 0u);
  // An in-order stream that passes through the 2 MiB assembly several times.
  for (uint32_t seq = 9; seq < 9 + 3000; ++seq) {
    Receive(Body(seq, 4000));
    if (seq % 3 == 0) vido.DeliverPackets(context);
  }
  vido.DeliverPackets(context);
  ExpectRun(RoutedSequences(), 8, 9 + 3000 - 1);
  for (const Routed& r : routed) EXPECT_TRUE(r.intact) << r.sequence;
  EXPECT_EQ(context.DeliveryQueue.Waiting, 0u);
}

TEST_F(VidoModuleTest, LateAndEarlyNumbersAreComparedAcrossTheWrap) {
  SetConnections(2);
  const uint32_t start = 0xFFFFFFF0u;
  Receive(Body(start));
  vido.DeliverPackets(context);
  for (uint32_t i = 1; i <= 40; i += 2) {  // pairs swapped, through 0
    Receive(Body(start + i + 1));
    Receive(Body(start + i));
  }
  Receive(Body(start - 3));  // late
  vido.DeliverPackets(context);
  std::vector<uint32_t> expected;
  for (uint32_t i = 0; i <= 40; ++i) expected.push_back(start + i);
  EXPECT_EQ(RoutedSequences(), expected);
  EXPECT_EQ(context.DeliveryQueue.Waiting, 0u);
}

TEST_F(VidoModuleTest, ANewSessionNumbersAfreshAndEveryPacketIsDelivered) {
  SetConnections(2);
  for (uint32_t seq = 1; seq <= 3000; ++seq) {
    Receive(Body(seq, 200));
    vido.DeliverPackets(context);
  }
  ExpectRun(RoutedSequences(), 1, 3000);
  routed.clear();
  // The link was lost and the viewer logged in again: the recorder numbers
  // the new session's packets from 1, spread over two connections.
  context.SessionId = 78;
  Receive(Body(1, 200, 78));
  for (uint32_t seq = 2; seq <= 6000; seq += 2) {
    Receive(Body(seq + 1 <= 6000 ? seq + 1 : seq, 200, 78));
    if (seq + 1 <= 6000) Receive(Body(seq, 200, 78));
    vido.DeliverPackets(context);
  }
  vido.DeliverPackets(context);
  ExpectRun(RoutedSequences(), 1, 6000);
  EXPECT_EQ(context.DeliveryQueue.Waiting, 0u);
}

TEST_F(VidoModuleTest, AfterClearingTheQueueLatePacketsOfTheOtherConnectionAreDropped) {
  SetConnections(2);
  for (uint32_t seq = 1; seq <= 10; ++seq) Receive(Body(seq));
  vido.DeliverPackets(context);
  routed.clear();
  Receive(Body(12));  // 11 is still on its way over the other connection
  VidoModule::ClearQueue(context);
  Receive(Body(11));
  Receive(Body(13));
  Receive(Body(14));
  vido.DeliverPackets(context);
  EXPECT_EQ(RoutedSequences(), (std::vector<uint32_t>{13, 14}));
  EXPECT_EQ(context.DeliveryQueue.Waiting, 0u);
}

// With the assembly full behind lost numbers, their places are given up and
// the stream goes on without losing what arrived.
TEST_F(VidoModuleTest, AFullAssemblyGivesUpTheMissingPlacesAndGoesOn) {
  TwoConnectionsAfterPacket(1);
  // 2 and 3 are lost; the packets behind them fill the assembly, and the
  // failed writes give up one missing place each.
  uint32_t seq = 4;
  for (; seq < 4 + 600; ++seq) Receive(Body(seq, 60000));
  vido.DeliverPackets(context);
  const size_t before = routed.size();
  for (uint32_t end = seq + 200; seq < end; ++seq) {
    Receive(Body(seq, 60000));
    vido.DeliverPackets(context);
  }
  EXPECT_GT(routed.size(), before);
  ExpectRun(RoutedSequences(), 4, seq - 1);
  for (const Routed& r : routed) EXPECT_TRUE(r.intact) << r.sequence;
}

TEST_F(VidoModuleTest, StatusRequestReportsFreeSpaceBeyond512KiB) {
  stream.AllocateBuffers();
  struct Case {
    uint32_t fill;
  } cases[] = {{0}, {3 * 1024 * 1024}};
  for (const Case& c : cases) {
    stream.MainRing.Clear();
    std::vector<uint8_t> bytes(c.fill, 0);
    if (c.fill) stream.MainRing.Write(bytes.data(), c.fill);
    EmptySendRing(context);
    vido.RequestVideo(77);
    uint8_t batch[kMaxModuleMessage];
    const uint32_t n = TakeBatch(context, batch);
    ASSERT_EQ(n, 320u);
    EXPECT_EQ(LoadLe32(batch + 4), VidoModule::kTag);
    EXPECT_EQ(LoadLe32(batch + 32), 77u);
    EXPECT_EQ(LoadLe32(batch + 36), 1u);
    const uint32_t free = stream.MainRing.UsableFree();
    EXPECT_EQ(LoadLe32(batch + 64 + 128), free > 0x80000 ? free - 0x80000 : 0u);
    EXPECT_EQ(LoadLe32(batch + 64 + 152), StreamConnection::kBufferSize);
    EXPECT_EQ(LoadLe32(batch + 8), ModuleChecksum(batch + 32, 288));
  }
}

}  // namespace
}  // namespace tevrano
