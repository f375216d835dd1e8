#include <gtest/gtest.h>

#include "video/FrameLayout.h"

namespace tevrano {
namespace {

TEST(FrameLayout, PlacesEachPictureSizeInTheVideoArea) {
  struct Case {
    int w, h, displayWidth;
    bool lineDouble, scaled;
    int dstW, dstH, x, y;
  } cases[] = {
      {704, 576, 704, false, false, 704, 576, 0, 0},   // drawn 1:1
      {704, 480, 704, false, false, 704, 480, 0, 48},  // 48-row bars
      {704, 288, 704, true, false, 704, 576, 0, 0},    // line-doubled
      {704, 240, 704, true, false, 704, 480, 0, 48},
      {352, 288, 704, true, true, 704, 576, 0, 0},  // enlarged twice
      {352, 240, 704, true, true, 704, 480, 0, 48},
      {960, 576, 960, false, false, 960, 576, 0, 0},  // the wide video area
      {480, 288, 960, true, true, 960, 576, 0, 0},
      {640, 480, 704, false, false, 640, 480, 32, 48},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    const FrameLayout l = BuildFrameLayout(c.w, c.h, 704, 576, c.displayWidth, 576);
    EXPECT_EQ(l.line_double, c.lineDouble);
    EXPECT_EQ(l.scaled, c.scaled);
    EXPECT_EQ(l.dst_width, c.dstW);
    EXPECT_EQ(l.dst_height, c.dstH);
    EXPECT_EQ(l.x_offset, c.x);
    EXPECT_EQ(l.y_offset, c.y);
  }
}

TEST(FrameLayout, LineProcessingDependsOnModeFieldCodingAndSize) {
  struct Case {
    int w, h, mode;
    bool fieldCoded, lineDouble, deinterlace;
  } cases[] = {
      {704, 576, 0, false, false, false},
      {704, 576, 0, true, false, false},  // Live view never deinterlaces
      {704, 576, 1, true, false, true},   // Playback of a field-coded stream
      {704, 288, 0, false, true, false},
      {704, 288, 1, true, true, false},   // line-doubled, not deinterlaced
      {352, 288, 1, true, false, false},  // the scaler alone
      {352, 576, 1, true, false, false},
      {960, 576, 1, true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " mode " << c.mode);
    FrameLayout l = BuildFrameLayout(c.w, c.h, 704, 576, c.w == 960 ? 960 : 704, 576);
    DecideLineProcessing(l, c.mode, c.fieldCoded);
    EXPECT_EQ(l.line_double, c.lineDouble);
    EXPECT_EQ(l.deinterlace, c.deinterlace);
  }
}

}  // namespace
}  // namespace tevrano
