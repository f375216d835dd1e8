#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
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

// The interpolation rule written out plainly, one group and one offset at a
// time, to check the fast one against.
namespace reference {

int Cost(const uint8_t* a, const uint8_t* b, int x, int d) {
  int sum = 32 + 2 * std::abs(d);
  for (int i = 0; i < 8; i += 2) sum += std::abs(a[x + d + i] - b[x - d + i]);
  return (sum & 0x7F0) >> 4;
}

int Choose(const uint8_t* a, const uint8_t* b, int x, int& t) {
  const int tries[5] = {t, t - 1, t + 1, 0, -t};
  const int rank[5] = {1, 0, 2, 3, 4};
  int best = 0, bestCost = 1 << 30, bestRank = 9, bestTry = -1;
  for (int k = 0; k < 5; ++k) {
    const int d = tries[k];
    if (d < -7 || d > 7) continue;
    const int c = Cost(a, b, x, d) + (k == 4 ? 4 : 0);
    if (c < bestCost || (c == bestCost && rank[k] < bestRank))
      best = d, bestCost = c, bestRank = rank[k], bestTry = k;
    if (c < 8) break;
  }
  // The winner t - 1 or t + 1: tries[1] or tries[2], or an equal offset
  // reached under another name that ranks before it.
  const bool down = bestRank == 0, up = bestRank == 2;
  (void)bestTry;
  if ((down || up) && bestCost >= 9) {
    for (int k = 0; k < 5; ++k) {
      const int next = best + (down ? -1 : 1);
      if (next < -7 || next > 7) break;
      const int c = Cost(a, b, x, next);
      if (c >= bestCost) break;
      best = next, bestCost = c;
      if (c < 8) break;
    }
  }
  t = std::clamp(best, -7, 7);
  return t;
}

void Row(const uint8_t* a, const uint8_t* b, int width, uint8_t* out) {
  const int groups = (width + 7) / 8;
  std::vector<int> fwd(groups);
  int t = 0;
  for (int g = 0; g < groups; ++g) fwd[g] = Choose(a, b, 8 * g, t);
  t = 0;
  for (int g = groups - 1; g >= 0; --g) {
    const int back = Choose(a, b, 8 * g, t);
    int d = 0;
    if (fwd[g] > 0 && back > 0) d = std::min(fwd[g], back);
    if (fwd[g] < 0 && back < 0) d = std::max(fwd[g], back);
    for (int i = 0; i < 8; ++i) out[8 * g + i] = uint8_t((a[8 * g + i + d] + b[8 * g + i - d]) / 2);
  }
}

}  // namespace reference

TEST(LineProcessor, FastInterpolationMatchesTheRuleOnManyRows) {
  std::mt19937 rng(7);
  LineProcessor lines;
  ASSERT_TRUE(lines.Allocate());
  for (int width : {704, 352, 960, 100, 8}) {
    for (int trial = 0; trial < 60; ++trial) {
      SCOPED_TRACE(testing::Message() << "width " << width << " trial " << trial);
      std::vector<uint8_t> above(width + 64), below(width + 64), fast(width + 64), slow(width + 64);
      // Smooth rows with slanted steps of random height and slope, and
      // noise of a random strength.
      const int noise = int(rng() % 40) + 1, steps = int(rng() % 8);
      std::vector<std::pair<int, int>> edges;
      for (int k = 0; k < steps; ++k) edges.push_back({int(rng() % width), int(rng() % 15) - 7});
      for (int x = -32; x < width + 32; ++x) {
        int va = 100, vb = 100;
        for (auto [pos, slope] : edges) {
          va += x >= pos + slope ? 30 : 0;
          vb += x >= pos - slope ? 30 : 0;
        }
        above[x + 32] = uint8_t(std::clamp(va + int(rng() % noise), 0, 255));
        below[x + 32] = uint8_t(std::clamp(vb + int(rng() % noise), 0, 255));
      }
      lines.InterpolateRow(above.data() + 32, below.data() + 32, width, fast.data() + 32);
      reference::Row(above.data() + 32, below.data() + 32, width, slow.data() + 32);
      for (int x = 0; x < width; ++x) ASSERT_EQ(fast[x + 32], slow[x + 32]) << "x " << x;
    }
  }
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
