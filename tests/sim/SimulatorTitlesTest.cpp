// Channel titles ("VDTT") against the real program: a viewer's offered set
// pulled piece by piece, the recorder's title record on request.
#include <gtest/gtest.h>

#include <fstream>

#include "SimClient.h"

namespace tevrano::sim::test {
namespace {

constexpr uint32_t kSetSize = 115592;
constexpr uint32_t kRecordSize = 1160;

uint32_t Sum(const uint8_t* p, size_t n) {
  uint32_t s = 0;
  for (size_t i = 0; i < n; ++i) s += p[i];
  return s;
}

// Where a record type lies in a set laid out as record, then bitmaps 1..4.
uint32_t At(uint32_t type) {
  const uint32_t starts[5] = {kRecordSize, kRecordSize + 50176, kRecordSize + 81152,
                              kRecordSize + 101888, 0};
  return type == 16 ? 0 : starts[type - 1];
}
uint32_t SizeOf(uint32_t type) {
  const uint32_t sizes[4] = {50176, 30976, 20736, 12544};
  return type == 16 ? kRecordSize : sizes[type - 1];
}

std::vector<uint8_t> Vdtt(uint32_t session, uint32_t form, uint32_t kind, uint32_t type,
                          uint32_t offset, uint32_t length, const uint8_t* piece,
                          int sumDelta = 0) {
  std::vector<uint8_t> data(32, 0);
  PutLe32(&data[0], offset);
  PutLe32(&data[4], length);
  if (kind == 1) {
    PutLe32(&data[8], Sum(piece, length) + uint32_t(sumDelta));
    if (piece && length) data.resize(32 + size_t(length)), std::memcpy(&data[32], piece, length);
  }
  return BuildModuleMessage(Tag("VDTT"), BuildSubHeaderBody(session, form, data, {kind, type}));
}

std::string ReadLog(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(SimulatorTitles, AnOfferedSetIsPulledPieceByPieceAndEndsWithTypeZero) {
  const std::string log = ::testing::TempDir() + "sim-titles.jsonl";
  SimProcess sim({"--log", log});
  ASSERT_TRUE(sim.running());
  Socket s(sim.port());
  const uint32_t session = Login(s);
  ASSERT_NE(session, 0u);

  // Our set: titles of channels 1 and 2, one ink pixel at (10, 3) of
  // channel 1's largest bitmap, the checksum over the set.
  std::vector<uint8_t> set(kSetSize, 0);
  std::memcpy(&set[4], "Gate", 4);
  std::memcpy(&set[4 + 64], "Yard", 4);
  std::memcpy(&set[1060], "Arial", 5);
  PutLe32(&set[1132], 70);
  set[kRecordSize + 3 * 56 + 1] = 0x04;  // row 3, pixel 10
  PutLe32(&set[1144], Sum(set.data(), set.size()));

  std::vector<uint8_t> out = Vdtt(session, 0, 1, 16, 0, 1152, set.data());
  uint32_t expectType = 16, expectOffset = 1152, pieces = 1;
  bool finished = false, damagedOnce = false;
  for (int round = 0; round < 400 && !finished; ++round) {
    s.Send(Frame(out.empty() ? kPoll : kExchange, session, 0, out));
    out.clear();
    std::vector<uint8_t> body;
    ASSERT_TRUE(AwaitAnswer(s, body));
    for (const Module& m : ModulesOf(body)) {
      if (m.tag != Tag("VDTT")) continue;
      ASSERT_GE(m.body.size(), 64u);
      EXPECT_EQ(GetLe32(&m.body[0]), session);
      EXPECT_EQ(GetLe32(&m.body[4]), 1u);  // form 1
      EXPECT_EQ(GetLe32(&m.body[8]), 0u);  // a request
      const uint32_t type = GetLe32(&m.body[12]), offset = GetLe32(&m.body[32]);
      const uint32_t length = GetLe32(&m.body[36]);
      if (type == 0) {
        finished = true;
        EXPECT_EQ(expectType, 4u);
        EXPECT_EQ(expectOffset, SizeOf(4));
        continue;
      }
      if (expectOffset >= SizeOf(expectType)) {
        expectType = expectType == 16 ? 1 : expectType + 1;
        expectOffset = 0;
      }
      ASSERT_EQ(type, expectType);
      ASSERT_EQ(offset, expectOffset);
      ASSERT_EQ(length, std::min<uint32_t>(1152, SizeOf(type) - offset));
      // The first piece of bitmap 2 goes out damaged once: asked for again.
      if (type == 2 && offset == 0 && !damagedOnce) {
        damagedOnce = true;
        out = Vdtt(session, 0, 1, type, offset, length, &set[At(type) + offset], 1);
        continue;
      }
      out = Vdtt(session, 0, 1, type, offset, length, &set[At(type) + offset]);
      expectOffset += length;
      ++pieces;
    }
  }
  ASSERT_TRUE(finished);
  EXPECT_EQ(pieces, 102u);  // 2 + 44 + 27 + 18 + 11

  // The recorder now answers a title request with the set's record.
  const std::vector<uint8_t> record = PollFor(
      s, session, Tag("VDTT"),
      [](const std::vector<uint8_t>& b) { return b.size() >= 64 && GetLe32(&b[12]) == 17; }, 8000,
      Vdtt(session, 0, 0, 17, 0, 1152, nullptr));
  ASSERT_EQ(record.size(), 64u + kRecordSize);
  EXPECT_EQ(GetLe32(&record[4]), 1u);
  EXPECT_EQ(GetLe32(&record[8]), 1u);
  EXPECT_EQ(GetLe32(&record[36]), kRecordSize);
  EXPECT_EQ(GetLe32(&record[40]), Sum(set.data(), kRecordSize));
  EXPECT_TRUE(std::equal(set.begin(), set.begin() + kRecordSize, record.begin() + 64));

  const std::string text = ReadLog(log);
  EXPECT_NE(text.find("\"event\":\"titles_received\""), std::string::npos) << text.substr(0, 500);
  EXPECT_NE(text.find("\"checksum_ok\":true,\"titles\":[\"Gate\",\"Yard\",\"\""),
            std::string::npos);
  EXPECT_NE(text.find("\"percent\":70"), std::string::npos);
  EXPECT_NE(text.find("\"ink_boxes\":[[[10,3,10,3],null,null,null],[null"), std::string::npos);
  EXPECT_NE(text.find("\"sum_ok\":false"), std::string::npos);
}

TEST(SimulatorTitles, ATitleRequestGetsTheRecordersOwnTitles) {
  SimProcess sim({});
  ASSERT_TRUE(sim.running());
  Socket s(sim.port());
  const uint32_t session = Login(s);
  ASSERT_NE(session, 0u);
  const std::vector<uint8_t> record = PollFor(
      s, session, Tag("VDTT"), [](const std::vector<uint8_t>&) { return true; }, 8000,
      Vdtt(session, 0, 0, 17, 0, 1152, nullptr));
  ASSERT_EQ(record.size(), 64u + kRecordSize);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record[64 + 4])), "Camera 1");
  EXPECT_EQ(GetLe32(&record[40]), Sum(&record[64], kRecordSize));
}

}  // namespace
}  // namespace tevrano::sim::test
