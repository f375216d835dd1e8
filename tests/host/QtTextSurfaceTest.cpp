#include "host/QtTextSurface.h"

#include <gtest/gtest.h>

namespace tevrano::host {
namespace {

int CountPixels(const platform::TextSurface& s, uint32_t color) {
  int n = 0;
  for (int i = 0; i < s.Width() * s.Height(); ++i) n += s.Pixels()[i] == color;
  return n;
}

TEST(QtTextSurface, DrawsTextInTheFontColourAsPixelsWithoutAlpha) {
  QtTextSurface surface(220, 22);
  platform::FontSpec font;
  font.style = platform::kFontBold;
  font.size = 10;
  font.color = 0x00FF0000;
  surface.SetFont(font);
  surface.Fill(0x00FFFFFF);
  EXPECT_EQ(CountPixels(surface, 0x00FFFFFF), 220 * 22);

  surface.DrawText(2, 2, "CH01 Alarm");
  EXPECT_GT(CountPixels(surface, 0x00FF0000), 20);  // no anti-aliased fringes: pure colour
  for (int i = 0; i < 220 * 22; ++i) ASSERT_EQ(surface.Pixels()[i] >> 24, 0u);

  platform::TextExtent extent = surface.Measure("CH01 Alarm");
  EXPECT_GT(extent.width, 20);
  EXPECT_GT(extent.height, 5);
  EXPECT_GT(surface.Measure("CH01 Alarm, longer").width, extent.width);
}

TEST(QtTextSurface, ResizeGivesAWhiteCanvasOfTheNewSize) {
  QtTextSurface surface(0, 0);
  EXPECT_EQ(surface.Width(), 0);
  surface.Resize(704, 576);
  EXPECT_EQ(surface.Width(), 704);
  EXPECT_EQ(surface.Height(), 576);
  EXPECT_EQ(CountPixels(surface, 0x00FFFFFF), 704 * 576);
}

}  // namespace
}  // namespace tevrano::host
