#include "base/ByteReader.h"

#include <gtest/gtest.h>

#include <vector>

namespace tevrano {
namespace {

TEST(ByteReaderTest, ReadsFieldsInOrderInBothByteOrders) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B};
  ByteReader r(bytes, sizeof bytes);
  uint32_t le = 0, be = 0;
  uint16_t le16 = 0;
  uint8_t b = 0;
  EXPECT_TRUE(r.Le32(le));
  EXPECT_TRUE(r.Be32(be));
  EXPECT_TRUE(r.Le16(le16));
  EXPECT_TRUE(r.U8(b));
  EXPECT_EQ(le, 0x04030201u);
  EXPECT_EQ(be, 0x05060708u);
  EXPECT_EQ(le16, 0x0A09);
  EXPECT_EQ(b, 0x0B);
  EXPECT_EQ(r.Remaining(), 0u);
  EXPECT_TRUE(r.Ok());
}

TEST(ByteReaderTest, AShortReadFailsLeavesItsOutputAndMarksTheReader) {
  const uint8_t bytes[] = {1, 2, 3};
  ByteReader r(bytes, sizeof bytes);
  uint32_t v = 77;
  EXPECT_FALSE(r.Le32(v));
  EXPECT_EQ(v, 77u);
  EXPECT_EQ(r.Position(), 0u);
  EXPECT_FALSE(r.Ok());
  uint16_t w = 0;
  EXPECT_TRUE(r.Le16(w));  // later reads that fit still work; Ok() stays false
  EXPECT_FALSE(r.Ok());
}

TEST(ByteReaderTest, LengthsNearTheTopOfTheRangeDoNotWrap) {
  const uint8_t bytes[8] = {};
  struct Case {
    size_t skip, then;
  } cases[] = {{4, SIZE_MAX}, {SIZE_MAX, 1}, {8, 1}, {9, 0}};
  for (const Case& c : cases) {
    ByteReader r(bytes, sizeof bytes);
    r.Skip(c.skip);
    std::span<const uint8_t> s;
    EXPECT_FALSE(r.Span(c.then, s) && r.Ok()) << c.skip << "+" << c.then;
    EXPECT_LE(r.Position(), sizeof bytes);
  }
}

TEST(ByteReaderTest, SubReaderSeesOnlyItsBytes) {
  const uint8_t bytes[] = {2, 0, 0, 0, 9, 9, 7};
  ByteReader r(bytes, sizeof bytes);
  ByteReader sub;
  ASSERT_TRUE(r.Skip(4));
  ASSERT_TRUE(r.Sub(2, sub));
  uint32_t v = 0;
  EXPECT_FALSE(sub.Le32(v));
  uint8_t rest = 0;
  EXPECT_TRUE(r.U8(rest));
  EXPECT_EQ(rest, 7);
}

TEST(ByteReaderTest, TextFieldsAreTerminatedAndCut) {
  struct Case {
    std::vector<uint8_t> field;
    size_t outSize;
    const char* expected;
  } cases[] = {
      {{'a', 'b', 0, 'x'}, 8, "ab"},
      {{'a', 'b', 'c', 'd'}, 8, "abcd"},  // no terminator in the field
      {{'a', 'b', 'c', 'd'}, 3, "ab"},    // cut to leave room for the terminator
      {{0, 'b'}, 4, ""},
  };
  for (const Case& c : cases) {
    ByteReader r(c.field.data(), c.field.size());
    char out[8];
    std::memset(out, 'Z', sizeof out);
    ASSERT_TRUE(r.Text(c.field.size(), out, c.outSize));
    EXPECT_STREQ(out, c.expected);
  }
}

TEST(ByteWriterTest, WritesFieldsAndRefusesWhatDoesNotFit) {
  uint8_t buf[10] = {};
  ByteWriter w(buf, sizeof buf);
  EXPECT_TRUE(w.Le32(0x11223344));
  EXPECT_TRUE(w.Be32(0x55667788));
  EXPECT_FALSE(w.Le32(1));  // 2 bytes left
  EXPECT_TRUE(w.Le16(0xAABB));
  EXPECT_FALSE(w.Ok());
  const uint8_t expected[] = {0x44, 0x33, 0x22, 0x11, 0x55, 0x66, 0x77, 0x88, 0xBB, 0xAA};
  EXPECT_EQ(0, std::memcmp(buf, expected, sizeof buf));
}

