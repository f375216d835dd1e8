#pragma once
#include <cstdint>
#include <functional>
#include <vector>

namespace tevrano::test {

// A 4:2:0 picture owned by the test.
struct TestPicture {
  int width = 0, height = 0;
  std::vector<uint8_t> y, u, v;  // strides: width, width / 2, width / 2
  TestPicture(int w, int h, uint8_t luma, uint8_t cb, uint8_t cr)
      : width(w),
        height(h),
        y(size_t(w) * h, luma),
        u(size_t(w / 2) * (h / 2), cb),
        v(size_t(w / 2) * (h / 2), cr) {}
};

// One coded access unit as the recorder's stream carries it: NAL units each
// preceded by a 4-byte big-endian length; parameter sets in front of I-frames.
struct TestUnit {
  std::vector<uint8_t> bytes;
  bool keyFrame = false;
};

struct EncoderOptions {
  int gop = 25;  // an I-frame every `gop` pictures
  int slices = 1;
};

// Encodes `count` pictures made by `draw(index)` with the distribution's
// libavcodec (libx264, Baseline, CAVLC, four reference frames, no B-frames,
// no delay) and returns one unit per picture.
std::vector<TestUnit> EncodeStream(int width, int height, int count,
                                   const std::function<TestPicture(int)>& draw,
                                   const EncoderOptions& options = {});

// A flat picture of one colour with a bright square that moves by 4 pixels a
// picture, so that every picture differs.
TestPicture MovingSquare(int width, int height, int index, uint8_t luma = 90, uint8_t cb = 128,
                         uint8_t cr = 128);

}  // namespace tevrano::test
