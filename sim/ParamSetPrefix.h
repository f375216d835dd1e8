// The parameter sets a viewer builds for a picture size in front of every
// I-frame, since the recorder never sends them: Baseline, level 3.0,
// log2_max_frame_num 4, picture order count type 0 with a 4-bit LSB, four
// reference frames, and the fixed PPS 68 C9 08 38 80 (CAVLC, four active
// references by default, no deblocking control in slice headers).
// The simulator's slices are rewritten to match exactly these sets.
#pragma once

#include <cstdint>
#include <vector>

namespace tevrano::sim {

// SPS then PPS, each behind a 4-byte big-endian length. Sizes are in
// macroblocks (16 pixels).
std::vector<uint8_t> BuildParamSetPrefix(uint32_t widthMbs, uint32_t heightMbs);

// Slice syntax constants implied by those sets.
constexpr int kLog2MaxFrameNum = 4;
constexpr int kLog2MaxPocLsb = 4;
constexpr uint32_t kPpsDefaultActiveRefs = 4;
constexpr int kPpsInitQp = 26;

}  // namespace tevrano::sim
