// Conversion and drawing of a decoded picture into the video image against
// libswscale converting the same planes to 32-bit RGB in the same run:
//   1. 704x576 drawn 1:1 (conversion, bars, overlay with one event mark) vs
//      SWS_POINT (the unscaled yuv420p -> bgra path);
//   2. 352x288 enlarged to 704x576 by the bilinear path vs SWS_BILINEAR.
#include <cstdio>

extern "C" {
#include <libswscale/swscale.h>
}

#include "BenchSupport.h"
#include "base/Form.h"
#include "video/Video.h"

using namespace tevrano;
using namespace tevrano::bench;

namespace {

struct Swscale {
  SwsContext* sws;
  std::vector<uint32_t> out;
  const uint8_t* src[3];
  int srcStride[3];
  uint8_t* dst[1];
  int dstStride[1];
  int height;
  Swscale(const Planes& p, int dw, int dh, int flags)
      : sws(sws_getContext(p.width, p.height, AV_PIX_FMT_YUV420P, dw, dh, AV_PIX_FMT_BGRA, flags,
                           nullptr, nullptr, nullptr)),
        out(size_t(dw) * dh),
        src{p.y.data(), p.u.data(), p.v.data()},
        srcStride{p.width, p.width / 2, p.width / 2},
        dst{reinterpret_cast<uint8_t*>(out.data())},
        dstStride{dw * 4},
        height(p.height) {}
  ~Swscale() { sws_freeContext(sws); }
  void Run() { sws_scale(sws, src, srcStride, 0, height, dst, dstStride); }
};

void Report(const char* what, const Planes& p, Video& video, int flags, double goal) {
  Swscale reference(p, 704, 576, flags);
  const Pair t = Compare(
      60, 20,
      [&] {
        video.Video_Show_Picture(p.y.data(), p.u.data(), p.v.data(), p.width, p.width / 2, p.width,
                                 p.height);
      },
      [&] { reference.Run(); });
  std::printf("%s  ours %6.1f us  swscale %6.1f us  throughput ratio %.2fx (goal >= %.1f)\n", what,
              t.a * 1e6, t.b * 1e6, t.b / t.a, goal);
}

}  // namespace

int main() {
  TTevranoX form;
  form.Image_video.picture.SetSize(704, 576);
  form.Image2.picture.SetSize(704, 576);
  form.Image2.picture.Fill(0x00FFFFFF);
  // One event mark in the overlay, as in live view.
  for (int y = 40; y < 80; ++y)
    for (int x = 100; x < 248; ++x) form.Image2.picture.Row(y)[x] = 0x00FF0000;
  form.Image2.Invalidate();
  Video video(form);
  video.AllocateFrameBuffers();
  BenchContext context;
  video.SetContext(0, &context);

  Report("1. 704x576 1:1         ", Scene(704, 576, 3), video, SWS_POINT, 1.2);
  Report("2. 352x288 -> 704x576  ", Scene(352, 288, 3), video, SWS_BILINEAR, 1.5);
  return 0;
}
