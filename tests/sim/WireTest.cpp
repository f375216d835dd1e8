// The simulator's own reading and writing of the wire formats.
#include <gtest/gtest.h>

#include <string>

#include "Credentials.h"
#include "StreamPacket.h"
#include "Wire.h"

namespace tevrano::sim {
namespace {

TEST(ModuleChecksum, ByteSumUpTo1024BytesThenOneWordPerKibibyte) {
  std::vector<uint8_t> body(2100, 0);
  for (size_t i = 0; i < body.size(); ++i) body[i] = uint8_t(i * 7 + 1);
  uint32_t byteSum = 0;
  for (size_t i = 0; i < 1024; ++i) byteSum += body[i];
  EXPECT_EQ(ModuleChecksum(body.data(), 1024), byteSum);
  // 1025 bytes: the single word at offset 0.
  EXPECT_EQ(ModuleChecksum(body.data(), 1025), GetLe32(body.data()));
  // 2100 bytes: words at 0 and 1024; the tail is not summed.
  EXPECT_EQ(ModuleChecksum(body.data(), 2100), GetLe32(&body[0]) + GetLe32(&body[1024]));
  std::vector<uint8_t> ff(4096, 0xFF);
  EXPECT_EQ(ModuleChecksum(ff.data(), 4096), 0xFFFFFFFFu * 4);  // wraps at 32 bits
}

TEST(ModuleMessages, WalkSkipsAWrongChecksumAndStopsAtABadLength) {
  std::vector<uint8_t> payload;
  auto add = [&](const std::vector<uint8_t>& m) {
    payload.insert(payload.end(), m.begin(), m.end());
  };
  add(BuildModuleMessage(Tag("ICMD"), std::vector<uint8_t>(40, 1)));
  std::vector<uint8_t> bad = BuildModuleMessage(Tag("ZELL"), std::vector<uint8_t>(40, 2));
  bad[8] ^= 1;
  add(bad);
  add(BuildModuleMessage(Tag("ICTL"), std::vector<uint8_t>(2000, 3)));
  std::vector<std::pair<std::string, bool>> seen;
  EXPECT_TRUE(WalkModuleMessages(
      ByteReader(payload.data(), payload.size()),
      [&](const ModuleMessageView& m) { seen.emplace_back(TagText(m.tag), m.checksumOk); }));
  const std::vector<std::pair<std::string, bool>> want = {
      {"ICMD", true}, {"ZELL", false}, {"ICTL", true}};
  EXPECT_EQ(seen, want);

  struct Case {
    const char* name;
    uint32_t length;
  };
  for (Case c : {Case{"below header", 20}, Case{"past the end", 5000}}) {
    std::vector<uint8_t> p = BuildModuleMessage(Tag("ICMD"), std::vector<uint8_t>(40, 1));
    std::vector<uint8_t> broken = BuildModuleMessage(Tag("VIDO"), std::vector<uint8_t>(40, 1));
    PutLe32(&broken[0], c.length);
    p.insert(p.end(), broken.begin(), broken.end());
    int visits = 0;
    EXPECT_FALSE(WalkModuleMessages(ByteReader(p.data(), p.size()), [&](const ModuleMessageView&) {
      ++visits;
    })) << c.name;
    EXPECT_EQ(visits, 1) << c.name;
  }
}

TEST(CommandFrame, AnswerIsHttpWrappedFrameWithItsLength) {
  std::vector<uint8_t> payload = BuildModuleMessage(Tag("ZELL"), BuildSubHeaderBody(77, 1, {}));
  std::vector<uint8_t> frame = BuildCommandFrame(kReply, 77, 0, 1, payload);
  ASSERT_EQ(frame.size(), 64 + payload.size());
  EXPECT_EQ(GetLe32(&frame[0]), frame.size());
  EXPECT_EQ(std::string(frame.begin() + 4, frame.begin() + 8), "ULCM");
  EXPECT_EQ(GetLe32(&frame[8]), 3u);
  EXPECT_EQ(GetLe32(&frame[12]), 77u);
  EXPECT_EQ(GetLe32(&frame[56]), 1u);
  std::vector<uint8_t> answer = WrapAnswer(frame);
  const std::string text(answer.begin(), answer.end());
  EXPECT_EQ(text.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  const size_t end = text.find("\r\n\r\n");
  ASSERT_NE(end, std::string::npos);
  EXPECT_NE(text.find("Content-Length: " + std::to_string(frame.size()) + "\r\n"),
            std::string::npos);
  EXPECT_EQ(answer.size() - end - 4, frame.size());

  auto h = ReadCommandFrameHeader(ByteReader(frame.data(), frame.size()));
  ASSERT_TRUE(h.has_value());
  EXPECT_EQ(h->sessionId, 77u);
  frame[4] = 'X';
  EXPECT_FALSE(ReadCommandFrameHeader(ByteReader(frame.data(), frame.size())).has_value());
  EXPECT_FALSE(ReadCommandFrameHeader(ByteReader(frame.data(), 63)).has_value());
}

TEST(Credentials, ScrambledDigitsComeBackExactly) {
  // One-digit user and four-digit password with an eight-digit time: 15
  // characters.
  const std::string text = ScrambleCredentials("7", "5678", 0x6575A1F3);
  EXPECT_EQ(text.size(), 15u);
  EXPECT_EQ(text.substr(0, 9), "6575A1F3.");
  auto up = UnscrambleCredentials(text);
  ASSERT_TRUE(up.has_value());
  EXPECT_EQ(up->user, "7");
  EXPECT_EQ(up->password, "5678");

  up = UnscrambleCredentials(ScrambleCredentials("1234", "5678", 0x6575A1F3));
  ASSERT_TRUE(up.has_value());
  EXPECT_EQ(up->user, "1234");
  EXPECT_EQ(up->password, "5678");

  for (const char* bad : {"", "6575A1F3", "6575A1F3.123", ".1.2"})
    EXPECT_FALSE(UnscrambleCredentials(bad).has_value()) << bad;
}

TEST(StreamPacket, FrameHeaderFieldsSitWhereAViewerReadsThem) {
  FrameHeaderFields h;
  h.seconds = 0x12345678;
  h.frame = 24;
  h.type = 1;
  h.widthMbs = 44;
  h.heightMbs = 36;
  h.resolutionCode = 2;
  h.subChannel = 9;
  h.morePackets = 3;
  h.key = false;
  h.rateField = 600;
  h.counter = 1023;
  std::vector<uint8_t> out;
  const uint8_t payload[70] = {1};
  EXPECT_EQ(AppendMarkerPacket(out, h, payload, sizeof payload), 128u);
  ASSERT_EQ(out.size(), 128u);
  EXPECT_EQ(GetLe32(&out[0]), 0x03000000u);
  EXPECT_EQ(GetLe32(&out[4]), 0x12345678u);
  EXPECT_EQ(out[8], 24);
  EXPECT_EQ(out[11] >> 6, 1);
  EXPECT_EQ(out[12], 36);
  EXPECT_EQ(out[13], 44);
  EXPECT_EQ((out[14] >> 2) & 3, 2);
  EXPECT_EQ(out[14] >> 4, 9);
  EXPECT_EQ(out[15] & 15, 3);
  EXPECT_EQ((out[15] >> 4) & 3, 1);  // predicted
  EXPECT_EQ(GetLe16(&out[18]), 2);
  EXPECT_EQ((GetLe32(&out[20]) >> 5) & 0x1FFFF, 600u);
  EXPECT_EQ((out[23] >> 5) & 3, 0);  // live
  EXPECT_EQ(GetLe16(&out[26]) >> 6, 1023);
  EXPECT_EQ(GetLe32(&out[28]), 0u);
  EXPECT_EQ(out[32], 1);
  for (size_t i = 32 + sizeof payload; i < out.size(); ++i) EXPECT_EQ(out[i], 0) << i;

  h.streamKind = 1;
  h.key = true;
  out.clear();
  AppendMarkerPacket(out, h, payload, 32);  // exactly one unit: no padding
  EXPECT_EQ(out.size(), 64u);
  EXPECT_EQ((out[23] >> 5) & 3, 1);
  EXPECT_EQ((out[15] >> 4) & 3, 0);
}

TEST(StreamPacket, RecorderTimeCountsTheYear2000With365Days) {
  std::tm t{};
  t.tm_year = 100;  // 2000-01-01 00:00:10
  t.tm_sec = 10;
  EXPECT_EQ(PackRecorderTime(t), 10u);
  t = {};
  t.tm_year = 101;  // 2001-01-01
  EXPECT_EQ(PackRecorderTime(t), 365u * 86400);
  t = {};
  t.tm_year = 105;  // 2005-03-01 12:00:00: 2000 to 2003 of 365 days, 2004 of 366, then 59 days
  t.tm_yday = 59;
  t.tm_hour = 12;
  EXPECT_EQ(PackRecorderTime(t), (365u * 5 + 1 + 59) * 86400 + 12 * 3600);
}

}  // namespace
}  // namespace tevrano::sim
