#pragma once
#include <cstddef>
#include <cstdint>

#include "video/AlignedBuffer.h"
#include "video/PicturePool.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVBufferRef;

namespace tevrano {

// The decoded picture a slot passes on: the visible size and the three
// planes of a 4:2:0 picture (luma, Cb, Cr), plus what the decoder said of it.
struct VideoPicture {
  int width = 0, height = 0;
  const uint8_t* planes[3] = {};
  int strides[3] = {};  // bytes per row; the two chroma strides are equal
  int pictureType = 0;  // AVPictureType of the decoded frame
  bool interlaced = false, topFieldFirst = false;
};

// One decoder slot: an H.264 decoder fed with length-prefixed units (4-byte
// big-endian NAL lengths, no start codes), one decoding thread, pictures
// from the slot's fixed pool. Main thread only.
class VideoDecoder {
 public:
  // Largest unit accepted: the stream's frame buffer.
  static constexpr size_t kMaxUnit = 4 * 1024 * 1024;
  // Size announced to the decoder before the first picture.
  static constexpr int kHintWidth = 960;
  static constexpr int kHintHeight = 576;
  static constexpr uint32_t kStreamFourcc = 0x31637661;  // "avc1"

  VideoDecoder() = default;
  ~VideoDecoder();
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  // Creates and opens the decoder found by `name`; 0 on success, -1 on
  // failure.
  int Open(const char* name = "h264");
  bool IsOpen() const { return context_ != nullptr; }
  // The picture pool and the input buffer; decoding waits for them.
  bool AllocateFrameBuffers();
  bool Ready() const { return context_ && pool_.Allocated() && input_; }

  // Result of feeding one unit.
  enum class Result {
    NoPicture,      // the unit completed no picture (or failed to decode)
    Picture,        // `Picture()` holds the newest picture, drawable
    FailedPicture,  // a picture came out, but one of its slices failed
  };
  // Feeds one unit and takes every picture the decoder has ready (the
  // newest one is kept). The unit is cut after its last whole NAL unit.
  Result Decode(const uint8_t* data, size_t length);

  // The newest picture; its planes stay valid until the next Decode.
  const VideoPicture& Picture() const { return picture_; }

  // Size of the last picture passed on and whether the output side is set
  // up for it; an I-frame clears `configured` so that its picture sets the
  // size again.
  int outWidth = 0, outHeight = 0;
  bool configured = false;

  // Counters for tests and benchmarks.
  struct Stats {
    uint64_t unitsIn = 0;
    uint64_t picturesOut = 0;
    uint64_t picturesDropped = 0;  // older pictures of a drained batch
    uint64_t failedPictures = 0;
    uint64_t decodeErrors = 0;
  };
  const Stats& GetStats() const { return stats_; }
  const PicturePool& Pool() const { return pool_; }

  // Bytes of `data` up to the end of its last NAL unit that lies wholly
  // inside `length` (0 when not even the first one does).
  static size_t WholeNalBytes(const uint8_t* data, size_t length);

  // Parameter sets that were the same as the previous ones and were not
  // passed to the decoder again.
  uint64_t RepeatedParameterSets() const { return repeatedParameterSets_; }

 private:
  void TakeNewest();
  size_t CopyUnit(const uint8_t* data, size_t length);
  // After an error the decoder may not hold them: pass the next ones again.
  void ForgetParameterSets() { sps_.length = pps_.length = 0; }

  // The last sequence and picture parameter sets passed to the decoder. The
  // stream repeats them in front of every I-frame; the decoder would
  // allocate and parse them again each time.
  struct ParameterSet {
    static constexpr size_t kMaxBytes = 256;
    uint8_t bytes[kMaxBytes];
    size_t length = 0;
  };
  ParameterSet sps_, pps_;
  uint64_t repeatedParameterSets_ = 0;

  PicturePool pool_;  // outlives the context, which holds its buffers
  AVCodecContext* context_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* received_ = nullptr;
  AVFrame* newest_ = nullptr;
  AlignedBuffer input_;  // one unit plus the decoder's read padding
  AVBufferRef* inputRef_ = nullptr;
  VideoPicture picture_;
  bool newestFailed_ = false;
  Stats stats_;
};

}  // namespace tevrano
