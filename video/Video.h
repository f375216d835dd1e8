#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "video/VideoContext.h"

namespace tevrano {

class TTevranoX;
class VideoDecoder;
class Yuv2;

// The description of the codec the slots are opened with (one record shared
// by all slots; a slot's opening sets its in-use bit).
struct CodecDescription {
  static constexpr uint32_t kInUse = 0x8000;
  const char* name = "ffh264";
  const char* info = "FFmpeg H.264";
  const char* driver = "ffmpeg";
  const char* library = "h264";  // the libavcodec decoder's name
  const char* fourccs[7] = {"H264", "h264", "X264", "x264", "avc1", "davc", "DAVC"};
  uint32_t streamType = 0x10000005;
  const char* outputFormats[3] = {"YV12", "I420", "IYUV"};
  uint32_t flags = 0;
};

// What the stream parser hands the units to decode to. `Video` is the real
// one; tests of the parser can record calls with a fake.
class VideoFrameSink {
 public:
  virtual ~VideoFrameSink() = default;
  // One access unit: NAL units each preceded by its length as a 4-byte
  // big-endian number, parameter sets in front of an I-frame. `data` stays
  // the caller's. A slot above 2, a null `data` or a `length` of 0 do
  // nothing.
  virtual void Video_Decode_Frame(const uint8_t* data, uint32_t length, int slot) = 0;
};

// The video subsystem: three decoder slots (0 serves the first recorder
// context, 1 the second, 2 is never opened), their picture pools and the
// display that draws every decoded picture into the form's video image.
// Main thread only; nothing here allocates once the start-up is done.
class Video : public VideoFrameSink {
 public:
  static constexpr int kSlotCount = 3;

  explicit Video(TTevranoX& form);
  ~Video() override;
  Video(const Video&) = delete;
  Video& operator=(const Video&) = delete;

  // Start-up: opens the H.264 decoder of a slot. 0 on success, -1 on failure
  // (the start-up then shows "Decode_File Err" and stops).
  int Video_Decoder_Open(int slot);
  // The libavcodec decoder the slots open ("h264"); tests name a missing
  // one to see the start-up fail.
  void UseDecoder(const char* name) { decoderName_ = name; }
  // Start-up, after the decoders are opened: the picture pools of the opened
  // slots and the display's work buffers. Until then decode calls do
  // nothing. Returns false when memory could not be had.
  bool AllocateFrameBuffers();

  void Video_Decode_Frame(const uint8_t* data, uint32_t length, int slot) override;

  // Draws one decoded picture of the current slot (planes in place, 4:2:0).
  void Video_Show_Picture(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr,
                          int luma_stride, int chroma_stride, int width, int height);

  // The stream state a slot reads (null: the slot has no picture output).
  void SetContext(int slot, VideoContext* context);
  // Called after every decode call, picture or not, with the current stream
  // height: the alarm-marker refresh of the event markers (unset: nothing).
  void SetMarkerRefresh(std::function<void(int height)> refresh);

  // FREEZE: while held, pictures are still decoded (the stream stays in
  // step) but not drawn, so the video image keeps the last one.
  void HoldPicture(bool hold) { holdPicture_ = hold; }
  bool PictureHeld() const { return holdPicture_; }

  // The slot being decoded; valid during a decode call.
  int CurrentSlot() const { return currentSlot_; }
  // The slice error flag: -1 while the newest picture has a failed slice.
  int SliceError() const { return sliceError_; }
  // Pictures drawn into the video image so far.
  uint64_t PicturesShown() const { return picturesShown_; }
  VideoDecoder& Decoder(int slot);
  const CodecDescription& Codec() const { return ffh264_; }
  Yuv2& Display() { return *display_; }

 private:
  TTevranoX& form_;
  std::unique_ptr<Yuv2> display_;
  std::unique_ptr<VideoDecoder> slots_[kSlotCount];
  VideoContext* contexts_[kSlotCount] = {};
  std::function<void(int)> markerRefresh_;
  CodecDescription ffh264_;
  const char* decoderName_ = ffh264_.library;
  int currentSlot_ = 0;
  int sliceError_ = 0;
  uint64_t picturesShown_ = 0;
  bool framesAllocated_ = false;
  bool holdPicture_ = false;
};

}  // namespace tevrano
