// 3. Motion-adaptive deinterlacing of a 704x576 field-coded picture, as a
// fraction of the H.264 decoding time of the same picture (goal: < 0.3).
#include <cstdio>

#include "BenchSupport.h"
#include "video/LineProcessor.h"
#include "video/VideoDecoder.h"

using namespace tevrano;
using namespace tevrano::bench;

int main() {
  const int w = 704, h = 576, count = 50;
  const std::vector<Unit> units = Encode(w, h, count, 25, /*fields=*/true);

  // Each picture is decoded and then deinterlaced while it is fresh, as in
  // playback; both are timed per picture and summed over the stream.
  // Per picture, the best time over the rounds: bursts of other work on the
  // machine do not count.
  std::vector<double> decodeBest(units.size(), 1e30), linesBest(units.size(), 1e30);
  std::vector<uint8_t> work(1024 * (2 * h + 16));
  uint8_t* out = work.data() + 8 * 1024 + 32;
  for (int round = 0; round < 15; ++round) {
    VideoDecoder decoder;
    if (decoder.Open() != 0 || !decoder.AllocateFrameBuffers()) return 1;
    LineProcessor lines;
    lines.Allocate();
    for (size_t i = 0; i < units.size(); ++i) {
      const Unit& u = units[i];
      const auto t0 = std::chrono::steady_clock::now();
      decoder.Decode(u.bytes.data(), u.bytes.size());
      const auto t1 = std::chrono::steady_clock::now();
      const VideoPicture& p = decoder.Picture();
      lines.Deinterlace(p.planes[0], p.strides[0], p.width, p.height, out, 1024);
      const auto t2 = std::chrono::steady_clock::now();
      decodeBest[i] = std::min(decodeBest[i], std::chrono::duration<double>(t1 - t0).count());
      linesBest[i] = std::min(linesBest[i], std::chrono::duration<double>(t2 - t1).count());
    }
  }
  double decode = 0, deinterlace = 0;
  for (size_t i = 0; i < units.size(); ++i)
    decode += decodeBest[i] / count, deinterlace += linesBest[i] / count;
  std::printf("3. deinterlace 704x576 %6.1f us  decode %6.1f us  fraction %.2f (goal < 0.3)\n",
              deinterlace * 1e6, decode * 1e6, deinterlace / decode);
  return 0;
}
