#include <gtest/gtest.h>

#include <vector>

#include "video/LineProcessor.h"

namespace tevrano {
namespace {

// Two rows with 32 bytes of margin on either side, as the work buffer has.
struct Rows {
  static constexpr int kWidth = 192;
  std::vector<uint8_t> above = std::vector<uint8_t>(kWidth + 64), below = above, out = above;
  uint8_t* A() { return above.data() + 32; }
  uint8_t* B() { return below.data() + 32; }
  uint8_t* Out() { return out.data() + 32; }
  // A dark/bright step at column `a` in the row above and `b` below.
  Rows(int a, int b) {
    for (int x = -32; x < kWidth + 32; ++x) {
      A()[x] = x < a ? 20 : 220;
      B()[x] = x < b ? 20 : 220;
    }
  }
};

TEST(LineProcessor, InterpolatedRowsFollowASlantedEdge) {
  Rows r(100, 96);  // the edge moves 4 columns left over two rows
  LineProcessor lines;
  ASSERT_TRUE(lines.Allocate());
  lines.InterpolateRow(r.A(), r.B(), Rows::kWidth, r.Out());
  // Halfway between the rows the edge lies at column 98, with no grey
  // pixels that a plain vertical mean would leave.
  EXPECT_EQ(r.Out()[97], 20);
  EXPECT_EQ(r.Out()[98], 220);
  EXPECT_EQ(r.Out()[10], 20);
  EXPECT_EQ(r.Out()[180], 220);
}

TEST(LineProcessor, AVerticalEdgeIsInterpolatedStraightDown) {
  Rows r(100, 100);
  LineProcessor lines;
  ASSERT_TRUE(lines.Allocate());
  lines.InterpolateRow(r.A(), r.B(), Rows::kWidth, r.Out());
  EXPECT_EQ(r.Out()[99], 20);
  EXPECT_EQ(r.Out()[100], 220);
}

TEST(LineProcessor, RowsWithoutAMatchingDirectionTakeTheMeanRoundedDown) {
  Rows r(1000, -1000);  // all dark above, all bright below
  LineProcessor lines;
  ASSERT_TRUE(lines.Allocate());
  lines.InterpolateRow(r.A(), r.B(), Rows::kWidth, r.Out());
  for (int x = 0; x < Rows::kWidth; ++x) ASSERT_EQ(r.Out()[x], 120) << x;
}

TEST(LineProcessor, MotionResetsTheStillCount) {
  const int w = 64, h = 32;
  std::vector<uint8_t> still(w * h, 80), moved(w * h, 80);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) moved[y * w + x] = 240;  // only block (0, 0) changes
  std::vector<uint8_t> out((w + 64) * (h + 2));
  LineProcessor lines;
  ASSERT_TRUE(lines.Allocate());
  for (int i = 0; i < 4; ++i) lines.Deinterlace(still.data(), w, w, h, out.data() + 32, w + 64);
  EXPECT_EQ(lines.StillCount(0, 0), 2);
  lines.Deinterlace(moved.data(), w, w, h, out.data() + 32, w + 64);
  EXPECT_EQ(lines.StillCount(0, 0), 0);
  EXPECT_EQ(lines.StillCount(1, 0), 2);
  EXPECT_EQ(lines.StillCount(3, 1), 2);
}

}  // namespace
}  // namespace tevrano
