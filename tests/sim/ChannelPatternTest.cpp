// The promise made to the end-to-end tests: after encoding and decoding,
// the centre region of a channel's picture, and of every cell of a split
// view, is the channel's documented colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "ChannelPattern.h"
#include "LoopEncoder.h"
#include "ParamSetPrefix.h"
#include "TestDecoder.h"

namespace tevrano::sim {
namespace {

// Full-range conversion, as a viewer does it without black-level offset.
Rgb ToRgb(int y, int u, int v) {
  auto clamp = [](double x) { return uint8_t(std::clamp(std::lround(x), 0L, 255L)); };
  return {clamp(y + 1.402 * (v - 128)), clamp(y - 0.344136 * (u - 128) - 0.714136 * (v - 128)),
          clamp(y + 1.772 * (u - 128))};
}

// Largest difference of any component over the centre region (3/8 to 5/8)
// of a rectangle of the picture, against the expected colour.
int CentreError(const Plane3& p, int x, int y, int w, int h, Rgb want) {
  int worst = 0;
  for (int row = y + h * 3 / 8; row < y + h * 5 / 8; ++row)
    for (int col = x + w * 3 / 8; col < x + w * 5 / 8; ++col) {
      const size_t c = size_t(row / 2) * size_t(p.width / 2) + size_t(col / 2);
      Rgb got = ToRgb(p.y[size_t(row) * size_t(p.width) + size_t(col)], p.u[c], p.v[c]);
      worst = std::max(
          {worst, std::abs(got.r - want.r), std::abs(got.g - want.g), std::abs(got.b - want.b)});
    }
  return worst;
}

std::vector<Plane3> EncodeAndDecode(int width, int height, const DrawFrame& draw) {
  LoopSpec spec;
  spec.width = width;
  spec.height = height;
  EncodedLoop loop = EncodeLoop(spec, draw);
  EXPECT_EQ(loop.error, "");
  Decoder d(true);
  const std::vector<uint8_t> prefix =
      BuildParamSetPrefix(uint32_t(width / 16), uint32_t(height / 16));
  for (const EncodedFrame& f : loop.frames) {
    std::vector<uint8_t> unit = f.key ? prefix : std::vector<uint8_t>{};
    unit.insert(unit.end(), f.units.begin(), f.units.end());
    d.Send(unit);
  }
  return d.Finish();
}

constexpr int kTolerance = 6;

TEST(ChannelPattern, CentreOfEveryChannelsPictureIsItsColour) {
  for (int channel : {0, 3, 7, 12, 15}) {
    std::vector<Plane3> pictures = EncodeAndDecode(352, 288, [&](Picture& p, int f, int n) {
      DrawChannelPicture(p, channel, f, n, "2026-12-10 04:36:08");
    });
    ASSERT_EQ(pictures.size(), 50u);
    for (size_t i = 0; i < pictures.size(); i += 7)
      EXPECT_LE(CentreError(pictures[i], 0, 0, 352, 288, kChannelColours[channel]), kTolerance)
          << "channel " << channel << " picture " << i;
  }
}

TEST(ChannelPattern, CentreOfEverySplitCellIsItsChannelsColour) {
  struct Case {
    int splitKind, first, channelCount;
  };
  for (Case c : {Case{1, 4, 16}, Case{2, 9, 16}, Case{3, 0, 8}}) {
    std::vector<Plane3> pictures = EncodeAndDecode(704, 576, [&](Picture& p, int f, int n) {
      DrawSplitPicture(p, c.splitKind, c.first, c.channelCount, f, n, "2026-12-10 04:36:08");
    });
    ASSERT_FALSE(pictures.empty());
    const Plane3& p = pictures[30];
    const int n = SplitCells(c.splitKind);
    for (int cell = 0; cell < n * n; ++cell) {
      const int channel = (c.first + cell) % 16;
      const Rgb want = channel < c.channelCount ? kChannelColours[channel] : kAbsentChannelColour;
      const int x0 = (cell % n) * 704 / n, y0 = (cell / n) * 576 / n;
      EXPECT_LE(CentreError(p, x0, y0, 704 / n, 576 / n, want), kTolerance)
          << "split " << c.splitKind << " cell " << cell;
    }
  }
}

TEST(ChannelPattern, ChannelColoursDifferAndAreNeverTransparentWhite) {
  for (int a = 0; a < 16; ++a) {
    const Rgb ca = kChannelColours[a];
    EXPECT_FALSE(ca.r == 255 && ca.g == 255 && ca.b == 255);
    for (int b = a + 1; b < 16; ++b) {
      const Rgb cb = kChannelColours[b];
      const int distance = std::abs(ca.r - cb.r) + std::abs(ca.g - cb.g) + std::abs(ca.b - cb.b);
      EXPECT_GE(distance, 40) << a << " and " << b;
    }
  }
}

}  // namespace
}  // namespace tevrano::sim
