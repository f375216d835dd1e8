#include <gtest/gtest.h>

#include "net/ModuleTable.h"
#include "net/SendQueue.h"
#include "tests/net/NetPeer.h"

namespace tevrano {
namespace {

using test::Bytes;

TEST(ModuleChecksum, ByteSumUpTo1024AndWordsAbove) {
  Bytes body(1025, 0);
  for (size_t i = 0; i < body.size(); ++i) body[i] = uint8_t(i * 7 + 1);
  uint32_t byteSum = 0;
  for (size_t i = 0; i < 1024; ++i) byteSum += body[i];
  EXPECT_EQ(ModuleChecksum(body.data(), 1024), byteSum);
  // 1025 bytes: the single little-endian word at offset 0.
  EXPECT_EQ(ModuleChecksum(body.data(), 1025), test::Get32(body, 0));
  Bytes big(3072, 0);
  test::Put32(big, 0, 0xFFFFFFFF);
  test::Put32(big, 1024, 2);
  test::Put32(big, 2048, 5);
  EXPECT_EQ(ModuleChecksum(big.data(), 3072), 6u);  // wraps at 32 bits
  EXPECT_EQ(ModuleChecksum(big.data(), 3071), 1u);  // two words only
}

TEST(ModuleHeaderRead, TotalsShorterThanTheHeaderOrLongerThanTheBytesEndTheWalk) {
  const struct {
    const char* what;
    size_t bytes;  // bytes present, header included
    uint32_t total;
    bool ok;
  } cases[] = {
      {"header only", 32, 32, true},
      {"body of 3", 35, 35, true},
      {"bytes to spare", 40, 35, true},
      {"total below the header", 40, 31, false},
      {"total past the bytes", 35, 36, false},
      {"short header", 31, 31, false},
      {"total near 2^32", 40, 0xFFFFFFFF, false},
  };
  for (const auto& c : cases) {
    Bytes bytes(c.bytes, 0);
    if (c.bytes >= 4) test::Put32(bytes, 0, c.total);
    if (c.bytes >= 12) test::Put32(bytes, 4, Tag("TEST")), test::Put32(bytes, 8, 0x55);
    ByteReader r(bytes.data(), bytes.size());
    ModuleHeader h;
    EXPECT_EQ(ReadModuleHeader(r, h), c.ok) << c.what;
    if (!c.ok) continue;
    EXPECT_EQ(h.tag, Tag("TEST")) << c.what;
    EXPECT_EQ(h.checksum, 0x55u) << c.what;
    EXPECT_EQ(h.bodyLength, c.total - 32) << c.what;
    EXPECT_EQ(r.Position(), 32u) << c.what;
  }
}

TEST(ModuleTableRegistry, FirstEntryWithATagWinsAndAFullTableIgnoresMore) {
  ModuleTable table;
  int first = 0, second = 0;
  table.RegisterModule(
      Tag("AAAA"), nullptr, [&](const void*) { return ++first; }, nullptr, 0);
  table.RegisterModule(
      Tag("AAAA"), nullptr, [&](const void*) { return ++second; }, nullptr, 0);
  EXPECT_EQ(table.SendToModule(Tag("AAAA"), nullptr), 1);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(table.SendToModule(Tag("NONE"), nullptr), 0);
  for (int i = 2; i < 40; ++i) table.RegisterModule(Tag("BBBB"), nullptr, nullptr, nullptr, 0);
  EXPECT_EQ(table.Entry(ModuleTable::kEntries - 1).Tag, Tag("BBBB"));
}

// Dispatch through the whole connection layer, with a module of our own.
class DispatchTest : public test::NetFixture {
 protected:
  DispatchTest() {
    net.Context(0).SessionId = 77;
    net.Modules().RegisterModule(
        Tag("TEST"),
        [this](const uint8_t* body, uint32_t length) {
          received.emplace_back(body, body + length);
        },
        nullptr, buffer, sizeof buffer);
  }
  uint8_t buffer[64];
  std::vector<Bytes> received;
};

TEST_F(DispatchTest, ThreeMessagesWithABadChecksumInTheMiddle) {
  const Bytes payload = test::Concat({test::Message("TEST", {1, 2, 3}),
                                      test::Message("TEST", {4, 5}, /*badChecksum=*/true),
                                      test::Message("TEST", {6})});
  EXPECT_EQ(net.DispatchModuleMessages(77, payload.data(), uint32_t(payload.size())), 0);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0], (Bytes{1, 2, 3}));
  EXPECT_EQ(received[1], (Bytes{6}));
}

