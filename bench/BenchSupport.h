#pragma once
// Shared by the video benchmarks: a camera-like test stream made with the
// distribution's libx264 (through libavcodec), a fixed stream context for the
// display, and a timer. Header only: each benchmark is one program.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

#include "base/Component.h"
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

inline void AppendLengthPrefixed(const uint8_t* d, int size, std::vector<uint8_t>& out) {
  std::vector<std::pair<int, int>> nals;
  int i = 0, start = -1;
  while (i + 3 <= size) {
    if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1) {
      if (start >= 0) {
        int end = i;
        while (end > start && d[end - 1] == 0) --end;
        nals.push_back({start, end});
      }
      i += 3;
      start = i;
    } else {
      ++i;
    }
  }
  if (start >= 0) nals.push_back({start, size});
  for (auto [s, e] : nals) {
    const int type = d[s] & 0x1F;
    if (type == 9 || type == 6) continue;
    const uint32_t n = uint32_t(e - s);
    const uint8_t len[4] = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
    out.insert(out.end(), len, len + 4);
    out.insert(out.end(), d + s, d + e);
  }
}

// Encodes like the recorder: Baseline, CAVLC, four reference frames, no
// B-frames, an I-frame every `gop` pictures, about 2 Mbit/s at 25 pictures/s.
inline std::vector<Unit> Encode(int w, int h, int count, int gop, bool fields = false) {
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  AVCodecContext* c = avcodec_alloc_context3(codec);
  c->width = w;
  c->height = h;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = {1, 25};
  c->framerate = {25, 1};
  c->gop_size = gop;
  c->max_b_frames = 0;
  c->refs = 4;
  c->bit_rate = 2000000;
  av_opt_set(c->priv_data, "profile", "baseline", 0);
  av_opt_set(c->priv_data, "tune", "zerolatency", 0);
  av_opt_set(c->priv_data, "preset", "veryfast", 0);
  av_opt_set(c->priv_data, "x264-params", "scenecut=0:aud=0:repeat-headers=1", 0);
  if (avcodec_open2(c, codec, nullptr) < 0) {
    std::fprintf(stderr, "libx264 cannot be opened\n");
    std::exit(1);
  }
  std::vector<Unit> units;
  AVFrame* f = av_frame_alloc();
  AVPacket* pkt = av_packet_alloc();
  auto drain = [&] {
    while (avcodec_receive_packet(c, pkt) == 0) {
      Unit u;
      u.key = pkt->flags & AV_PKT_FLAG_KEY;
      AppendLengthPrefixed(pkt->data, pkt->size, u.bytes);
      units.push_back(std::move(u));
      av_packet_unref(pkt);
    }
  };
  for (int i = 0; i < count; ++i) {
    const Planes p = Scene(w, h, i, fields);
    f->format = AV_PIX_FMT_YUV420P;
    f->width = w;
    f->height = h;
    av_frame_get_buffer(f, 0);
    for (int y = 0; y < h; ++y)
      std::memcpy(f->data[0] + y * f->linesize[0], &p.y[size_t(y) * w], w);
    for (int y = 0; y < h / 2; ++y) {
      std::memcpy(f->data[1] + y * f->linesize[1], &p.u[size_t(y) * (w / 2)], w / 2);
      std::memcpy(f->data[2] + y * f->linesize[2], &p.v[size_t(y) * (w / 2)], w / 2);
    }
    f->pts = i;
    f->pict_type = i % gop == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    avcodec_send_frame(c, f);
    av_frame_unref(f);
    drain();
  }
  avcodec_send_frame(c, nullptr);
  drain();
  av_packet_free(&pkt);
  av_frame_free(&f);
  avcodec_free_context(&c);
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
