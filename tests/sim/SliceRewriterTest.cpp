// Every frame of every resolution, rewritten for the viewer-built parameter
// sets and decoded with only those sets in front of each I-frame, must give
// the very pictures the encoder's own stream gives.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BitStream.h"
#include "Bytes.h"
#include "ChannelPattern.h"
#include "LoopEncoder.h"
#include "ParamSetPrefix.h"
#include "SliceRewriter.h"
#include "TestDecoder.h"

namespace tevrano::sim {
namespace {

struct Size {
  int width, height, fps;
};

class EveryResolution : public ::testing::TestWithParam<Size> {};

TEST_P(EveryResolution, RewrittenSlicesDecodeToTheEncodersOwnPictures) {
  const Size size = GetParam();
  LoopSpec spec;
  spec.width = size.width;
  spec.height = size.height;
  spec.fps = size.fps;
  spec.keepOriginal = true;
  EncodedLoop loop = EncodeLoop(spec, [](Picture& pic, int f, int n) {
    DrawChannelPicture(pic, 5, f, n, "2026-12-10 04:36:08");
  });
  ASSERT_EQ(loop.error, "");
  ASSERT_EQ(loop.frames.size(), size_t(2 * size.fps));

  Decoder own(false), viewerStyle(true);
  ASSERT_TRUE(own.opened());
  ASSERT_TRUE(viewerStyle.opened());
  const std::vector<uint8_t> prefix = BuildParamSetPrefix(size.width / 16, size.height / 16);
  for (size_t i = 0; i < loop.frames.size(); ++i) {
    const EncodedFrame& f = loop.frames[i];
    EXPECT_EQ(f.key, i % size.fps == 0) << "frame " << i;
    own.Send(loop.original[i]);
    std::vector<uint8_t> unit = f.key ? prefix : std::vector<uint8_t>{};
    unit.insert(unit.end(), f.units.begin(), f.units.end());
    viewerStyle.Send(unit);
  }
  // The loop runs on: its first frames again after its last.
  for (size_t i = 0; i < 3; ++i) {
    own.Send(loop.original[i]);
    std::vector<uint8_t> unit = loop.frames[i].key ? prefix : std::vector<uint8_t>{};
    unit.insert(unit.end(), loop.frames[i].units.begin(), loop.frames[i].units.end());
    viewerStyle.Send(unit);
  }
  std::vector<Plane3> a = own.Finish(), b = viewerStyle.Finish();
  EXPECT_EQ(own.errors, 0);
  EXPECT_EQ(viewerStyle.errors, 0);
  ASSERT_EQ(a.size(), loop.frames.size() + 3);
  ASSERT_EQ(b.size(), a.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(b[i].width, size.width);
    EXPECT_EQ(b[i].height, size.height);
    EXPECT_TRUE(a[i] == b[i]) << "picture " << i << " differs";
  }
}

INSTANTIATE_TEST_SUITE_P(Resolutions, EveryResolution,
                         ::testing::Values(Size{704, 576, 25}, Size{704, 288, 25},
                                           Size{352, 288, 25}, Size{704, 480, 30},
                                           Size{352, 240, 30}, Size{960, 576, 25}),
                         [](const auto& info) {
                           return std::to_string(info.param.width) + "x" +
                                  std::to_string(info.param.height);
                         });

// A viewer shows each frame as it arrives: the decoder must not hold
// pictures back for reordering.
TEST(SliceRewriter, EachUnitGivesItsPictureAtOnce) {
  EncodedLoop loop = EncodeLoop(LoopSpec{}, [](Picture& pic, int f, int n) {
    DrawChannelPicture(pic, 1, f, n, "2026-12-10 04:36:08");
  });
  ASSERT_EQ(loop.error, "");
  Decoder d(true);
  const std::vector<uint8_t> prefix = BuildParamSetPrefix(44, 36);
  for (size_t i = 0; i < loop.frames.size() + 10; ++i) {
    const EncodedFrame& f = loop.frames[i % loop.frames.size()];
    std::vector<uint8_t> unit = f.key ? prefix : std::vector<uint8_t>{};
    unit.insert(unit.end(), f.units.begin(), f.units.end());
    d.Send(unit);
    ASSERT_EQ(d.pictureCount(), i + 1) << "unit " << i;
  }
  EXPECT_EQ(d.errors, 0);
}

TEST(ParamSetPrefix, D1SpsCarriesWidthAndHeightInMacroblocks) {
  std::vector<uint8_t> p = BuildParamSetPrefix(44, 36);
  ASSERT_GE(p.size(), 14u);
  const uint32_t spsLen = GetBe32(p.data());
  ASSERT_EQ(p.size(), 4 + spsLen + 9);
  const uint8_t fixed[] = {0x67, 0x42, 0x00, 0x1E, 0xF2};
  EXPECT_EQ(0, std::memcmp(p.data() + 4, fixed, sizeof fixed));
  EXPECT_EQ(p[9] & 0xC0, 0x80);  // last bit of max_num_ref_frames, then no gaps
  // ue(43) and ue(35) follow the first two bits of byte 9.
  BitReader r(p.data() + 9, spsLen - 5);
  r.Bits(2);
  EXPECT_EQ(r.Ue(), 43u);
  EXPECT_EQ(r.Ue(), 35u);
  EXPECT_EQ(r.Bits(5), 0b11001u);
  const uint8_t pps[] = {0, 0, 0, 5, 0x68, 0xC9, 0x08, 0x38, 0x80};
  EXPECT_EQ(0, std::memcmp(p.data() + 4 + spsLen, pps, sizeof pps));
}

TEST(Rbsp, EscapingRoundTripsThroughEmulationPrevention) {
  const std::vector<uint8_t> cases[] = {{0, 0, 0},          {0, 0, 1}, {0, 0, 3, 0, 0, 2},
                                        {1, 0, 0, 0, 0, 0}, {0, 0},    {}};
  for (const auto& rbsp : cases) {
    std::vector<uint8_t> escaped = EscapeRbsp(rbsp);
    for (size_t i = 2; i < escaped.size(); ++i)
      EXPECT_FALSE(escaped[i - 2] == 0 && escaped[i - 1] == 0 && escaped[i] <= 2);
    EXPECT_EQ(UnescapeRbsp(escaped.data(), escaped.size()), rbsp);
  }
}

}  // namespace
}  // namespace tevrano::sim
