#include "video/VideoDecoder.h"

#include <cstring>

#include "base/ByteReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace tevrano {
namespace {

// A decoder configuration record that announces 4-byte NAL lengths and
// carries no parameter sets: they come in front of every I-frame.
constexpr uint8_t kLengthPrefixedConfig[] = {
    1,     // configuration version
    66,    // profile: Baseline
    0,     // profile compatibility
    30,    // level 3.0
    0xFF,  // six reserved bits, NAL length size - 1 = 3
    0xE0,  // three reserved bits, no sequence parameter sets
    0,     // no picture parameter sets
};

void KeepInput(void*, uint8_t*) {}

bool PictureFailed(const AVFrame* frame) {
  return frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT) != 0;
}

}  // namespace

VideoDecoder::~VideoDecoder() {
  av_frame_free(&newest_);
  av_frame_free(&received_);
  av_packet_free(&packet_);
  avcodec_free_context(&context_);
  av_buffer_unref(&inputRef_);
}

int VideoDecoder::Open(const char* name) {
  if (context_) return 0;
  // libavcodec's log level is the process's: the library entry sets it.
  const AVCodec* codec = avcodec_find_decoder_by_name(name);
  if (!codec) return -1;
  AVCodecContext* context = avcodec_alloc_context3(codec);
  if (!context) return -1;
  context->width = kHintWidth;
  context->height = kHintHeight;
  context->codec_tag = kStreamFourcc;
  // One thread and no reordering delay: a unit goes in, its picture comes
  // out of the same call.
  context->thread_count = 1;
  context->thread_type = 0;
  context->flags |= AV_CODEC_FLAG_LOW_DELAY;
  context->extradata = static_cast<uint8_t*>(
      av_mallocz(sizeof kLengthPrefixedConfig + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!context->extradata) {
    avcodec_free_context(&context);
    return -1;
  }
  std::memcpy(context->extradata, kLengthPrefixedConfig, sizeof kLengthPrefixedConfig);
  context->extradata_size = sizeof kLengthPrefixedConfig;
  pool_.Attach(context);
  if (avcodec_open2(context, codec, nullptr) < 0) {
    avcodec_free_context(&context);
    return -1;
  }
  packet_ = av_packet_alloc();
  received_ = av_frame_alloc();
  newest_ = av_frame_alloc();
  if (!packet_ || !received_ || !newest_) {
    avcodec_free_context(&context);
    return -1;
  }
  context_ = context;
  configured = false;
  return 0;
}

bool VideoDecoder::AllocateFrameBuffers() {
  if (!context_) return false;
  if (!pool_.Allocate(context_)) return false;
  if (!input_) {
    if (!input_.Allocate(kMaxUnit + AV_INPUT_BUFFER_PADDING_SIZE)) return false;
    inputRef_ = av_buffer_create(input_.Data(), input_.Size(), &KeepInput, nullptr, 0);
    if (!inputRef_) return false;
  }
  return true;
}

size_t VideoDecoder::WholeNalBytes(const uint8_t* data, size_t length) {
  return NalLengthWalker::WholeUnitBytes({data, data ? length : 0});
}

VideoDecoder::Result VideoDecoder::Decode(const uint8_t* data, size_t length) {
  if (!Ready() || !data || length == 0) return Result::NoPicture;
  ++stats_.unitsIn;
  // The stream pads its packets; the decoder refuses a unit whose trailing
  // bytes do not form a NAL unit, so it gets only the whole ones.
  length = CopyUnit(data, WholeNalBytes(data, length > kMaxUnit ? kMaxUnit : length));
  if (length == 0) return Result::NoPicture;
  std::memset(input_.Data() + length, 0, AV_INPUT_BUFFER_PADDING_SIZE);

  // The packet borrows the input buffer's reference, so the decoder takes
  // its own reference instead of copying the unit.
  packet_->buf = inputRef_;
  packet_->data = input_.Data();
  packet_->size = static_cast<int>(length);
  int sent = avcodec_send_packet(context_, packet_);
  if (sent == AVERROR(EAGAIN)) {
    TakeNewest();
    sent = avcodec_send_packet(context_, packet_);
  }
  packet_->buf = nullptr;
  packet_->data = nullptr;
  packet_->size = 0;
  if (sent < 0) {
    ++stats_.decodeErrors;
    ForgetParameterSets();
  }

  const uint64_t before = stats_.picturesOut;
  TakeNewest();
  if (stats_.picturesOut == before) return Result::NoPicture;
  stats_.picturesDropped += stats_.picturesOut - before - 1;

  picture_.width = newest_->width;
  picture_.height = newest_->height;
  for (int i = 0; i < 3; ++i) {
    picture_.planes[i] = newest_->data[i];
    picture_.strides[i] = newest_->linesize[i];
  }
  picture_.pictureType = newest_->pict_type;
  picture_.interlaced = newest_->interlaced_frame != 0;
  picture_.topFieldFirst = newest_->top_field_first != 0;
  if (newestFailed_) {
    ForgetParameterSets();
    ++stats_.failedPictures;
    return Result::FailedPicture;
  }
  return Result::Picture;
}

// Copies the NAL units of a unit (whole ones only) into the input buffer,
// leaving out a parameter set identical to the last one of its kind.
// Returns the bytes copied.
size_t VideoDecoder::CopyUnit(const uint8_t* data, size_t length) {
  ByteWriter out(input_.Data(), kMaxUnit);
  NalLengthWalker units(data, length);
  std::span<const uint8_t> body;
  while (units.Next(body)) {
    const int type = NalUnitType(body);
    ParameterSet* kept = type == kNalSps ? &sps_ : type == kNalPps ? &pps_ : nullptr;
    bool skip = false;
    if (kept && body.size() <= ParameterSet::kMaxBytes) {
      skip = kept->length == body.size() && std::memcmp(kept->bytes, body.data(), body.size()) == 0;
      if (!skip) {
        ByteReader(body).Bytes(kept->bytes, body.size());
        kept->length = body.size();
        // A changed sequence parameter set makes the decoder drop the
        // picture parameter sets that refer to it.
        if (type == kNalSps) pps_.length = 0;
      }
    } else if (kept) {
      kept->length = 0;  // too long to remember: always passed on
    }
    if (skip) {
      ++repeatedParameterSets_;
    } else {
      const std::span<const uint8_t> unit = units.LastWithPrefix();
      out.Bytes(unit.data(), unit.size());
    }
  }
  return out.Position();
}

// Receives until the decoder has nothing more; only the newest picture is
// kept (older ones of the same batch are never drawn).
void VideoDecoder::TakeNewest() {
  for (;;) {
    const int got = avcodec_receive_frame(context_, received_);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
    if (got < 0) {
      ++stats_.decodeErrors;
      return;
    }
    av_frame_unref(newest_);
    av_frame_move_ref(newest_, received_);
    newestFailed_ = PictureFailed(newest_);
    ++stats_.picturesOut;
  }
}

}  // namespace tevrano
