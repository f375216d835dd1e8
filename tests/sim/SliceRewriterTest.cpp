// Every frame of every resolution, rewritten for the viewer-built parameter
// sets and decoded with only those sets in front of each I-frame, must give
// the very pictures the encoder's own stream gives.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BitStream.h"
#include "Bytes.h"
#include "ChannelPattern.h"
#include "LoopEncoder.h"
#include "ParamSetPrefix.h"
#include "SliceRewriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
}

namespace tevrano::sim {
namespace {

struct Plane3 {
  int width = 0, height = 0;
  std::vector<uint8_t> y, u, v;
  bool operator==(const Plane3&) const = default;
};

// Decodes units with the "h264" decoder; length-prefixed input when
// lengthPrefixed, Annex B otherwise. Returns every picture, decoder flushed.
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

struct Size {
  int width, height, fps;
};

class EveryResolution : public ::testing::TestWithParam<Size> {};

TEST_P(EveryResolution, RewrittenSlicesDecodeToTheEncodersOwnPictures) {
  const Size size = GetParam();
  LoopSpec spec;
  spec.width = size.width;
  spec.height = size.height;
  spec.fps = size.fps;
  spec.keepOriginal = true;
  EncodedLoop loop = EncodeLoop(spec, [](Picture& pic, int f, int n) {
    DrawChannelPicture(pic, 5, f, n, "2026-12-10 04:36:08");
  });
  ASSERT_EQ(loop.error, "");
  ASSERT_EQ(loop.frames.size(), size_t(2 * size.fps));

  Decoder own(false), viewerStyle(true);
  ASSERT_TRUE(own.opened());
  ASSERT_TRUE(viewerStyle.opened());
  const std::vector<uint8_t> prefix = BuildParamSetPrefix(size.width / 16, size.height / 16);
  for (size_t i = 0; i < loop.frames.size(); ++i) {
    const EncodedFrame& f = loop.frames[i];
    EXPECT_EQ(f.key, i % size.fps == 0) << "frame " << i;
    own.Send(loop.original[i]);
    std::vector<uint8_t> unit = f.key ? prefix : std::vector<uint8_t>{};
    unit.insert(unit.end(), f.units.begin(), f.units.end());
    viewerStyle.Send(unit);
  }
  // The loop runs on: its first frames again after its last.
  for (size_t i = 0; i < 3; ++i) {
    own.Send(loop.original[i]);
    std::vector<uint8_t> unit = loop.frames[i].key ? prefix : std::vector<uint8_t>{};
    unit.insert(unit.end(), loop.frames[i].units.begin(), loop.frames[i].units.end());
    viewerStyle.Send(unit);
  }
  std::vector<Plane3> a = own.Finish(), b = viewerStyle.Finish();
  EXPECT_EQ(own.errors, 0);
  EXPECT_EQ(viewerStyle.errors, 0);
  ASSERT_EQ(a.size(), loop.frames.size() + 3);
  ASSERT_EQ(b.size(), a.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(b[i].width, size.width);
    EXPECT_EQ(b[i].height, size.height);
    EXPECT_TRUE(a[i] == b[i]) << "picture " << i << " differs";
  }
}

INSTANTIATE_TEST_SUITE_P(Resolutions, EveryResolution,
                         ::testing::Values(Size{704, 576, 25}, Size{704, 288, 25},
                                           Size{352, 288, 25}, Size{704, 480, 30},
                                           Size{352, 240, 30}, Size{960, 576, 25}),
                         [](const auto& info) {
                           return std::to_string(info.param.width) + "x" +
                                  std::to_string(info.param.height);
                         });

TEST(ParamSetPrefix, D1SpsCarriesWidthAndHeightInMacroblocks) {
  std::vector<uint8_t> p = BuildParamSetPrefix(44, 36);
  ASSERT_GE(p.size(), 14u);
  const uint32_t spsLen = GetBe32(p.data());
  ASSERT_EQ(p.size(), 4 + spsLen + 9);
  const uint8_t fixed[] = {0x67, 0x42, 0x00, 0x1E, 0xF2};
  EXPECT_EQ(0, std::memcmp(p.data() + 4, fixed, sizeof fixed));
  EXPECT_EQ(p[9] & 0xC0, 0x80);  // last bit of max_num_ref_frames, then no gaps
  // ue(43) and ue(35) follow the first two bits of byte 9.
  BitReader r(p.data() + 9, spsLen - 5);
  r.Bits(2);
  EXPECT_EQ(r.Ue(), 43u);
  EXPECT_EQ(r.Ue(), 35u);
  EXPECT_EQ(r.Bits(5), 0b11001u);
  const uint8_t pps[] = {0, 0, 0, 5, 0x68, 0xC9, 0x08, 0x38, 0x80};
  EXPECT_EQ(0, std::memcmp(p.data() + 4 + spsLen, pps, sizeof pps));
}

TEST(Rbsp, EscapingRoundTripsThroughEmulationPrevention) {
  const std::vector<uint8_t> cases[] = {{0, 0, 0},          {0, 0, 1}, {0, 0, 3, 0, 0, 2},
                                        {1, 0, 0, 0, 0, 0}, {0, 0},    {}};
  for (const auto& rbsp : cases) {
    std::vector<uint8_t> escaped = EscapeRbsp(rbsp);
    for (size_t i = 2; i < escaped.size(); ++i)
      EXPECT_FALSE(escaped[i - 2] == 0 && escaped[i - 1] == 0 && escaped[i] <= 2);
    EXPECT_EQ(UnescapeRbsp(escaped.data(), escaped.size()), rbsp);
  }
}

}  // namespace
}  // namespace tevrano::sim