TEST(ByteWriterTest, TextKeepsTheTerminatorAndZeroesTheField) {
  uint8_t field[5];
  std::memset(field, 0xFF, sizeof field);
  PutText(field, sizeof field, "abcdefgh");
  const uint8_t expected[] = {'a', 'b', 'c', 'd', 0};
  EXPECT_EQ(0, std::memcmp(field, expected, sizeof field));
  PutText(field, sizeof field, "x");
  const uint8_t expected2[] = {'x', 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(field, expected2, sizeof field));
}

std::vector<std::vector<uint8_t>> Units(NalLengthWalker w) {
  std::vector<std::vector<uint8_t>> out;
  std::span<const uint8_t> unit;
  while (w.Next(unit)) out.emplace_back(unit.begin(), unit.end());
  return out;
}

TEST(NalLengthWalkerTest, YieldsWholeUnitsAndStopsAtPaddingOrATruncatedUnit) {
  const std::vector<uint8_t> two = {0, 0, 0, 2, 0x67, 1, 0, 0, 0, 1, 0x68};
  EXPECT_EQ(Units(NalLengthWalker(two)), (std::vector<std::vector<uint8_t>>{{0x67, 1}, {0x68}}));

  std::vector<uint8_t> padded = two;
  padded.insert(padded.end(), {0, 0, 0, 0, 0xEE, 0xEE});
  bool padding = false;
  EXPECT_EQ(NalLengthWalker::WholeUnitBytes(padded, &padding), two.size());
  EXPECT_TRUE(padding);

  std::vector<uint8_t> cut = two;
  cut.insert(cut.end(), {0, 0, 0, 9, 0x65});  // claims 9 bytes, has 1
  EXPECT_EQ(NalLengthWalker::WholeUnitBytes(cut, &padding), two.size());
  EXPECT_FALSE(padding);

  const std::vector<uint8_t> huge = {0xFF, 0xFF, 0xFF, 0xFF, 0x65};
  EXPECT_EQ(NalLengthWalker::WholeUnitBytes(huge), 0u);
}

TEST(NalLengthWalkerTest, LastWithPrefixIsTheUnitJustYieldedWithItsLength) {
  const std::vector<uint8_t> two = {0, 0, 0, 2, 0x67, 1, 0, 0, 0, 1, 0x68};
  NalLengthWalker w(two);
  std::span<const uint8_t> unit;
  EXPECT_TRUE(w.LastWithPrefix().empty());
  const std::vector<std::vector<uint8_t>> expected = {{0, 0, 0, 2, 0x67, 1}, {0, 0, 0, 1, 0x68}};
  for (const auto& e : expected) {
    ASSERT_TRUE(w.Next(unit));
    const std::span<const uint8_t> whole = w.LastWithPrefix();
    EXPECT_EQ(std::vector<uint8_t>(whole.begin(), whole.end()), e);
  }
}

TEST(NalUnitTypeTest, LowFiveBitsOfTheFirstByteAndNoneForAnEmptyUnit) {
  const struct {
    std::vector<uint8_t> unit;
    int type;
  } cases[] = {{{0x67, 0x42}, kNalSps}, {{0x68}, kNalPps}, {{0x65}, kNalIdr},
               {{0x41}, kNalSlice},     {{0x06}, kNalSei}, {{}, -1}};
  for (const auto& c : cases) EXPECT_EQ(NalUnitType(c.unit), c.type) << c.type;
}

TEST(NalStartCodeWalkerTest, SplitsOnThreeAndFourByteStartCodes) {
  const std::vector<uint8_t> stream = {0xAA, 0, 0,    0, 1, 0x67, 1, 2, 0,
                                       0,    1, 0x68, 3, 0, 0,    0, 1, 0x65};
  NalStartCodeWalker w(stream);
  std::vector<std::vector<uint8_t>> units;
  std::span<const uint8_t> unit;
  while (w.Next(unit)) units.emplace_back(unit.begin(), unit.end());
  EXPECT_EQ(units, (std::vector<std::vector<uint8_t>>{{0x67, 1, 2}, {0x68, 3}, {0x65}}));
}

}  // namespace
}  // namespace tevrano
