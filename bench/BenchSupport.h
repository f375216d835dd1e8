#pragma once
// Shared by the video benchmarks: a camera-like test stream (encoded by the
// test support library's libx264 set-up), a fixed stream context for the
// display, and a timer.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include <exception>

#include "base/Component.h"
#include "tests/support/TestStream.h"
#include "video/VideoContext.h"

namespace tevrano::bench {

// A 4:2:0 picture with tight strides.
struct Planes {
  int width = 0, height = 0;
  std::vector<uint8_t> y, u, v;
  Planes(int w, int h) : width(w), height(h), y(size_t(w) * h), u(size_t(w / 2) * (h / 2)), v(u) {}
};

inline uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352d;
  x ^= x >> 15;
  x *= 0x846ca68b;
  x ^= x >> 16;
  return x;
}

// A street-camera-like scene: a textured, shaded background with sensor
// noise, and a few objects that move. With `fields`, the odd rows show the
// scene 20 ms later than the even rows (a field-coded camera picture).
inline Planes Scene(int w, int h, int index, bool fields = false) {
  Planes p(w, h);
  for (int y = 0; y < h; ++y) {
    const int t = fields && (y & 1) ? 2 * index + 1 : 2 * index;
    for (int x = 0; x < w; ++x) {
      int v = 60 + (x * 100) / w + (y * 60) / h;
      v += ((x / 24 + y / 24) & 1) ? 25 : 0;                  // paving
      v += int(Hash(uint32_t(x * 7 + y * 131)) & 15);         // texture
      v += int(Hash(uint32_t(x + y * w + index * 977)) & 3);  // noise
      for (int k = 0; k < 3; ++k) {                           // moving objects
        const int ox = (k * 200 + t * (3 + k)) % (w - 80), oy = h / 4 + k * h / 5;
        if (x >= ox && x < ox + 80 && y >= oy && y < oy + 60) v = 200 - k * 50 + ((x ^ y) & 7);
      }
      p.y[size_t(y) * w + x] = uint8_t(std::clamp(v, 0, 255));
    }
  }
  for (int y = 0; y < h / 2; ++y)
    for (int x = 0; x < w / 2; ++x) {
      p.u[size_t(y) * (w / 2) + x] = uint8_t(110 + (x * 30) / w + (Hash(uint32_t(x * 3 + y)) & 3));
      p.v[size_t(y) * (w / 2) + x] = uint8_t(140 - (y * 30) / h + (Hash(uint32_t(x + y * 5)) & 3));
    }
  return p;
}

// One length-prefixed access unit (4-byte big-endian NAL lengths).
struct Unit {
  std::vector<uint8_t> bytes;
  bool key = false;
};

// Encodes like the recorder (tests/support's encoder: Baseline, CAVLC, four
// reference frames, no B-frames, about 2 Mbit/s at 25 pictures/s), an
// I-frame every `gop` pictures, over the scene above.
inline std::vector<Unit> Encode(int w, int h, int count, int gop, bool fields = false) {
  test::EncoderOptions options;
  options.gop = gop;
  std::vector<test::TestUnit> coded;
  try {
    coded = test::EncodeStream(
        w, h, count,
        [&](int index) {
          const Planes p = Scene(w, h, index, fields);
          test::TestPicture picture(w, h, 0, 0, 0);
          picture.y = p.y;
          picture.u = p.u;
          picture.v = p.v;
          return picture;
        },
        options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    std::exit(1);
  }
  std::vector<Unit> units;
  units.reserve(coded.size());
  for (test::TestUnit& u : coded) units.push_back({std::move(u.bytes), u.keyFrame});
  return units;
}

// A live stream with a registered picture output.
struct BenchContext : VideoContext {
  int mode = 0;
  bool fieldCoded = false, wide = false;
  int Mode() const override { return mode; }
  bool FieldCoded() const override { return fieldCoded; }
  bool WideStream() const override { return wide; }
  bool TakeKeyFrameFlag() override { return false; }
  int StreamHeight() const override { return 576; }
  bool HasPictureOutput() const override { return true; }
  int TimeLabels(int, Label**, int) override { return 0; }
  PictureTime Time() const override { return {}; }
};

// Seconds per call of `f`: the best of `rounds` rounds of `calls` calls.
inline double SecondsPerCall(int rounds, int calls, const std::function<void()>& f) {
  double best = 1e30;
  for (int r = 0; r < rounds; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) f();
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    best = std::min(best, s / calls);
  }
  return best;
}

// Best seconds per call of `a` and of `b`, measured in alternating rounds so
// that a busy machine slows both alike.
struct Pair {
  double a = 1e30, b = 1e30;
};
inline Pair Compare(int rounds, int calls, const std::function<void()>& a,
                    const std::function<void()>& b) {
  Pair best;
  for (int r = 0; r < rounds; ++r) {
    best.a = std::min(best.a, SecondsPerCall(1, calls, a));
    best.b = std::min(best.b, SecondsPerCall(1, calls, b));
  }
  return best;
}

}  // namespace tevrano::bench
