#pragma once
#include <cstdint>

#include "video/AlignedBuffer.h"

namespace tevrano {

// Builds the missing rows of a luma picture: line doubling (every source row
// followed by an interpolated one) and motion-adaptive deinterlacing (the
// first field kept, the second rebuilt). Interpolated rows are
// edge-directed: each group of 8 pixels follows the direction along which
// the rows above and below match best.
//
// Output rows are written at `out` with `out_stride`; every output row must
// have 32 writable bytes before it and after `width` (the work buffer's
// margins), which hold copies of the edge pixels while the row is used.
class LineProcessor {
 public:
  static constexpr int kMaxWidth = 960;
  static constexpr int kMaxHeight = 576;
  static constexpr int kBlock = 16;
  static constexpr int kBlocksPerRow = kMaxWidth / kBlock;  // 60
  static constexpr int kBlockRows = kMaxHeight / kBlock;    // 36
  static constexpr int kMaxGroups = kMaxWidth / 8 + 1;

  bool Allocate();

  // 2 * height output rows.
  void LineDouble(const uint8_t* src, int stride, int width, int height, uint8_t* out,
                  int out_stride);
  // height output rows; remembers the picture for the next one.
  void Deinterlace(const uint8_t* src, int stride, int width, int height, uint8_t* out,
                   int out_stride);

  // One edge-directed row between `above` and `below` (each readable 32
  // bytes beyond both ends), `width` pixels.
  void InterpolateRow(const uint8_t* above, const uint8_t* below, int width, uint8_t* out);

  // Per 16 x 16 block: 0..2, how many successive pictures it has been still.
  int StillCount(int block_x, int block_y) const {
    return motion_[block_y * kBlocksPerRow + block_x].still;
  }

 private:
  struct Block {
    uint8_t still = 0;
    uint16_t carried = 0;  // odd-row difference sum of the previous picture
  };
  // The cost of offset d for a group, remembered for the row.
  int Cost(int group, int d) {
    const uint16_t memo = costs_[group * 16 + d + 7];
    return (memo >> 8) == generation_ ? memo & 0xFF : ComputeCost(group, d);
  }
  int ComputeCost(int group, int d);
  void SeedStraightCosts(int groups);
  int NextHard(int group, int groups) const;
  int PreviousHard(int group) const;
  int Choose(int group, int& tracker);
  void UpdateMotion(const uint8_t* src, int stride, int width, int height);
  void Weave(const uint8_t* cur, const uint8_t* prev, int y, int width, uint8_t* row) const;

  // The rows around the row being interpolated, and per group of 8 pixels
  // the cost of each offset -7..7 (16 entries a group): the cost in the low
  // byte, the generation (row) it was computed for in the high byte.
  const uint8_t* above_ = nullptr;
  const uint8_t* below_ = nullptr;
  int generation_ = 0;
  alignas(64) uint16_t costs_[(kMaxGroups + 2) * 16] = {};
  uint64_t hard_[2] = {};  // groups whose offset 0 costs 8 or more
  // Per group, the left-to-right offset (for the groups listed in turned_)
  // and the right-to-left one (valid where its stamp is the row's).
  int8_t forward_[kMaxGroups];
  uint8_t turned_[kMaxGroups];
  int8_t back_[kMaxGroups];
  uint32_t backStamp_[kMaxGroups] = {};
  uint32_t backGeneration_ = 0;
  Block motion_[kBlocksPerRow * kBlockRows];
  AlignedBuffer prev_;  // previous picture's luma, kMaxWidth per row
};

}  // namespace tevrano
