// The processor's conversion and scaling (the files the build chose) against
// the portable code, on random pictures of awkward sizes.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "video/BilinearScaler.h"
#include "video/YuvToRgb.h"

namespace tevrano {
namespace {

std::vector<uint8_t> Random(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// Widths around the vector steps (16, 32) and the picture sizes, odd ones
// included.
constexpr int kWidths[] = {1, 2, 3, 15, 16, 17, 31, 32, 33, 47, 63, 64, 65, 351, 703, 704, 705};

TEST(SimdMatchesPortable, ConvertRowsOnRandomPicturesOfOddSizes) {
  std::mt19937 rng(20240611);
  for (int width : kWidths) {
    for (int height : {1, 2, 3, 7}) {
      SCOPED_TRACE(testing::Message() << width << "x" << height);
      const int chromaW = (width + 1) / 2, chromaH = (height + 1) / 2;
      const auto y = Random(rng, size_t(width) * height);
      const auto u = Random(rng, size_t(chromaW) * chromaH);
      const auto v = Random(rng, size_t(chromaW) * chromaH);
      std::vector<uint32_t> cpu(size_t(width) * height, 1), plain(size_t(width) * height, 2);
      // Row pairs share a chroma row; an odd last row goes alone.
      for (int r = 0; r < height; r += 2) {
        const bool pair = r + 1 < height;
        const uint8_t* y0 = &y[size_t(r) * width];
        const uint8_t* y1 = pair ? y0 + width : nullptr;
        const uint8_t* cb = &u[size_t(r / 2) * chromaW];
        const uint8_t* cr = &v[size_t(r / 2) * chromaW];
        uint32_t* c0 = &cpu[size_t(r) * width];
        uint32_t* p0 = &plain[size_t(r) * width];
        ConvertRows(y0, y1, cb, cr, width, c0, pair ? c0 + width : nullptr);
        portable::ConvertRows(y0, y1, cb, cr, width, p0, pair ? p0 + width : nullptr);
      }
      ASSERT_EQ(cpu, plain);
      // The portable code is the per-pixel formula.
      for (int r = 0; r < height; ++r)
        for (int x = 0; x < width; ++x) {
          const size_t c = size_t(r / 2) * chromaW + x / 2;
          ASSERT_EQ(plain[size_t(r) * width + x], YuvPixel(y[size_t(r) * width + x], u[c], v[c]));
        }
    }
  }
}

TEST(SimdMatchesPortable, MergeOverlayRowWithScatteredTransparentPixels) {
  std::mt19937 rng(7);
  for (int width : kWidths) {
    SCOPED_TRACE(width);
    std::vector<uint32_t> overlay(width), video(width);
    for (int x = 0; x < width; ++x) {
      // Runs of transparent pixels, as around the event marks.
      overlay[x] = (rng() % 4) ? kTransparentColour : static_cast<uint32_t>(rng());
      video[x] = static_cast<uint32_t>(rng());
    }
    auto cpu = video, plain = video;
    MergeOverlayRow(overlay.data(), width, cpu.data());
    portable::MergeOverlayRow(overlay.data(), width, plain.data());
    EXPECT_EQ(cpu, plain);
  }
}

TEST(SimdMatchesPortable, BilinearScalingOfRandomPlanes) {
  std::mt19937 rng(99);
  struct Case {
    int srcW, srcH, dstW, dstH;
  } cases[] = {
      {352, 288, 704, 576},  // exact doubling, the common enlargement
      {351, 287, 702, 574},  // doubling of odd sizes
      {17, 9, 34, 18},      {17, 9, 33, 17},      {1, 1, 2, 2},
      {5, 3, 1, 1},         {704, 288, 704, 576},  // line doubling only
      {704, 576, 352, 288},                        // reduction
      {353, 241, 703, 481}, {640, 480, 1024, 7},
  };
  BilinearScaler cpu, plain(PortableScalerKernels());
  ASSERT_TRUE(cpu.Allocate());
  ASSERT_TRUE(plain.Allocate());
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.srcW << "x" << c.srcH << " -> " << c.dstW << "x" << c.dstH);
    const int stride = c.srcW + 3;  // rows with padding after them
    const auto src = Random(rng, size_t(stride) * c.srcH);
    const uint32_t stepX = (uint32_t(c.srcW) << 12) / c.dstW;
    const uint32_t stepY = (uint32_t(c.srcH) << 12) / c.dstH;
    const int dstStride = c.dstW + 5;
    std::vector<uint8_t> a(size_t(dstStride) * c.dstH, 0xAA), b(a.size(), 0xAA);
    cpu.Scale(src.data(), stride, c.srcW, c.srcH, a.data(), dstStride, c.dstW, c.dstH, stepX,
              stepY);
    plain.Scale(src.data(), stride, c.srcW, c.srcH, b.data(), dstStride, c.dstW, c.dstH, stepX,
                stepY);
    ASSERT_EQ(a, b);
  }
}

TEST(SimdMatchesPortable, ScalerKernelsOnRandomRows) {
  std::mt19937 rng(5);
  const ScalerKernels& cpu = CpuScalerKernels();
  const ScalerKernels& plain = PortableScalerKernels();
  for (int n : kWidths) {
    SCOPED_TRACE(n);
    const auto a = Random(rng, n + 1), b = Random(rng, n + 1);
    for (unsigned f : {0u, 1u, 128u, 255u, unsigned(rng() & 255)}) {
      std::vector<uint8_t> x(n, 0), y(n, 1);
      cpu.blendRows(a.data(), b.data(), f, n, x.data());
      plain.blendRows(a.data(), b.data(), f, n, y.data());
      ASSERT_EQ(x, y) << "f " << f;
    }
    // Doubling: both write the same leading outputs; the portable one does
    // as many as the row allows.
    std::vector<uint8_t> x(2 * n, 0), y(2 * n, 0);
    const int doneCpu = cpu.doubleRow(a.data(), n, x.data(), 2 * n);
    const int donePlain = plain.doubleRow(a.data(), n, y.data(), 2 * n);
    EXPECT_EQ(donePlain, 2 * (n - 1));
    ASSERT_EQ(doneCpu, donePlain);
    EXPECT_EQ(x, y);
  }
}

}  // namespace
}  // namespace tevrano