TEST_F(DispatchTest, AMessageOfLength20EndsTheWalk) {
  Bytes shortOne(32, 0);
  test::Put32(shortOne, 0, 20);
  const Bytes payload =
      test::Concat({test::Message("TEST", {1}), shortOne, test::Message("TEST", {2})});
  net.DispatchModuleMessages(77, payload.data(), uint32_t(payload.size()));
  ASSERT_EQ(received.size(), 1u);
}

TEST_F(DispatchTest, UnknownTagsAreSkippedAndOverlongMessagesEndTheWalk) {
  Bytes overlong = test::Message("TEST", {9});
  test::Put32(overlong, 0, 1000);
  const Bytes payload =
      test::Concat({test::Message("NONE", {1}), test::Message("TEST", {2}), overlong});
  net.DispatchModuleMessages(77, payload.data(), uint32_t(payload.size()));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], (Bytes{2}));
}

TEST_F(DispatchTest, ABodyLargerThanTheModuleBufferIsDroppedNotCopied) {
  const Bytes payload =
      test::Concat({test::Message("TEST", Bytes(65, 1)), test::Message("TEST", Bytes(64, 2))});
  net.DispatchModuleMessages(77, payload.data(), uint32_t(payload.size()));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].size(), 64u);
}

TEST_F(DispatchTest, AnUnknownSessionIsRefused) {
  const Bytes payload = test::Message("TEST", {1});
  EXPECT_EQ(net.DispatchModuleMessages(78, payload.data(), uint32_t(payload.size())), -1);
  EXPECT_TRUE(received.empty());
}

// The send queue and its batches.
class SendQueueTest : public ::testing::Test {
 protected:
  SendQueueTest() { EmptySendRing(context); }
  void Queue(uint32_t length, uint8_t fill) {
    Bytes m(length, fill);
    ASSERT_EQ(QueueMessage(context, m.data(), length), 0);
  }
  Bytes Take() {
    uint8_t into[kMaxModuleMessage];
    const uint32_t n = TakeBatch(context, into);
    return Bytes(into, into + n);
  }
  RecorderContext context;
};

TEST_F(SendQueueTest, ThousandAndSixHundredGoInTwoBatches) {
  Queue(1000, 1);
  Queue(600, 2);
  EXPECT_EQ(Take(), Bytes(1000, 1));
  EXPECT_EQ(Take(), Bytes(600, 2));
  EXPECT_TRUE(Take().empty());
}

TEST_F(SendQueueTest, SixHundredAndSixHundredGoTogether) {
  Queue(600, 1);
  Queue(600, 2);
  EXPECT_EQ(Take().size(), 1200u);
  EXPECT_TRUE(Take().empty());
}

TEST_F(SendQueueTest, MessagesThatCouldNeverBeTakenAreRefused) {
  Bytes m(kMaxModuleMessage + 1, 0);
  EXPECT_EQ(QueueMessage(context, m.data(), uint32_t(m.size())), -1);
  EXPECT_EQ(QueueMessage(context, m.data(), 0), -1);
}

TEST_F(SendQueueTest, EmptyingTheRingForgetsTheQueuedLengths) {
  Queue(1000, 1);
  Queue(600, 2);
  EmptySendRing(context);
  Queue(700, 3);
  Queue(700, 4);
  // Stale lengths (1000, 600) would split the first 700-byte message.
  EXPECT_EQ(Take(), Bytes(700, 3));
  EXPECT_EQ(Take(), Bytes(700, 4));
}

}  // namespace
}  // namespace tevrano
