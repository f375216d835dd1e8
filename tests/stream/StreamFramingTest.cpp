// Rings, both framings, garbage and damaged headers.
#include "tests/stream/StreamFixture.h"

namespace tevrano::test {
namespace {

using StreamFramingTest = StreamFixture;

TEST_F(StreamFramingTest, AChunkIsWrittenWhenItFitsExactlyAndDroppedWholeWhenNot) {
  ByteRing& ring = conn().MainRing;
  std::vector<uint8_t> big(ring.UsableFree() - 100, 7);
  Feed(big);
  const uint32_t free = ring.UsableFree();
  std::vector<uint8_t> exact(free, 1), tooBig(free + 1, 1);
  Feed(tooBig);
  EXPECT_EQ(ring.UsableFree(), free) << "nothing of the larger chunk was written";
  Feed(exact);
  EXPECT_EQ(ring.Used(), big.size() + free);
  EXPECT_LT(ring.Used(), ring.Size());
}

TEST_F(StreamFramingTest, FeedingAfterTheStreamRequestMarksTheStreamFlowing) {
  stream.StreamState() = 2;
  Feed({1, 2, 3});
  EXPECT_EQ(stream.StreamState(), 3u);
  EXPECT_TRUE(stream.MarkerFraming());
}

TEST(ByteRingEdgeTest, AWriteThatReachesTheEndWrapsWritePosToZero) {
  ByteRing ring;
  ring.Allocate(100);
  std::vector<uint8_t> bytes(60, 1), out(60);
  ASSERT_EQ(ring.Write(bytes.data(), 60), 0);
  ASSERT_EQ(ring.Read(out.data(), 60), 0);
  ASSERT_EQ(ring.Write(bytes.data(), 40), 0);
  EXPECT_EQ(ring.WritePos(), 0u);
  EXPECT_EQ(ring.Used(), 40u);
  // The ring never fills: writes are refused short of Size - 1 bytes used.
  while (ring.Write(bytes.data(), 1) == 0) {
  }
  EXPECT_LE(ring.Used(), ring.Size() - 1);
  EXPECT_EQ(ring.Unread(100), -1);
}

TEST_F(StreamFramingTest, FindFrameHeaderSkipsGarbageThenFindsThePacket) {
  std::vector<uint8_t> bytes = {9, 9, 9, 9, 9};
  auto packet = FrameBytes(PacketSpec{});
  bytes.insert(bytes.end(), packet.begin(), packet.end());
  Feed(bytes);
  EXPECT_EQ(FindFrameHeader(conn().MainRing), kGarbageSkipped);
  EXPECT_EQ(conn().MainRing.Used(), packet.size());
  EXPECT_EQ(FindFrameHeader(conn().MainRing), kPacketReady);
}

TEST_F(StreamFramingTest, FindFrameHeaderWaitsForAnIncompletePacketWithoutConsuming) {
  PacketSpec s;
  s.lengthOverride = 10;
  s.payload.assign(640 - 32, 0);
  auto packet = FrameBytes(s);
  packet.resize(600);
  Feed(packet);
  EXPECT_EQ(FindFrameHeader(conn().MainRing), kPacketIncomplete);
  EXPECT_EQ(conn().MainRing.Used(), 600u);
  ByteRing empty;
  empty.Allocate(64);
  EXPECT_EQ(FindFrameHeader(empty), kRingEmpty);
}

TEST_F(StreamFramingTest, HeadersNoPacketCanHaveAreGarbage) {
  for (int32_t length : {0, 0xFFFF}) {
    conn().MainRing.Clear();
    PacketSpec bad;
    bad.lengthOverride = length;
    auto bytes = FrameBytes(bad);
    auto good = FrameBytes(PacketSpec{});
    bytes.insert(bytes.end(), good.begin(), good.end());
    Feed(bytes);
    EXPECT_EQ(FindFrameHeader(conn().MainRing), kGarbageSkipped) << length;
    EXPECT_EQ(FindFrameHeader(conn().MainRing), kPacketReady) << length;
    EXPECT_EQ(conn().MainRing.Used(), good.size());
  }
}

TEST_F(StreamFramingTest, AMagicSplitByTheWrapPointIsFound) {
  ByteRing& ring = conn().MainRing;
  // Move the positions so that the magic straddles the end of the storage.
  std::vector<uint8_t> fill(ring.Size() / 2, 0xEE), sink(ring.Size() / 2);
  for (uint32_t moved = 0; moved < ring.Size() - 2 - 7;) {
    const uint32_t n = std::min<uint32_t>(uint32_t(fill.size()), ring.Size() - 2 - 7 - moved);
    ring.Write(fill.data(), n);
    ring.Read(sink.data(), n);
    moved += n;
  }
  std::vector<uint8_t> bytes(7, 0x11);
  auto packet = FrameBytes(PacketSpec{});
  bytes.insert(bytes.end(), packet.begin(), packet.end());
  Feed(bytes);
  EXPECT_EQ(FindFrameHeader(ring), kGarbageSkipped);
  EXPECT_EQ(ring.Used(), packet.size());
  EXPECT_EQ(FindFrameHeader(ring), kPacketReady);
}

TEST_F(StreamFramingTest, GarbageWithoutMagicIsDiscardedButAStartedMagicKept) {
  Feed({5, 6, 7, 8, 9, 10, 0, 0});
  EXPECT_EQ(FindFrameHeader(conn().MainRing), kGarbageSkipped);
  EXPECT_EQ(conn().MainRing.Used(), 2u);
  auto rest = FrameBytes(PacketSpec{});
  Feed(std::vector<uint8_t>(rest.begin() + 2, rest.end()));
  EXPECT_EQ(FindFrameHeader(conn().MainRing), kPacketReady);
}

TEST_F(StreamFramingTest, MarkerFramedPacketsAreParsedAfterGarbage) {
  UseMarkerFraming();
  PacketSpec s;
  std::vector<uint8_t> bytes = {1, 2, 3, 0, 0, 3};
  auto packet = FrameBytes(s);
  bytes.insert(bytes.end(), packet.begin(), packet.end());
  Feed(bytes);
  EXPECT_EQ(Parse(), 1) << "the garbage pass parses nothing";
  EXPECT_TRUE(decoded.empty());
  EXPECT_EQ(Parse(), 1);
  EXPECT_EQ(decoded.size(), 1u);
}

TEST_F(StreamFramingTest, MarkerFramedAudioGoesToTheAudioRing) {
  UseMarkerFraming();
  PacketSpec s;
  s.type = 2;
  s.widthMb = s.heightMb = 0;
  s.payload.assign(320, 0x42);
  auto packet = FrameBytes(s);
  Feed(packet);
  EXPECT_EQ(Parse(), 0);
  EXPECT_EQ(conn().AudioRing.Used(), packet.size());
  EXPECT_TRUE(conn().MainRing.Empty());
}

TEST_F(StreamFramingTest, TransportHeadersOutOfRangeEmptyTheRing) {
  struct Case {
    const char* what;
    uint32_t channel;
    int32_t total;
  } cases[] = {
      {"channel 17", 17, -1},
      {"total 256 KiB", 0, 0x40000},
      {"total below two headers", 0, 159},
      {"total 0", 0, 0},
  };
  for (const Case& c : cases) {
    conn().MainRing.Clear();
    PacketSpec s;
    s.channel = c.channel;
    s.totalOverride = c.total;
    FeedTransport(s);
    FeedTransport(PacketSpec{});
    EXPECT_EQ(Parse(), 1) << c.what;
    EXPECT_TRUE(conn().MainRing.Empty()) << c.what;
  }
}

TEST_F(StreamFramingTest, InvalidPacketsAreSkippedByTheirLengthAndTheNextIsParsed) {
  struct Case {
    const char* what;
    PacketSpec bad;
  } cases[4];
  cases[0] = {"video width 0", {}};
  cases[0].bad.widthMb = 0;
  cases[1] = {"frame length beyond the transport total", {}};
  cases[1].bad.lengthOverride = 40;
  cases[2] = {"other connection tag", {}};
  cases[2].bad.tag = 77;
  cases[3] = {"picture beyond 60 x 36 macroblocks", {}};
  cases[3].bad.widthMb = 61;
  for (auto& c : cases) {
    conn().MainRing.Clear();
    decoded.clear();
    clock.AdvanceMs(1000);
    stats.LastSequence[0] = 0;
    c.bad.sequence = 1;
    FeedTransport(c.bad);
    PacketSpec good;
    good.sequence = 2;
    FeedTransport(good);
    EXPECT_EQ(Parse(), 0) << c.what;
    EXPECT_EQ(Parse(), 1) << c.what;
    EXPECT_EQ(decoded.size(), 1u) << c.what;
    EXPECT_TRUE(conn().MainRing.Empty()) << c.what;
  }
}

TEST_F(StreamFramingTest, ATransportPacketStillArrivingWaits) {
  auto packet = TransportPacket(PacketSpec{});
  Feed(std::vector<uint8_t>(packet.begin(), packet.begin() + 150));
  EXPECT_EQ(Parse(), 1);
  EXPECT_EQ(conn().MainRing.Used(), 150u);
  Feed(std::vector<uint8_t>(packet.begin() + 150, packet.end()));
  EXPECT_EQ(Parse(), 1);
  EXPECT_EQ(decoded.size(), 1u);
}

TEST_F(StreamFramingTest, RoutePacketSendsAudioOnlyAfterVideo) {
  int audioMarks = 0;
  stream.Hooks().audioReceived = [&] { ++audioMarks; };
  PacketSpec audio;
  audio.type = 2;
  auto a = TransportPacket(audio);
  stream.RoutePacket(0, a.data(), uint32_t(a.size()), 2);
  EXPECT_TRUE(conn().AudioRing.Empty());
  auto v = TransportPacket(PacketSpec{});
  stream.RoutePacket(0, v.data(), uint32_t(v.size()), 0);
  Parse();
  stream.RoutePacket(0, a.data(), uint32_t(a.size()), 2);
  EXPECT_EQ(conn().AudioRing.Used(), a.size());
  EXPECT_EQ(audioMarks, 1);
}

TEST_F(StreamFramingTest, RoutePacketDoesNothingUnderMarkerFraming) {
  UseMarkerFraming();
  auto v = TransportPacket(PacketSpec{});
  stream.RoutePacket(0, v.data(), uint32_t(v.size()), 0);
  EXPECT_TRUE(conn().MainRing.Empty());
}

TEST_F(StreamFramingTest, LiveRoutePacketThatDoesNotFitEmptiesTheRing) {
  auto v = TransportPacket(PacketSpec{});
  while (conn().MainRing.UsableFree() >= v.size()) {
    std::vector<uint8_t> fill(conn().MainRing.UsableFree() / 2 + 1, 1);
    Feed(fill);
  }
  stream.RoutePacket(0, v.data(), uint32_t(v.size()), 0);
  EXPECT_TRUE(conn().MainRing.Empty());
}

TEST_F(StreamFramingTest, RegisterPictureOutputRefusals) {
  Image* out = &form.Image_video;
  EXPECT_EQ(stream.RegisterPictureOutput(1, "a", 1, 0, 0, out, nullptr, 0, 0), -1);
  EXPECT_EQ(stream.RegisterPictureOutput(0, "", 1, 0, 0, out, nullptr, 0, 0), -1);
  EXPECT_EQ(stream.RegisterPictureOutput(0, "a", 1, 0, 0, nullptr, nullptr, 0, 0), -1);
  EXPECT_EQ(stream.RegisterPictureOutput(0, "a", 1, 17, 0, out, nullptr, 0, 0), -1);
  EXPECT_EQ(stream.RegisterPictureOutput(0, "a", 1, 0, 2, out, nullptr, 0, 0), -1);
  EXPECT_EQ(stream.RegisterPictureOutput(-1, "10.9.9.9", 80, 0, 1, out, nullptr, 0, 0), -1);
  EXPECT_EQ(stream.RegisterPictureOutput(-1, "10.1.2.3", 80, 0, 1, out, nullptr, 0, 0), 0);
  EXPECT_EQ(conn().OutputCount[1], 1);
}

}  // namespace
}  // namespace tevrano::test
