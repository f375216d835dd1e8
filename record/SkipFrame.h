#pragma once
#include <cstddef>
#include <cstdint>

namespace tevrano::record {

// An empty predicted frame (every macroblock skipped) that fills a missing
// frame slot of a movie: a 4-byte big-endian length 0x1C and a 28-byte
// slice. frame_num lives in bytes 5 and 6: byte 5 = 0x9A | (k >> 3),
// byte 6 = ((k & 7) << 5) | the rest of the header.
struct SkipFrame {
  static constexpr size_t kSize = 32;
  uint8_t bytes[kSize];
};

// Builds the skip frame for a picture of widthMb x heightMb macroblocks
// (any size from 1 x 1) with frame_num `frameNum` (0..15).
SkipFrame MakeSkipFrame(uint32_t widthMb, uint32_t heightMb, uint32_t frameNum);

// Sets frame_num (4 bits) of every P slice of a length-prefixed sample to
// `frameNum`; other NAL units and other slice types are left alone. Returns
// how many slices were patched. The walk stays inside `size` bytes.
int PatchFrameNum(uint8_t* sample, size_t size, uint32_t frameNum);

// Reads frame_num of the first slice (NAL type 1 or 5) of a length-prefixed
// sample; -1 when there is none or its header can't be read.
int ReadFrameNum(const uint8_t* sample, size_t size);

}  // namespace tevrano::record
