#include "stream/FrameHeader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <vector>

#include "stream/ParamSetPrefix.h"
#include "tests/stream/StreamPackets.h"

namespace tevrano {
namespace {

using test::FrameBytes;
using test::PacketSpec;

FrameHeader Parsed(const std::vector<uint8_t>& bytes) {
  FrameHeader h;
  EXPECT_TRUE(FrameHeader::Parse(bytes, h));
  return h;
}

TEST(FrameHeaderTest, FieldsAreReadFromTheirBits) {
  PacketSpec s;
  s.seconds = 0x01020304;
  s.frame = 17;
  s.widthMb = 22, s.heightMb = 18;
  s.subChannel = 9, s.resolution = 1, s.extraPackets = 3, s.key = false;
  s.rateField = 0x1FFFF, s.kind = 3, s.sequence10 = 1023, s.timeOffset = 3600;
  const auto bytes = FrameBytes(s);
  const FrameHeader h = Parsed(bytes);
  EXPECT_EQ(h.magic, FrameHeader::kMagic);
  EXPECT_EQ(h.seconds, 0x01020304u);
  EXPECT_EQ(h.frame, 17u);
  EXPECT_EQ(h.type, 1u);
  EXPECT_EQ(h.widthMb, 22u);
  EXPECT_EQ(h.heightMb, 18u);
  EXPECT_EQ(h.subChannel, 9u);
  EXPECT_EQ(h.resolution, 1u);
  EXPECT_EQ(h.extraPackets, 3u);
  EXPECT_FALSE(h.IsKeyFrame());
  EXPECT_EQ(h.rateField, 0x1FFFFu);
  EXPECT_EQ(h.streamKind, 3u);
  EXPECT_EQ(h.sequence10, 1023u);
  EXPECT_EQ(h.timeOffset, 3600u);
  EXPECT_EQ(h.PacketBytes(), bytes.size());
}

TEST(FrameHeaderTest, ValidityTable) {
  struct Case {
    const char* what;
    uint32_t type, widthMb, heightMb, seconds;
    int32_t length;
    bool valid;
  } cases[] = {
      {"video", 1, 44, 36, 5, -1, true},          {"video width 0", 1, 0, 36, 5, -1, false},
      {"video height 0", 1, 44, 0, 5, -1, false}, {"video seconds 0", 1, 44, 36, 0, -1, false},
      {"audio width 0", 2, 0, 0, 0, -1, true},    {"type 0", 0, 44, 36, 5, -1, false},
      {"type 3", 3, 44, 36, 5, -1, false},        {"length 0", 1, 44, 36, 5, 0, false},
  };
  for (const Case& c : cases) {
    PacketSpec s;
    s.type = c.type, s.widthMb = c.widthMb, s.heightMb = c.heightMb, s.seconds = c.seconds;
    s.lengthOverride = c.length;
    EXPECT_EQ(Parsed(FrameBytes(s)).Valid(), c.valid) << c.what;
  }
  std::vector<uint8_t> bad = FrameBytes(PacketSpec{});
  bad[3] = 2;
  EXPECT_FALSE(Parsed(bad).Valid());
}

TEST(FrameHeaderTest, ShortBytesAreRefusedAndLeaveTheReaderWhereItWas) {
  const std::vector<uint8_t> whole = FrameBytes(PacketSpec{});
  for (size_t n : {size_t(0), size_t(1), size_t(FrameHeader::kSize - 1)}) {
    ByteReader r(whole.data(), n);
    FrameHeader h;
    h.seconds = 99;
    EXPECT_FALSE(FrameHeader::Parse(r, h)) << n;
    EXPECT_EQ(h.seconds, 99u) << n;
    EXPECT_EQ(r.Position(), 0u) << n;
  }
  ByteReader r(whole.data(), FrameHeader::kSize);
  FrameHeader h;
  EXPECT_TRUE(FrameHeader::Parse(r, h));
  EXPECT_EQ(r.Remaining(), 0u);
}

TEST(TransportHeaderTest, FieldsAreReadAtTheirOffsetsAndShortBytesAreRefused) {
  std::vector<uint8_t> bytes(TransportHeader::kSize, 0);
  const struct {
    size_t at;
    uint32_t value;
  } fields[] = {{0, 4000},  {8, 40}, {12, 7},  {20, 16}, {24, 0xAB}, {32, 9},
                {36, 1234}, {40, 5}, {44, 44}, {48, 2},  {52, 0x77}};
  for (const auto& f : fields) StoreLe32(bytes.data() + f.at, f.value);
  TransportHeader t;
  ASSERT_TRUE(TransportHeader::Parse(bytes, t));
  const uint32_t got[] = {t.total,         t.intervalMs,   t.sequence, t.channel,
                          t.recorderValue, t.delivery,     t.seconds,  t.frame,
                          t.value44,       t.deliveryType, t.tag};
  for (size_t i = 0; i < std::size(fields); ++i) EXPECT_EQ(got[i], fields[i].value) << fields[i].at;

  TransportHeader untouched;
  bytes.pop_back();
  EXPECT_FALSE(TransportHeader::Parse(bytes, untouched));
  EXPECT_EQ(untouched.total, 0u);
}

// Reads Exp-Golomb codes back from an SPS.
struct BitReader {
  const uint8_t* p;
  uint32_t pos;
  uint32_t Bit() { return (p[pos >> 3] >> (7 - (pos & 7))) & 1 ? (++pos, 1u) : (++pos, 0u); }
  uint32_t Bits(int n) {
    uint32_t v = 0;
    while (n--) v = v << 1 | Bit();
    return v;
  }
  uint32_t Ue() {
    int zeros = 0;
    while (Bit() == 0) ++zeros;
    return (1u << zeros) - 1 + Bits(zeros);
  }
};

TEST(ParamSetPrefixTest, SpsFor704x576CarriesUe43AndUe35) {
  uint8_t out[ParamSetPrefix::kMaxBytes];
  const uint32_t n = ParamSetPrefix::Build(44, 36, out);
  const uint8_t start[] = {0x67, 0x42, 0x00, 0x1E, 0xF2, 0x80};
  ASSERT_GE(n, 10u);
  EXPECT_EQ(out[0] | out[1] | out[2], 0);
  const uint32_t spsLen = out[3];
  EXPECT_EQ(spsLen, 9u) << "42 fixed bits, two 11-bit codes, 5 closing bits";
  EXPECT_EQ(0, std::memcmp(out + 4, start, 5));
  EXPECT_EQ(out[9] & 0xC0, 0x80);
  BitReader r{out + 4, 6 * 8 - 6};
  EXPECT_EQ(r.Ue(), 43u);
  EXPECT_EQ(r.Ue(), 35u);
  EXPECT_EQ(r.Bits(5), 0b11001u);
  EXPECT_EQ(r.pos <= spsLen * 8, true);
  EXPECT_EQ((r.pos + 7) / 8, spsLen);
  const uint8_t pps[] = {0x00, 0x00, 0x00, 0x05, 0x68, 0xC9, 0x08, 0x38, 0x80};
  ASSERT_EQ(n, 4 + spsLen + sizeof pps);
  EXPECT_EQ(0, std::memcmp(out + 4 + spsLen, pps, sizeof pps));
}

TEST(ParamSetPrefixTest, SizesBeyondTheWorkBuffersGetNoPrefix) {
  uint8_t out[ParamSetPrefix::kMaxBytes];
  EXPECT_GT(ParamSetPrefix::Build(60, 36, out), 0u);
  EXPECT_GT(ParamSetPrefix::Build(1, 1, out), 0u);
  EXPECT_EQ(ParamSetPrefix::Build(61, 36, out), 0u);
  EXPECT_EQ(ParamSetPrefix::Build(44, 37, out), 0u);
  EXPECT_EQ(ParamSetPrefix::Build(255, 255, out), 0u);
  EXPECT_EQ(ParamSetPrefix::Build(0, 36, out), 0u);
}

TEST(ParamSetPrefixTest, TwoByteLengthsForTheMovieRecord) {
  uint8_t four[ParamSetPrefix::kMaxBytes], two[ParamSetPrefix::kMaxBytes];
  const uint32_t n4 = ParamSetPrefix::Build(22, 18, four, 4);
  const uint32_t n2 = ParamSetPrefix::Build(22, 18, two, 2);
  EXPECT_EQ(n4, n2 + 4);
  EXPECT_EQ(two[0], 0);
  EXPECT_EQ(two[1], four[3]);
  EXPECT_EQ(0, std::memcmp(two + 2, four + 4, four[3]));
}

}  // namespace
}  // namespace tevrano
