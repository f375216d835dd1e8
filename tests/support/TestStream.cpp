#include "tests/support/TestStream.h"

#include <cstring>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

namespace tevrano::test {
namespace {

// Annex B (start codes) to 4-byte length prefixes; drops access-unit
// delimiters and SEI, which the recorder does not send.
void AppendLengthPrefixed(const uint8_t* data, int size, std::vector<uint8_t>& out) {
  std::vector<std::pair<int, int>> nals;  // start, end
  int i = 0, start = -1;
  while (i + 3 <= size) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      if (start >= 0) {
        int end = i;
        while (end > start && data[end - 1] == 0) --end;
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
    const int type = data[s] & 0x1F;
    if (type == 9 || type == 6) continue;
    const uint32_t n = static_cast<uint32_t>(e - s);
    const uint8_t len[4] = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
    out.insert(out.end(), len, len + 4);
    out.insert(out.end(), data + s, data + e);
  }
}

}  // namespace

TestPicture MovingSquare(int width, int height, int index, uint8_t luma, uint8_t cb, uint8_t cr) {
  TestPicture p(width, height, luma, cb, cr);
  const int side = height / 6;
  const int x0 = (index * 4) % (width - side), y0 = height / 3;
  for (int y = y0; y < y0 + side; ++y)
    for (int x = x0; x < x0 + side; ++x) p.y[size_t(y) * width + x] = 220;
  return p;
}

std::vector<TestUnit> EncodeStream(int width, int height, int count,
                                   const std::function<TestPicture(int)>& draw,
                                   const EncoderOptions& options) {
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (!codec) throw std::runtime_error("libx264 encoder missing");
  AVCodecContext* c = avcodec_alloc_context3(codec);
  c->width = width;
  c->height = height;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = {1, 25};
  c->framerate = {25, 1};
  c->gop_size = options.gop;
  c->max_b_frames = 0;
  c->refs = 4;
  c->thread_count = 1;
  c->bit_rate = 2000000;
  av_opt_set(c->priv_data, "profile", "baseline", 0);
  av_opt_set(c->priv_data, "tune", "zerolatency", 0);
  av_opt_set(c->priv_data, "preset", "veryfast", 0);
  char params[128];
  std::snprintf(params, sizeof params, "slices=%d:scenecut=0:aud=0:repeat-headers=1",
                options.slices);
  av_opt_set(c->priv_data, "x264-params", params, 0);
  if (avcodec_open2(c, codec, nullptr) < 0) throw std::runtime_error("libx264 open failed");

  std::vector<TestUnit> units;
  AVFrame* f = av_frame_alloc();
  AVPacket* pkt = av_packet_alloc();
  auto drain = [&] {
    while (avcodec_receive_packet(c, pkt) == 0) {
      TestUnit u;
      u.keyFrame = (pkt->flags & AV_PKT_FLAG_KEY) != 0;
      AppendLengthPrefixed(pkt->data, pkt->size, u.bytes);
      units.push_back(std::move(u));
      av_packet_unref(pkt);
    }
  };
  for (int i = 0; i < count; ++i) {
    TestPicture p = draw(i);
    f->format = AV_PIX_FMT_YUV420P;
    f->width = width;
    f->height = height;
    av_frame_get_buffer(f, 0);
    for (int y = 0; y < height; ++y)
      std::memcpy(f->data[0] + y * f->linesize[0], &p.y[size_t(y) * width], width);
    for (int y = 0; y < height / 2; ++y) {
      std::memcpy(f->data[1] + y * f->linesize[1], &p.u[size_t(y) * (width / 2)], width / 2);
      std::memcpy(f->data[2] + y * f->linesize[2], &p.v[size_t(y) * (width / 2)], width / 2);
    }
    f->pts = i;
    f->pict_type = i % options.gop == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
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

}  // namespace tevrano::test
