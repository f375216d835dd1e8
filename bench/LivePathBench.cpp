// 4. The whole live path of the viewer (a unit goes in, the picture is
// decoded from the fixed pool, converted and drawn with the overlay) over a
// recorded 704x576 stream, against what a typical FFmpeg-based viewer does
// with the same units (libavcodec with its default buffers, then libswscale
// to 32-bit RGB), both with one decoding thread; and the ratio against
// decoding alone (the physical limit).
#include <cstdio>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "BenchSupport.h"
#include "base/Form.h"
#include "video/Video.h"
#include "video/VideoDecoder.h"

#if defined(TEVRANO_HAVE_SIM_CORE)
#include "ChannelPattern.h"
#include "LoopEncoder.h"
#include "ParamSetPrefix.h"
#endif

using namespace tevrano;
using namespace tevrano::bench;

namespace {

constexpr uint8_t kConfig[] = {1, 66, 0, 30, 0xFF, 0xE0, 0};

// libavcodec as most viewers use it: default picture buffers, the unit
// copied into a packet, every picture converted by libswscale.
struct TypicalViewer {
  AVCodecContext* c = nullptr;
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  SwsContext* sws = nullptr;
  std::vector<uint32_t> rgb = std::vector<uint32_t>(704 * 576);
  TypicalViewer() {
    const AVCodec* codec = avcodec_find_decoder_by_name("h264");
    c = avcodec_alloc_context3(codec);
    c->extradata = static_cast<uint8_t*>(av_mallocz(sizeof kConfig + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(c->extradata, kConfig, sizeof kConfig);
    c->extradata_size = sizeof kConfig;
    c->thread_count = 1;
    avcodec_open2(c, codec, nullptr);
  }
  ~TypicalViewer() {
    sws_freeContext(sws);
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&c);
  }
  void Feed(const Unit& u) {
    av_new_packet(pkt, int(u.bytes.size()));
    std::memcpy(pkt->data, u.bytes.data(), u.bytes.size());
    avcodec_send_packet(c, pkt);
    av_packet_unref(pkt);
    while (avcodec_receive_frame(c, frame) == 0) {
      sws =
          sws_getCachedContext(sws, frame->width, frame->height, AVPixelFormat(frame->format), 704,
                               576, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
      uint8_t* dst[1] = {reinterpret_cast<uint8_t*>(rgb.data())};
      const int dstStride[1] = {704 * 4};
      sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
      av_frame_unref(frame);
    }
  }
};

// The units of a recorded simulator stream: the simulator's channel picture
// loop, slices rewritten for the viewer's parameter sets, and those
// parameter sets put in front of every I-frame as the parser does. Without
// the simulator's code, a camera-like stream of our own.
std::vector<Unit> RecordedStream(int count, const char** source) {
#if defined(TEVRANO_HAVE_SIM_CORE)
  sim::LoopSpec spec;
  spec.width = 704;
  spec.height = 576;
  spec.seconds = (count + 24) / 25;
  const sim::EncodedLoop loop = sim::EncodeLoop(spec, [](sim::Picture& pic, int frame, int total) {
    sim::DrawChannelPicture(pic, 0, frame, total, "2026/12/10 05:00:00");
  });
  if (loop.error.empty() && !loop.frames.empty()) {
    const std::vector<uint8_t> prefix = sim::BuildParamSetPrefix(704 / 16, 576 / 16);
    std::vector<Unit> units;
    for (int i = 0; i < count; ++i) {
      const sim::EncodedFrame& f = loop.frames[i % loop.frames.size()];
      Unit u;
      u.key = f.key;
      if (f.key) u.bytes = prefix;
      u.bytes.insert(u.bytes.end(), f.units.begin(), f.units.end());
      units.push_back(std::move(u));
    }
    *source = "the simulator's stream";
    return units;
  }
#endif
  *source = "a camera-like stream of our own";
  return Encode(704, 576, count, 25);
}

void Measure(const std::vector<Unit>& units, const char* source) {
  const int count = int(units.size());
  std::printf("4. over %d units of %s\n", count, source);

  TTevranoX form;
  form.Image_video.picture.SetSize(704, 576);
  form.Image2.picture.SetSize(704, 576);
  form.Image2.picture.Fill(0x00FFFFFF);
  for (int y = 40; y < 80; ++y)
    for (int x = 100; x < 248; ++x) form.Image2.picture.Row(y)[x] = 0x00FF0000;
  form.Image2.Invalidate();
  Video video(form);
  video.Video_Decoder_Open(0);
  video.AllocateFrameBuffers();
  BenchContext context;
  video.SetContext(0, &context);

  // Each unit is timed on its own; per unit the best time over the rounds
  // counts, so that bursts of other work on the machine do not.
  TypicalViewer viewer;
  VideoDecoder decoder;
  decoder.Open();
  decoder.AllocateFrameBuffers();
  std::vector<double> ours(count, 1e30), typical(count, 1e30), decodeOnly(count, 1e30);
  auto time = [](double& best, const std::function<void()>& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    best = std::min(best,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  };
  for (int round = 0; round < 15; ++round) {
    for (int i = 0; i < count; ++i) {
      const Unit& u = units[i];
      time(ours[i], [&] { video.Video_Decode_Frame(u.bytes.data(), uint32_t(u.bytes.size()), 0); });
    }
    for (int i = 0; i < count; ++i) time(typical[i], [&] { viewer.Feed(units[i]); });
    for (int i = 0; i < count; ++i) {
      const Unit& u = units[i];
      time(decodeOnly[i], [&] { decoder.Decode(u.bytes.data(), u.bytes.size()); });
    }
  }
  double a = 0, b = 0, d = 0;
  for (int i = 0; i < count; ++i) a += ours[i], b += typical[i], d += decodeOnly[i];
  std::printf(
      "   live path 704x576: ours %6.1f fps  typical viewer %6.1f fps  ratio %.2fx (goal >= 1.1)\n"
      "   decode alone %6.1f fps  ours / decode alone %.2f\n",
      count / a, count / b, b / a, count / d, d / a);
  // Delay: how many units went in before the picture of a unit came out.
  // A unit that brings no picture in its own call shows up as a lag.
  {
    TTevranoX form2;
    form2.Image_video.picture.SetSize(704, 576);
    form2.Image2.picture.SetSize(704, 576);
    form2.Image2.picture.Fill(0x00FFFFFF);
    Video fresh(form2);
    fresh.Video_Decoder_Open(0);
    fresh.AllocateFrameBuffers();
    fresh.SetContext(0, &context);
    uint64_t maxLag = 0;
    for (int i = 0; i < count; ++i) {
      fresh.Video_Decode_Frame(units[i].bytes.data(), uint32_t(units[i].bytes.size()), 0);
      maxLag = std::max<uint64_t>(maxLag, uint64_t(i + 1) - fresh.PicturesShown());
    }
    std::printf(
        "   delay between a unit going in and its picture being drawn: %llu frames (max over %d "
        "units)\n",
        static_cast<unsigned long long>(maxLag), count);
  }
}

}  // namespace

int main() {
  const char* source = "";
  const std::vector<Unit> recorded = RecordedStream(100, &source);
  Measure(recorded, source);
  Measure(Encode(704, 576, 100, 25), "a camera-like stream of our own (textured, moving)");
  return 0;
}
