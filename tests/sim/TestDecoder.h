// libavcodec's "h264" decoder for the simulator tests: Annex B input, or
// length-prefixed input with the parameter sets in band (as a viewer feeds
// it). Collects every picture, the decoder flushed at the end.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace tevrano::sim {

struct Plane3 {
  int width = 0, height = 0;
  std::vector<uint8_t> y, u, v;
  bool operator==(const Plane3&) const = default;
};

class Decoder {
 public:
  explicit Decoder(bool lengthPrefixed) {
    const AVCodec* codec = avcodec_find_decoder_by_name("h264");
    ctx_ = avcodec_alloc_context3(codec);
    ctx_->thread_count = 1;
    if (lengthPrefixed) {
      // An avcC record with 4-byte lengths and no parameter sets: they come
      // in front of each I-frame instead.
      static const uint8_t kAvcc[] = {1, 66, 0, 30, 0xFF, 0xE0, 0};
      ctx_->extradata =
          static_cast<uint8_t*>(av_mallocz(sizeof kAvcc + AV_INPUT_BUFFER_PADDING_SIZE));
      std::memcpy(ctx_->extradata, kAvcc, sizeof kAvcc);
      ctx_->extradata_size = sizeof kAvcc;
    }
    opened_ = avcodec_open2(ctx_, codec, nullptr) == 0;
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
  }
  ~Decoder() {
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&ctx_);
  }
  bool opened() const { return opened_; }
  size_t pictureCount() const { return pictures_.size(); }
  int errors = 0;

  void Send(const std::vector<uint8_t>& unit) {
    av_new_packet(packet_, int(unit.size()));
    std::memcpy(packet_->data, unit.data(), unit.size());
    if (avcodec_send_packet(ctx_, packet_) < 0) ++errors;
    av_packet_unref(packet_);
    Drain();
  }
  std::vector<Plane3> Finish() {
    avcodec_send_packet(ctx_, nullptr);
    Drain();
    return std::move(pictures_);
  }

 private:
  void Drain() {
    while (avcodec_receive_frame(ctx_, frame_) == 0) {
      if (frame_->decode_error_flags || (frame_->flags & AV_FRAME_FLAG_CORRUPT)) ++errors;
      Plane3 p;
      p.width = frame_->width;
      p.height = frame_->height;
      auto copy = [&](int plane, int w, int h, std::vector<uint8_t>& out) {
        for (int row = 0; row < h; ++row)
          out.insert(out.end(), frame_->data[plane] + row * frame_->linesize[plane],
                     frame_->data[plane] + row * frame_->linesize[plane] + w);
      };
      copy(0, p.width, p.height, p.y);
      copy(1, p.width / 2, p.height / 2, p.u);
      copy(2, p.width / 2, p.height / 2, p.v);
      pictures_.push_back(std::move(p));
      av_frame_unref(frame_);
    }
  }
  AVCodecContext* ctx_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  bool opened_ = false;
  std::vector<Plane3> pictures_;
};

}  // namespace tevrano::sim
