#pragma once
#include <cstddef>
#include <cstdint>

#include "video/AlignedBuffer.h"

struct AVBufferPool;
struct AVBufferRef;
struct AVCodecContext;
struct AVFrame;

namespace tevrano {

// Picture memory of one decoder slot: a fixed number of buffers of one size,
// allocated once and handed to libavcodec as reference-counted buffers
// through its get_buffer2 callback. A buffer returns to the pool when the
// decoder and the display have dropped their last reference to it. When all
// are in use the callback refuses (the decoder reports an error for that
// picture); nothing else is ever allocated for pictures. Every picture's
// planes are filled with `kBlank` before the decoder writes into them.
class PicturePool {
 public:
  // Enough for the reference pictures the decoder keeps alive (four
  // reference frames, the picture being decoded, the one being shown and the
  // pictures it invents to fill frame-number gaps).
  static constexpr int kBuffers = 10;
  // Largest picture: 60 x 36 macroblocks.
  static constexpr int kMaxWidth = 960;
  static constexpr int kMaxHeight = 576;
  // Value of every plane byte before decoding: mid-grey luma, neutral chroma.
  static constexpr uint8_t kBlank = 128;

  PicturePool() = default;
  ~PicturePool();
  PicturePool(const PicturePool&) = delete;
  PicturePool& operator=(const PicturePool&) = delete;

  // Allocates the buffers, each big enough for the largest picture as
  // `context`'s decoder lays it out. Later calls keep the first allocation.
  bool Allocate(AVCodecContext* context);
  bool Allocated() const { return pool_ != nullptr; }

  // Installs the callback on a context that is not opened yet.
  void Attach(AVCodecContext* context);

  // Buffers created so far (they are reused once created).
  int Created() const { return created_; }
  // How often the callback refused because every buffer was in use, or
  // because the picture asked for was too large or of another format.
  int Refusals() const { return refusals_; }
  size_t BufferSize() const { return bufferSize_; }

  // Byte offsets and strides of the three planes of a width x height picture
  // inside one buffer; every plane starts and every stride is a multiple of
  // 64. Returns the bytes needed, or 0 for a size the decoder cannot take.
  struct Layout {
    int strides[3] = {};
    size_t offsets[3] = {};
    size_t size = 0;
  };
  static Layout PlaneLayout(AVCodecContext* context, int width, int height);

 private:
  static int GetBuffer(AVCodecContext* context, AVFrame* frame, int flags);
  static AVBufferRef* TakeBuffer(void* opaque, size_t size);
  static void KeepBuffer(void* opaque, uint8_t* data);

  AlignedBuffer memory_;
  size_t bufferSize_ = 0;
  int created_ = 0;  // buffers given to the reference pool so far
  AVBufferPool* pool_ = nullptr;
  int refusals_ = 0;
};

}  // namespace tevrano
