#include <gtest/gtest.h>

#include <vector>

#include "video/YuvToRgb.h"

namespace tevrano {
namespace {

// Converts one row of `width` pixels of luma `y` under chroma (u, v) with
// the vector code and checks every pixel against the scalar formula.
std::vector<uint32_t> ConvertFlat(int width, int y, int u, int v) {
  std::vector<uint8_t> luma(width, uint8_t(y)), cb(width / 2 + 1, uint8_t(u)),
      cr(width / 2 + 1, uint8_t(v));
  std::vector<uint32_t> out(width, 0xDEADBEEF), second(width, 0xDEADBEEF);
  ConvertRows(luma.data(), luma.data(), cb.data(), cr.data(), width, out.data(), second.data());
  EXPECT_EQ(out, second);
  return out;
}

TEST(YuvToRgb, FormulaAtItsExtremes) {
  struct Case {
    int y, u, v;
    uint32_t rgb;
  } cases[] = {
      {255, 128, 128, 0x00FFFFFF},  // white
      {0, 128, 128, 0x00000000},    // black
      {128, 128, 128, 0x00808080},  // neutral chroma adds nothing
      {255, 0, 0, 0x006DFF00},      // R 255 - 146, G clamped high, B clamped low
      {0, 255, 255, 0x009000FF},    // R 144, G clamped low, B 255
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "y " << c.y << " u " << c.u << " v " << c.v);
    EXPECT_EQ(ConvertFlat(37, c.y, c.u, c.v)[36], c.rgb);
    EXPECT_EQ(ConvertFlat(37, c.y, c.u, c.v)[3], c.rgb);
  }
  // The formula itself at the corners.
  EXPECT_EQ(YuvPixel(255, 128, 128), 0x00FFFFFFu);
  EXPECT_EQ(YuvPixel(0, 128, 128), 0x00000000u);
  EXPECT_EQ(OffsetsFor(128, 128).r, 0);
  EXPECT_EQ(OffsetsFor(128, 128).b, 0);
  EXPECT_EQ(OffsetsFor(128, 128).g, 0);
}

TEST(YuvToRgb, BlueIsZeroForEveryLumaWhenCbIsZero) {
  for (int y = 0; y < 256; y += 5) {
    for (uint32_t px : ConvertFlat(40, y, 0, 128)) EXPECT_EQ(px & 0xFF, 0u) << "y " << y;
  }
}

TEST(YuvToRgb, VectorAndScalarPathsAgreeOnEveryChromaPair) {
  const int width = 51;  // wide-vector, narrow-vector and scalar pixels
  for (int u = 0; u < 256; u += 17) {
    for (int v = 0; v < 256; v += 15) {
      for (int y : {0, 16, 100, 235, 255}) {
        const auto row = ConvertFlat(width, y, u, v);
        for (int x = 0; x < width; ++x) ASSERT_EQ(row[x], YuvPixel(y, u, v)) << x;
      }
    }
  }
}

TEST(YuvToRgb, OnlyExactWhiteWithTopByteZeroIsTransparent) {
  const uint32_t overlay[] = {0x00FFFFFF, 0xFFFFFFFF, 0x00FF0000, 0x00FFFFFE, 0x00FFFFFF,
                              0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00000000};
  std::vector<uint32_t> video(9, 0x00123456);
  MergeOverlayRow(overlay, 9, video.data());
  const uint32_t expected[] = {0x00123456, 0xFFFFFFFF, 0x00FF0000, 0x00FFFFFE, 0x00123456,
                               0x00123456, 0x00123456, 0x00123456, 0x00000000};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(video[i], expected[i]) << i;
}

}  // namespace
}  // namespace tevrano
